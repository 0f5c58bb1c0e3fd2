#!/usr/bin/env bash
# Pictures of the extension's windows for the README:
#   tools/screenshots.sh BUILD_DIR
# Runs inside tools/wine-session.sh (./dev screenshots), which gives it a
# throwaway Wine prefix, an X display and a running Wine server. Each
# picture is one program shown on a Wine virtual desktop, so captions and
# frames are drawn without a window manager; the program writes its
# window's rectangle once drawn, and the picture is cut to it.
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
docs=$root/docs
mkdir -p "$docs"
work=$(mktemp -d /tmp/quorbit-shots.XXXXXX)
trap 'rm -rf "$work"' EXIT

desktop_size=800x600

# shoot PNG_NAME PROGRAM ARGS...
# PROGRAM is started as PROGRAM ARGS... READY QUIT: it writes
# "x y width height" (desktop coordinates) to READY when its window is
# drawn and ends when QUIT exists.
shoot() {
    local png=$1 exe=$2
    shift 2
    local ready=$work/ready quit=$work/quit
    rm -f "$ready" "$quit"
    wine explorer "/desktop=quorbit,$desktop_size" "$(winepath -w "$exe")" "$@" "$(winepath -w "$ready")" "$(winepath -w "$quit")" >/dev/null 2>&1 &
    local pid=$!
    for _ in $(seq 1 200); do
        [ -s "$ready" ] && break
        sleep 0.1
    done
    if [ ! -s "$ready" ]; then
        echo "screenshots: $png: the window never came up" >&2
        touch "$quit"
        wait $pid || true
        return 1
    fi
    sleep 0.5
    read -r x y w h <"$ready"
    # The virtual desktop is the only window on the display, at its origin.
    import -window root -crop "${w}x${h}+${x}+${y}" +repage "$docs/$png"
    touch "$quit"
    wait $pid || true
    echo "screenshots: docs/$png (${w}x${h})"
}

shoot message-handlers-page.png "$build/bin/ui_screens.exe" page
shoot handler-definition-dialog.png "$build/bin/ui_screens.exe" definition
shoot handler-editor.png "$build/bin/ui_screens.exe" editor

# The help viewer on Quorbit.HLP, at the contents topic the Help buttons open,
# and with its Index listing the keywords; then Quorbit.chm's Contents tree.
"$root/tools/help_screenshot.sh" "$build" hlp "$docs/help-contents.png"
shoot help-index.png "$build/bin/help_index_screen.exe"
"$root/tools/help_screenshot.sh" "$build" chm "$docs/help-chm-contents.png"
