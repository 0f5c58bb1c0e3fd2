#!/usr/bin/env bash
# Makes the release files of a build, the one package the build makes and
# its zip; the build runs it (install/CMakeLists.txt):
#   tools/package.sh BUILD_DIR OUT_DIR  ->  OUT_DIR/Quorbit-<version>.msi
#                                            OUT_DIR/Quorbit-<version>.zip
# The zip holds Quorbit.dll with its help files (Quorbit.HLP and Quorbit.chm,
# which it opens beside itself), the handler editor QuorbitHandlers.exe, the
# install files and scripts with handler-import.exe, the README and the
# administrators' guide, all in one folder "Quorbit"; the MSI package holds
# the very same programs (install/make-msi.sh).
#
# Given a code-signing certificate, the programs are signed twice, SHA-1 and
# then SHA-256 nested beside it, so that every Windows from XP to 7 finds a
# signature it can check; the package, which holds one signature only, is
# signed with SHA-256 (osslsigncode):
#   QUORBIT_SIGN_PFX        the certificate with its private key, a PKCS#12 file
#   QUORBIT_SIGN_PASSWORD   the password of that file
#   QUORBIT_SIGN_TIMESTAMP  a time-stamp server's URL (optional): each
#                           signature then gets a time stamp and stays valid
#                           after the certificate expires
# Without QUORBIT_SIGN_PFX the files are not signed.
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
out=$2
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
# The README and the guide in Windows line endings, for Notepad.
sed 's/\r*$/\r/' "$root/README.md" >"$stage/Quorbit/README.txt"
sed 's/\r*$/\r/' "$root/docs/administrators.md" >"$stage/Quorbit/administrators.txt"

# sign FILE HASH [OPTION...]: FILE signed in place with one more signature.
# The password goes to osslsigncode in a file only this user can read, not
# on its command line.
sign() {
    local file=$1 hash=$2
    shift 2
    local args=(-pkcs12 "$QUORBIT_SIGN_PFX" -h "$hash" -n "Quorbit message handlers" "$@")
    [ -n "${QUORBIT_SIGN_PASSWORD:-}" ] && args+=(-readpass "$stage/password")
    if ! osslsigncode sign "${args[@]}" -in "$file" -out "$file.signed" >"$stage/sign.log" 2>&1; then
        echo "package: could not sign $(basename "$file") ($hash):" >&2
        cat "$stage/sign.log" >&2
        exit 1
    fi
    mv "$file.signed" "$file"
}

# timestamp KIND: the option that asks the server for a time stamp, when
# there is one: -t an Authenticode one, which XP reads, -ts an RFC 3161 one.
timestamp() {
    [ -n "${QUORBIT_SIGN_TIMESTAMP:-}" ] && echo "$1" "$QUORBIT_SIGN_TIMESTAMP"
    return 0
}

if [ -n "${QUORBIT_SIGN_PFX:-}" ]; then
    command -v osslsigncode >/dev/null || { echo "package: no osslsigncode; ./dev deps installs it" >&2; exit 1; }
    [ -f "$QUORBIT_SIGN_PFX" ] || { echo "package: no certificate file $QUORBIT_SIGN_PFX" >&2; exit 1; }
    (umask 077 && printf '%s' "${QUORBIT_SIGN_PASSWORD:-}" >"$stage/password")
    for file in $signed; do
        # shellcheck disable=SC2046 # the option and the URL are two words
        sign "$stage/Quorbit/$file" sha1 $(timestamp -t)
        # shellcheck disable=SC2046
        sign "$stage/Quorbit/$file" sha256 -nest $(timestamp -ts)
    done
else
    echo "package: no certificate (QUORBIT_SIGN_PFX): the programs and the package are not signed"
fi

# The package, of the programs just signed, with the editor's icon for
# Add/Remove Programs.
cp "$stage"/Quorbit/* "$build/bin/QuorbitPackage.dll" "$build/generated/quorbit_facts.wxi" \
    "$root/editor/QuorbitHandlers.ico" "$stage/msi/"
"$root/install/make-msi.sh" "$stage/msi" "$version" "$msi.new"
if [ -n "${QUORBIT_SIGN_PFX:-}" ]; then
    # A package's signature covers its summary information too.
    # shellcheck disable=SC2046
    sign "$msi.new" sha256 -add-msi-dse $(timestamp -t)
    echo "package: signed $signed (SHA-1 and SHA-256) and $(basename "$msi") (SHA-256)"
fi

# Both files replaced only once both are made.
rm -f "$zip.new"
(cd "$stage" && zip -q -X -r "$zip.new" Quorbit)
mv "$msi.new" "$msi"
mv "$zip.new" "$zip"
echo "package: $zip"
echo "package: $msi ($(stat -c %s "$msi") bytes, product code" \
    "$(msiinfo export "$msi" Property | tr -d '\r' | sed -n 's/^ProductCode\t//p'))"
