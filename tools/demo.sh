#!/usr/bin/env bash
# The extension end to end, as an administrator and a user would meet it,
# under Wine:
#   tools/demo.sh BUILD_DIR      (./dev demo runs it inside a Wine session)
# installs Quorbit-<version>.msi silently, imports a sample handler that
# runs print_args.exe with import-handlers.cmd, then has exthost (our
# stand-in for the mail client) open one message from that sender, one
# from an Exchange colleague who sends as that address, one from another
# and a new message, and uninstalls the package.
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$build/bin
start=$(date +%s)
version=$(sed -n 's/^project(Quorbit VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
msi=$build/Quorbit-$version.msi
[ -f "$msi" ] || { echo "demo: no $msi; build first" >&2; exit 1; }

drive_c=${WINEPREFIX:?run inside tools/wine-session.sh}/drive_c
demo=$drive_c/QuorbitDemo
ext_key='HKLM\Software\Microsoft\Exchange\Client\Extensions'
# print_args runs in a console of its own; it also writes here.
out=$(mktemp /tmp/quorbit-demo-out.XXXXXX)
rm -f "$out"
export QUORBIT_DEMO_OUT
QUORBIT_DEMO_OUT=$(winepath -w "$out" 2>/dev/null)
trap 'rm -f "$out"' EXIT

step() { printf '\n== %s\n' "$*"; }
wine_quiet() { wine "$@" 2>/dev/null | tr -d '\r'; }
# What the handler program wrote, once it has; then empty again.
show_handler_output() {
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
}

step "1. Install: msiexec /i $(basename "$msi") /qn, as Group Policy or a deployment tool would"
if wine msiexec /i "$(winepath -w "$msi" 2>/dev/null)" /qn 2>/dev/null; then
    echo "  msiexec exited with 0"
else
    echo "  msiexec failed" >&2
    exit 1
fi
# The registration, and the trigger that has every user's client rebuild
# its list of extensions at its next start.
wine_quiet reg query "$ext_key" /reg:32 | grep -E 'Quorbit|Outlook Setup Extension'
folder=$(wine_quiet cmd /c 'echo %ProgramFiles(x86)%')
[ "$folder" = '%ProgramFiles(x86)%' ] && folder='C:\Program Files'
folder="$folder\Quorbit"
echo "  installed in $folder:"
ls "$(winepath -u "$folder" 2>/dev/null)" | sed 's/^/    /'

step "2. Import a sample handler with import-handlers.cmd: messages from orders@example.com go to print_args.exe, after a question, and are not opened"
mkdir -p "$demo"
cp "$bin/print_args.exe" "$demo/"
printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
    '[HKEY_LOCAL_MACHINE\SOFTWARE\Quorbit\Message Handlers\Demo orders]' \
    '"ConfirmDialog"=dword:00000001' '"PreventOpen"=dword:00000001' \
    '"SenderEmailAddress"="orders@example.com"' \
    '"FilePath"="C:\\QuorbitDemo\\print_args.exe"' '"Debug"=dword:00000000' >"$demo/demo-handler.reg"
# From the folder it was installed in: cmd /c takes no quoted path with brackets.
(cd "$(winepath -u "$folder" 2>/dev/null)" && wine_quiet cmd /c import-handlers.cmd 'C:\QuorbitDemo\demo-handler.reg')
wine_quiet reg query 'HKLM\SOFTWARE\Quorbit\Message Handlers\Demo orders' /reg:32 | sed -n 's/^ \{4\}/    /p'

step "3. The client opens a message from orders@example.com; the question is answered Yes"
wine_quiet "$bin/exthost.exe" --registry Quorbit open --from orders@example.com \
    --entryid 00000000A1B2C3D4E5F60718293A4B5C6D7E8F90 --answer yes
show_handler_output

step "4. A colleague on the same Exchange server sends from the orders mailbox: the message carries its directory address, and the handler for orders@example.com runs by its SMTP address"
wine_quiet "$bin/exthost.exe" --registry Quorbit open \
    --from '/O=CORP/OU=EXCHANGE ADMINISTRATIVE GROUP (FYDIBOHF23SPDLT)/CN=RECIPIENTS/CN=ORDERS' \
    --addrtype EX --smtp orders@example.com --entryid 00000000A1B2C3D4E5F6 --answer yes
show_handler_output

step "5. The client opens a message from someone@example.com, who has no handler"
wine_quiet "$bin/exthost.exe" --registry Quorbit open --from someone@example.com --entryid 00000000FFEE --answer yes
sleep 1
if [ -s "$out" ]; then
    echo "  a handler program was started, and should not have been" >&2
    exit 1
fi
echo "  no handler program was started"

step "6. The user starts a new message, which has no sender yet: it opens"
opened=$(wine_quiet "$bin/exthost.exe" --registry Quorbit open --compose --answer yes)
printf '%s\n' "$opened" | grep -E 'OnOpen|the client'
printf '%s\n' "$opened" | grep -q 'the client opens the item' || { echo "  the new message did not open" >&2; exit 1; }

step "7. Uninstall: msiexec /x /qn; the handlers stay, as the administrator's data"
wine msiexec /x "$(winepath -w "$msi" 2>/dev/null)" /qn >/dev/null 2>&1 || { echo "  msiexec /x failed" >&2; exit 1; }
if wine reg query "$ext_key" /v Quorbit /reg:32 >/dev/null 2>&1 || [ -e "$(winepath -u "$folder" 2>/dev/null)" ]; then
    echo "  the registration or $folder is still there" >&2
    exit 1
fi
echo "  the registration and $folder are gone"
# What stays: the entry that has each user's client notice the removal.
as_version=$(wine_quiet reg query 'HKLM\Software\Microsoft\Active Setup\Installed Components\{310D2494-6664-4672-A11D-AEDA04695A85}' \
    /v Version /reg:32 | sed -n 's/.*REG_SZ *//p')
echo "  the Active Setup entry stays, version $as_version: each user's next logon clears the client's cache mark"
wine_quiet reg query 'HKLM\SOFTWARE\Quorbit\Message Handlers' /reg:32 | grep -c 'Demo orders' | sed 's/^/  handlers kept: /'

printf '\ndemo finished in %d s\n' $(( $(date +%s) - start ))
