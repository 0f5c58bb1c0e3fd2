#!/usr/bin/env bash
# Makes the MSI package from a folder that holds the files Quorbit.wxs
# names and the facts it includes, quorbit_facts.wxi: the build gathers
# them (install/CMakeLists.txt), tools/package.sh signs them first.
#   install/make-msi.sh FOLDER VERSION OUTPUT.msi
# wixl (msitools) writes the tables from Quorbit.wxs; msibuild then sets what
# wixl cannot write:
# - the Version and Language of each file that has a version resource, as
#   the file's own resource says (read with windres; WINDRES names it), and
#   no hash for it: Windows Installer treats a file without a version as
#   unversioned data, and a repair need not replace a damaged DLL;
# - the short (8.3) form of each long file and shortcut name, "SHORT~1.EXT|long";
# - the Permanent attribute of the Active Setup component, whose entry
#   outlives the package (see Quorbit.wxs).
set -euo pipefail
stage=$(cd "$1" && pwd)
version=$2
outdir=$(cd "$(dirname "$3")" && pwd)
out=$outdir/$(basename "$3")
here=$(cd "$(dirname "$0")" && pwd)
windres=${WINDRES:-i686-w64-mingw32-windres}

IFS=. read -r major minor patch _ <<<"$version"
rm -f "$out"
(cd "$stage" && wixl -a x86 -I "$stage" -D Version="$version" -D NextPatch="$major.$minor.$((patch + 1))" \
    -D SetupVersion="${version//./,}" -o "$out" "$here/Quorbit.wxs")

# The rows of a table of the package, without its three heading lines.
rows() { msiinfo export "$out" "$1" | tr -d '\r' | tail -n +4; }

# Names in use, in upper case: a short form must be new.
declare -A taken
while IFS=$'\t' read -r _ _ name _; do taken[${name^^}]=1; done < <(rows File)
valid83="^[A-Za-z0-9_^\$~!#%&'(){}@\`-]{1,8}(\.[A-Za-z0-9_^\$~!#%&'(){}@\`-]{1,3})?$"

# short_form NAME: sets form to NAME when it is an 8.3 name already, and to
# "SHORT~N.EXT|NAME" otherwise, with a short name not taken before.
short_form() {
    local name=$1 base ext n short
    if [[ $name =~ $valid83 ]]; then
        form=$name
        return
    fi
    base=${name%.*}
    ext=
    if [[ $name == *.* ]]; then ext=${name##*.}; fi
    base=$(tr -cd 'A-Za-z0-9_-' <<<"${base^^}")
    ext=$(tr -cd 'A-Za-z0-9_-' <<<"${ext^^}")
    ext=${ext:0:3}
    for ((n = 1; ; n++)); do
        short="${base:0:$((7 - ${#n}))}~$n${ext:+.$ext}"
        [ -z "${taken[$short]:-}" ] && break
    done
    taken[$short]=1
    form="$short|$name"
}

# version_of FILE: sets fileversion ("1.2.0.0") and languages ("1033") from
# the file's version resource; both empty when it has none.
version_of() {
    local rc pairs i
    rc=$("$windres" -i "$1" -O rc 2>/dev/null) || rc=
    fileversion=$(sed -n 's/^ *FILEVERSION *\([0-9]*\), *\([0-9]*\), *\([0-9]*\), *\([0-9]*\).*/\1.\2.\3.\4/p' <<<"$rc" | head -1)
    # "0x409, 1200": pairs of a language and a code page.
    read -ra pairs <<<"$(sed -n 's/^ *VALUE "Translation", *//p' <<<"$rc" | head -1 | tr ',' ' ')"
    languages=
    for ((i = 0; i + 1 < ${#pairs[@]}; i += 2)); do languages+="${languages:+,}$((pairs[i]))"; done
}

queries=()
while IFS=$'\t' read -r id _ name _; do
    short_form "$name"
    columns="\`FileName\`='$form'"
    version_of "$stage/$name"
    if [ -n "$fileversion" ]; then
        columns+=", \`Version\`='$fileversion', \`Language\`='$languages'"
        queries+=(-q "DELETE FROM \`MsiFileHash\` WHERE \`File_\`='$id'")
    fi
    queries+=(-q "UPDATE \`File\` SET $columns WHERE \`File\`='$id'")
done < <(rows File)
while IFS=$'\t' read -r id _ name _; do
    short_form "$name"
    queries+=(-q "UPDATE \`Shortcut\` SET \`Name\`='$form' WHERE \`Shortcut\`='$id'")
done < <(rows Shortcut)
attributes=$(rows Component | awk -F'\t' '$1 == "ClientCacheMarks" { print $4 }')
[ -n "$attributes" ] || { echo "make-msi: no component ClientCacheMarks in $out" >&2; exit 1; }
# msidbComponentAttributesPermanent
queries+=(-q "UPDATE \`Component\` SET \`Attributes\`=$((attributes | 16)) WHERE \`Component\`='ClientCacheMarks'")
msibuild "$out" "${queries[@]}"
