#!/usr/bin/env bash
# Builds the release zip from a finished build, beside the MSI package the
# build made:
#   tools/package.sh BUILD_DIR   ->  BUILD_DIR/Quorbit-<version>.zip
#                                    BUILD_DIR/Quorbit-<version>.msi
# The zip holds Quorbit.dll with its help files (Quorbit.HLP and
# Quorbit.chm, which it opens beside itself), the handler editor
# QuorbitHandlers.exe, the install files with handler-import.exe and the
# README, all in one folder "Quorbit".
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
version=$(sed -n 's/^project(Quorbit VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
zip=$build/Quorbit-$version.zip

msi=$build/Quorbit-$version.msi

[ -f "$build/bin/Quorbit.dll" ] || { echo "package: no $build/bin/Quorbit.dll; build first" >&2; exit 1; }
[ -f "$msi" ] || { echo "package: no $msi; the build makes it with wixl (./dev installs it)" >&2; exit 1; }
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/Quorbit"
cp "$build/bin/Quorbit.dll" "$build/bin/Quorbit.HLP" "$build/bin/Quorbit.chm" "$build/bin/QuorbitHandlers.exe" \
    "$build/bin/handler-import.exe" "$root"/install/*.cmd "$root"/install/*.reg "$stage/Quorbit/"
# The README in Windows line endings, for Notepad.
sed 's/\r*$/\r/' "$root/README.md" >"$stage/Quorbit/README.txt"
rm -f "$zip"
(cd "$stage" && zip -q -X -r "$zip" Quorbit)
echo "package: $zip"
unzip -l "$zip" | sed -n '4,$p'
echo "package: $msi ($(stat -c %s "$msi") bytes)"
