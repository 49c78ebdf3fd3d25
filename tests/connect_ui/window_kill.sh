#!/bin/sh
# A killed window (Ctrl-C, kill) ends as its close button does: it leaves neither the lock
# nor the marker behind. Run under xvfb-run; $1 is the folder of the built programs.
set -u
# The window needs the X server xvfb-run gives, whatever the test run chose for the others.
unset QT_QPA_PLATFORM
bin=$1
KVO_DEVICE=$(mktemp -d) || exit 1
export KVO_DEVICE
trap 'rm -rf "$KVO_DEVICE"' EXIT
"$bin/kvo-device" create >/dev/null || exit 1
app="$KVO_DEVICE/fs/Program Files/kvonet pro"
for sig in TERM INT; do
    "$bin/connect" s & pid=$!
    i=0
    while [ ! -e "$app/MONITORSTARTED" ] && [ $i -lt 200 ]; do sleep 0.1; i=$((i + 1)); done
    [ -e "$app/MONITORSTARTED" ] || { echo "the window never set MONITORSTARTED"; exit 1; }
    sleep 0.5
    kill -$sig $pid
    wait $pid
    rc=$?
    [ $rc -eq 0 ] || { echo "SIG$sig: exit $rc"; exit 1; }
    [ ! -e "$app/MONITORSTARTED" ] || { echo "SIG$sig left MONITORSTARTED"; exit 1; }
    [ ! -e "$KVO_DEVICE/fs/kvo.lock" ] || { echo "SIG$sig left \\kvo.lock"; exit 1; }
done
echo "window_kill: TERM and INT closed the window cleanly"
