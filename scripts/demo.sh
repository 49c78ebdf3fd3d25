#!/usr/bin/env bash
# The main job: builds, creates a fresh demo handheld, puts the simulated phone with a few
# messages on its "COM3:" and identifies the phone. With a display (DISPLAY or
# WAYLAND_DISPLAY) it then opens telmio's window, which synchronises once so the Inbox shows
# the phone's messages; without one it synchronises the messages and shows the Inbox on the
# terminal, then synchronises the phone's phonebook and shows it.
#   scripts/demo.sh [--device DIR] [--phone /dev/ttyUSB0]
# --device completes and uses DIR instead of a fresh build/demo-device; --phone talks to a real
# phone on that line instead of the simulator.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
device="$root/build/demo-device"
fresh=1
phone=""
while [[ $# -gt 0 ]]; do
    case "$1" in
        --device) device=$2; fresh=0; shift 2 ;;
        --phone) phone=$2; shift 2 ;;
        *) echo "usage: scripts/demo.sh [--device DIR] [--phone LINUXDEVICE]" >&2; exit 2 ;;
    esac
done
"$root/scripts/deps.sh"
b=$("$root/scripts/build.sh" normal)
[[ $fresh == 1 ]] && rm -rf "$device"
kvo() { "$b/bin/kvo" --device "$device" "$@"; }

echo "== a fresh handheld in $device" >&2
"$b/bin/kvo-device" --device "$device" create
port="COM3:"
if [[ -n "$phone" ]]; then
    port=$phone
    kvo settings set user-port "$phone" >/dev/null
else
    link="$device/dev/COM3"
    echo "== the simulated phone on COM3: ($link), journal in $device/phone.journal" >&2
    "$b/bin/kvophone" --link "$link" --scenario "$root/tools/kvophone/scenarios/demo.scn" \
        --journal "$device/phone.journal" --state-out "$device/phone.state" >/dev/null &
    sim=$!
    trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null || true' EXIT
    for _ in $(seq 100); do [[ -e "$link" ]] && break; sleep 0.05; done
fi

echo "== the phone" >&2
kvo phone info --port "$port"
if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" && -x "$b/bin/telmio" ]]; then
    echo "== telmio's window (synchronising once; Menu > Exit ends the demo)" >&2
    "$b/bin/telmio" --device "$device" --sync
    exit
fi
echo "== synchronising the messages" >&2
kvo sms sync || echo "(the session reported the errors above)" >&2
echo "== Inbox: state, number, time, text" >&2
kvo sms list inbox
echo "== synchronising the phonebook" >&2
kvo pb sync || echo "(the phonebook session reported the errors above)" >&2
echo "== Phonebook: storage, location, name, number" >&2
kvo pb list
