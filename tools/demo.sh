#!/usr/bin/env bash
# The extension end to end, as a user would meet it, under Wine:
#   tools/demo.sh BUILD_DIR      (./dev demo runs it inside a Wine session)
# installs Quorbit.dll with install/install.cmd, stores a sample handler
# that runs print_args.exe, then has exthost (our stand-in for the mail
# client) open one message from that sender and one from another.
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$build/bin
start=$(date +%s)

drive_c=${WINEPREFIX:?run inside tools/wine-session.sh}/drive_c
dest=$drive_c/Quorbit
handler_key='HKLM\SOFTWARE\Quorbit\Message Handlers\Demo orders'
ext_key='HKLM\Software\Microsoft\Exchange\Client\Extensions'
# print_args runs in a console of its own; it also writes here.
out=$(mktemp /tmp/quorbit-demo-out.XXXXXX)
rm -f "$out"
export QUORBIT_DEMO_OUT
QUORBIT_DEMO_OUT=$(winepath -w "$out" 2>/dev/null)
trap 'rm -f "$out"' EXIT

step() { printf '\n== %s\n' "$*"; }
wine_quiet() { wine "$@" 2>/dev/null | tr -d '\r'; }

step "1. Install: Quorbit.dll and the install files into C:\\Quorbit, then install.cmd"
mkdir -p "$dest"
cp "$bin/Quorbit.dll" "$bin/print_args.exe" "$root"/install/*.cmd "$root"/install/*.reg "$dest/"
[ -f "$bin/Quorbit.HLP" ] && cp "$bin/Quorbit.HLP" "$dest/"
wine_quiet cmd /c 'C:\Quorbit\install.cmd'
wine_quiet reg query "$ext_key" /v Quorbit /reg:32 | grep Quorbit

step "2. Store a sample handler: messages from orders@example.com go to print_args.exe, after a question, and are not opened"
wine_quiet reg add "$handler_key" /v ConfirmDialog /t REG_DWORD /d 1 /f >/dev/null
wine_quiet reg add "$handler_key" /v PreventOpen /t REG_DWORD /d 1 /f >/dev/null
wine_quiet reg add "$handler_key" /v SenderEmailAddress /t REG_SZ /d orders@example.com /f >/dev/null
wine_quiet reg add "$handler_key" /v FilePath /t REG_SZ /d 'C:\Quorbit\print_args.exe' /f >/dev/null
wine_quiet reg add "$handler_key" /v Debug /t REG_DWORD /d 0 /f >/dev/null
wine_quiet reg query "$handler_key" | sed -n 's/^ \{4\}/    /p'

step "3. The client opens a message from orders@example.com; the question is answered Yes"
wine_quiet "$bin/exthost.exe" --registry Quorbit open --from orders@example.com \
    --entryid 00000000A1B2C3D4E5F60718293A4B5C6D7E8F90 --answer yes
for _ in $(seq 1 100); do
    [ -s "$out" ] && break
    sleep 0.1
done
if [ -s "$out" ]; then
    echo "  the handler program got:"
    tr -d '\r' <"$out" | sed 's/^/    /'
else
    echo "  the handler program wrote nothing within 10 s" >&2
    exit 1
fi
: >"$out"

step "4. The client opens a message from someone@example.com, who has no handler"
wine_quiet "$bin/exthost.exe" --registry Quorbit open --from someone@example.com --entryid 00000000FFEE --answer yes
sleep 1
if [ -s "$out" ]; then
    echo "  a handler program was started, and should not have been" >&2
    exit 1
fi
echo "  no handler program was started"

step "5. Uninstall: uninstall.cmd"
wine_quiet cmd /c 'C:\Quorbit\uninstall.cmd'
if wine reg query "$ext_key" /v Quorbit /reg:32 >/dev/null 2>&1; then
    echo "  the registration is still there" >&2
    exit 1
fi
echo "  the registration is gone"

printf '\ndemo finished in %d s\n' $(( $(date +%s) - start ))
