#!/usr/bin/env bash
# Debian's gammu against the simulated phone: identify, getallsms, getallmemory SM and
# sendsms must all work. Usage: gammu_accepts_kvophone.sh KVOPHONE SCENARIO [ops...]
set -euo pipefail
kvophone=$1
scenario=$2
shift 2
ops=("$@")
[ ${#ops[@]} -gt 0 ] || ops=(identify getallsms getallmemory sendsms)
command -v gammu >/dev/null || { echo "gammu is not installed (scripts/packages.txt lists it)" >&2; exit 1; }
dir=$(mktemp -d)
pid=
cleanup() { [ -n "$pid" ] && kill "$pid" 2>/dev/null; wait 2>/dev/null; rm -rf "$dir"; }
trap cleanup EXIT
"$kvophone" --link "$dir/phone" --scenario "$scenario" --journal "$dir/journal" >"$dir/out" 2>&1 &
pid=$!
for _ in $(seq 50); do [ -e "$dir/phone" ] && break; sleep 0.1; done
[ -e "$dir/phone" ] || { echo "kvophone did not start:"; cat "$dir/out"; exit 1; }
printf '[gammu]\nport = %s\nconnection = at115200\n' "$dir/phone" >"$dir/gammurc"
run() { timeout 120 gammu -c "$dir/gammurc" "$@" >"$dir/last" 2>&1 || { echo "gammu $* failed:"; cat "$dir/last"; tail -20 "$dir/journal"; exit 1; }; }
for op in "${ops[@]}"; do
    case $op in
    identify)
        run identify
        grep -q "^Manufacturer" "$dir/last" || { cat "$dir/last"; exit 1; } ;;
    getallsms)
        run getallsms
        grep -q "SMS parts in" "$dir/last" || { cat "$dir/last"; exit 1; } ;;
    getallmemory)
        run getallmemory SM
        grep -q "Memory SM, Location" "$dir/last" || { cat "$dir/last"; exit 1; } ;;
    sendsms)
        run sendsms TEXT +491711234567 -text "Hello from gammu"
        grep -q "^SMS " "$dir/journal" || { echo "no message reached the phone"; exit 1; } ;;
    esac
    echo "gammu $op: ok"
done
