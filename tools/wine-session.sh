#!/usr/bin/env bash
# Runs a command inside a throwaway Wine prefix with its own X display:
#   [QUORBIT_WINEARCH=win64] tools/wine-session.sh COMMAND...
# The prefix plays 32-bit Windows, or 64-bit Windows with win64.
# The display comes first, then one persistent Wine server for the whole
# run, so every window can be created and each program starts quickly.
set -euo pipefail

if [ -z "${QUORBIT_IN_XVFB:-}" ]; then
    export QUORBIT_IN_XVFB=1
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

prefix=$(mktemp -d /tmp/quorbit-wine.XXXXXX)
export WINEPREFIX=$prefix
export WINEDEBUG=-all
# reg.exe=n,b: the file in the system folder when it is a program (the
# script tests put one there that plays XP's reg.exe), Wine's own otherwise.
# Wine takes this from the environment it started with, not from a Windows
# parent's, so it is set for the whole session.
export WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d;reg.exe=n,b"
export WINEARCH=${QUORBIT_WINEARCH:-win32}

cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$prefix"
}
trap cleanup EXIT

wineserver -p
wine cmd /c exit >/dev/null 2>&1
# A crash must end the program, not open winedbg's dialog and wait.
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
# Without a window manager, Wine waits up to two seconds for one each time a
# managed window is hidden; unmanaged windows need no such wait.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
if [ -n "${QUORBIT_WINE_SETUP:-}" ]; then
    eval "$QUORBIT_WINE_SETUP"
fi

set +e
"$@"
rc=$?
set -e
exit $rc
