#!/bin/sh
# Quorbit.chm as chmls lists it holds a page for every topic of the source,
# the contents, and the index with every keyword of the source:
#   chm_contents.sh Quorbit.chm Quorbit.txt
set -eu
chm=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
faults=0
fault() {
    echo "$chm: $1" >&2
    faults=$((faults + 1))
}

chmls -n list "$chm" >"$work/list" 2>/dev/null
sed -n 's/^# .*{#\([A-Za-z0-9._]*\)}$/\1.htm/p' "$source" >"$work/pages"
[ -s "$work/pages" ] || fault "no topic found in $source"
echo Quorbit.hhc >>"$work/pages"
echo Quorbit.hhk >>"$work/pages"
while read -r page; do
    grep -qx "/$page" "$work/list" || fault "/$page is missing"
done <"$work/pages"

# A keyword is the first name of an index entry, as written in some topic
# (keywords equal but for case are one).
chmls extract "$chm" /Quorbit.hhk "$work/index" >/dev/null 2>&1 || fault "/Quorbit.hhk cannot be extracted"
grep -A1 -F '<OBJECT type="text/sitemap">' "$work/index" 2>/dev/null | sed -n 's/^\t<param name="Name" value="\(.*\)">\r$/\1/p' >"$work/listed"
sed -n 's/^K://p' "$source" | tr ';' '\n' | sed 's/^ *//; s/ *$//; s/&/\&amp;/g; s/"/\&quot;/g' >"$work/keywords"
[ -s "$work/keywords" ] || fault "no keyword found in $source"
while IFS= read -r keyword; do
    grep -qixF "$keyword" "$work/listed" || fault "keyword \"$keyword\" is not in the index"
done <"$work/keywords"

[ "$faults" -eq 0 ] || exit 1
echo "$chm: $(wc -l <"$work/pages") files and $(sort -fu "$work/keywords" | wc -l) keywords found"
