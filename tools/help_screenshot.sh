#!/usr/bin/env bash
# Pictures the help viewer showing the contents topic of Quorbit.HLP:
#   tools/help_screenshot.sh BUILD_DIR OUT.png
# Runs inside tools/wine-session.sh (a Wine prefix and an X display).
set -euo pipefail
build=$1
out=$2

# Where the installer puts the file, and the Windows folder, which is where
# Wine's viewer looks for a bare file name.
windir=$(winepath -u "$(wine cmd /c echo %WINDIR% 2>/dev/null | tr -d '\r')")
mkdir -p "$windir/Help"
cp "$build/bin/Quorbit.HLP" "$windir/Help/Quorbit.HLP"
cp "$build/bin/Quorbit.HLP" "$windir/Quorbit.HLP"

# A virtual desktop draws the window's caption and frame without a window
# manager; the viewer opens at three quarters of it, at its top left.
width=720
height=540
wine explorer /desktop=QuorbitHelp,${width}x${height} winhlp32.exe 'C:\windows\Help\Quorbit.HLP' >/dev/null 2>&1 &
viewer=$!
for _ in $(seq 1 30); do
    if command -v xwininfo >/dev/null && xwininfo -root -tree | grep -q '"winhlp32.exe"'; then
        break
    fi
    sleep 0.5
done
sleep 2  # let the topic draw
mkdir -p "$(dirname "$out")"
import -window root -crop "$((width * 3 / 4))x$((height * 3 / 4))+0+0" +repage "$out"
kill "$viewer" 2>/dev/null || true
echo "help_screenshot: $out"
