#!/bin/sh
# Quorbit.chm, as chmls lists it, holds a page for every topic of the source,
# the contents, and the index with every keyword of the source in any case:
#   chm_contents.sh Quorbit.chm Quorbit.txt
set -u
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmls -n list "$1" >"$work/list" 2>/dev/null
chmls extract "$1" /Quorbit.hhk "$work/index" >/dev/null 2>&1
# An index entry's first name is its keyword; the source escapes as the index does.
grep -A1 -F '<OBJECT' "$work/index" | sed -n 's/^\t<param name="Name" value="\(.*\)">\r$/\1/p' >"$work/keywords"
sed -n 's/^# .*{#\([A-Za-z0-9._]*\)}$/\/\1.htm/p' "$2" >"$work/pages"
printf '/Quorbit.hhc\n/Quorbit.hhk\n' >>"$work/pages"
sed -n 's/^K://p' "$2" | tr ';' '\n' | sed 's/^ *//; s/ *$//; s/&/\&amp;/g; s/"/\&quot;/g' >"$work/source-keywords"
missing=$(grep -vxF -f "$work/list" "$work/pages"; grep -ivxF -f "$work/keywords" "$work/source-keywords")
echo "$1: $(wc -l <"$work/pages") files, $(sort -fu "$work/source-keywords" | wc -l) keywords; missing:${missing:- none}"
[ -z "$missing" ] && [ "$(wc -l <"$work/pages")" -gt 2 ] && [ -s "$work/source-keywords" ]
