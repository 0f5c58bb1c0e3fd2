#!/usr/bin/env bash
# Pictures a help viewer on a built help file:
#   tools/help_screenshot.sh BUILD_DIR hlp OUT.png   Quorbit.HLP at its contents topic
#   tools/help_screenshot.sh BUILD_DIR chm OUT.png   Quorbit.chm with its Contents tree
# Runs inside tools/wine-session.sh (a Wine prefix and an X display).
set -euo pipefail
build=$1
kind=$2
out=$3

# A virtual desktop of its own draws the window's caption and frame without
# a window manager, over any desktop drawn before.
if [ "$kind" = chm ]; then
    # The viewer opens where the project's window says; the picture is cut
    # to its window. Wine's HTML engine is disabled here, so the topic pane
    # stays blank.
    desktop=QuorbitChm
    width=800
    height=600
    viewer=(hh.exe "$(winepath -w "$build/bin/Quorbit.chm")")
    window='"Quorbit Message Handlers Help": ("hh.exe" "hh.exe")'
else
    # By its full path, as the extension opens it. The viewer opens at
    # three quarters of the desktop, at its top left.
    desktop=QuorbitHelp
    width=720
    height=540
    viewer=(winhlp32.exe "$(winepath -w "$build/bin/Quorbit.HLP")")
    window='("winhlp32.exe" "winhlp32.exe")'
fi

wine explorer /desktop=$desktop,${width}x${height} "${viewer[@]}" >/dev/null 2>&1 &
pid=$!
geometry=""
for _ in $(seq 1 30); do
    geometry=$(xwininfo -root -tree | grep -F "$window" | head -n 1 | grep -o '[0-9]*x[0-9]*+[0-9]*+[0-9]*' | head -n 1 || true)
    [ -n "$geometry" ] && break
    sleep 0.5
done
if [ -z "$geometry" ]; then
    echo "help_screenshot: $kind: the viewer never came up" >&2
    kill "$pid" 2>/dev/null || true
    exit 1
fi
[ "$kind" = chm ] || geometry="$((width * 3 / 4))x$((height * 3 / 4))+0+0"
sleep 2  # let the window draw
mkdir -p "$(dirname "$out")"
import -window root -crop "$geometry" +repage "$out"
kill "$pid" 2>/dev/null || true
echo "help_screenshot: $out ($geometry)"
