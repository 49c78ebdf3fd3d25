#!/usr/bin/env bash
# The main job: builds, creates a fresh demo device (or completes the one given with
# --device DIR) and shows it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
device=""
if [[ "${1:-}" == "--device" && -n "${2:-}" ]]; then
    device=$2
else
    device="$root/build/demo-device"
    rm -rf "$device"
fi
"$root/scripts/deps.sh"
b=$("$root/scripts/build.sh" normal)
"$b/bin/kvo-device" --device "$device" create
"$b/bin/kvo-device" --device "$device" show
"$b/bin/kvo-device" --device "$device" reg export
