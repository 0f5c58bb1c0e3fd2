#!/usr/bin/env bash
# Builds the release files from a finished build:
#   tools/package.sh BUILD_DIR [OUT_DIR]  ->  OUT_DIR/Quorbit-<version>.zip
#                                              OUT_DIR/Quorbit-<version>.msi
# OUT_DIR is BUILD_DIR/release unless given. The zip holds Quorbit.dll with
# its help files (Quorbit.HLP and Quorbit.chm, which it opens beside
# itself), the handler editor QuorbitHandlers.exe, the install files with
# handler-import.exe and the README, all in one folder "Quorbit"; the MSI
# package holds the very same programs (install/make-msi.sh).
#
# Given a code-signing certificate, the programs and then the package are
# signed with Authenticode, SHA-256 (osslsigncode):
#   QUORBIT_SIGN_PFX        the certificate with its private key, a PKCS#12 file
#   QUORBIT_SIGN_PASSWORD   the password of that file
#   QUORBIT_SIGN_TIMESTAMP  a time-stamp server's URL (optional): the
#                           signatures then stay valid after the certificate
#                           expires
# Without QUORBIT_SIGN_PFX the files are not signed.
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
out=${2:-$build/release}
version=$(sed -n 's/^project(Quorbit VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")

# The programs that are signed, by their names in the zip and the package.
signed="Quorbit.dll QuorbitHandlers.exe handler-import.exe"

[ -f "$build/bin/Quorbit.dll" ] || { echo "package: no $build/bin/Quorbit.dll; build first" >&2; exit 1; }
mkdir -p "$out"
out=$(cd "$out" && pwd)
zip=$out/Quorbit-$version.zip
msi=$out/Quorbit-$version.msi
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/Quorbit" "$stage/msi"
# The scripts and .reg files as the build made them from their templates.
cp "$build/bin/Quorbit.dll" "$build/bin/Quorbit.HLP" "$build/bin/Quorbit.chm" "$build/bin/QuorbitHandlers.exe" \
    "$build/bin/handler-import.exe" "$build"/deployment/* "$stage/Quorbit/"
# The README in Windows line endings, for Notepad.
sed 's/\r*$/\r/' "$root/README.md" >"$stage/Quorbit/README.txt"

# sign FILE: FILE signed in place. The password goes to osslsigncode in a
# file only this user can read, not on its command line.
sign() {
    local args=(-pkcs12 "$QUORBIT_SIGN_PFX" -h sha256 -n "Quorbit message handlers")
    [ -n "${QUORBIT_SIGN_PASSWORD:-}" ] && args+=(-readpass "$stage/password")
    # An Authenticode time stamp, the kind Windows XP checks too.
    [ -n "${QUORBIT_SIGN_TIMESTAMP:-}" ] && args+=(-t "$QUORBIT_SIGN_TIMESTAMP")
    # A package's signature covers its summary information too.
    [[ $1 == *.msi ]] && args+=(-add-msi-dse)
    if ! osslsigncode sign "${args[@]}" -in "$1" -out "$1.signed" >"$stage/sign.log" 2>&1; then
        echo "package: could not sign $(basename "$1"):" >&2
        cat "$stage/sign.log" >&2
        exit 1
    fi
    mv "$1.signed" "$1"
}

if [ -n "${QUORBIT_SIGN_PFX:-}" ]; then
    command -v osslsigncode >/dev/null || { echo "package: no osslsigncode; ./dev deps installs it" >&2; exit 1; }
    [ -f "$QUORBIT_SIGN_PFX" ] || { echo "package: no certificate file $QUORBIT_SIGN_PFX" >&2; exit 1; }
    (umask 077 && printf '%s' "${QUORBIT_SIGN_PASSWORD:-}" >"$stage/password")
    for file in $signed; do sign "$stage/Quorbit/$file"; done
else
    echo "package: no certificate (QUORBIT_SIGN_PFX): the programs and the package are not signed"
fi

# The package, of the programs just signed.
cp "$stage"/Quorbit/* "$build/bin/QuorbitPackage.dll" "$build/generated/quorbit_facts.wxi" "$stage/msi/"
"$root/install/make-msi.sh" "$stage/msi" "$version" "$msi"
if [ -n "${QUORBIT_SIGN_PFX:-}" ]; then
    sign "$msi"
    echo "package: signed $signed and $(basename "$msi")"
fi

rm -f "$zip"
(cd "$stage" && zip -q -X -r "$zip" Quorbit)
echo "package: $zip"
unzip -l "$zip" | sed -n '4,$p'
echo "package: $msi ($(stat -c %s "$msi") bytes, product code" \
    "$(msiinfo export "$msi" Property | tr -d '\r' | sed -n 's/^ProductCode\t//p'))"
