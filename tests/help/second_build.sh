#!/bin/sh
# A second build of the help files from the same source gives the same bytes
# as the build's own, Quorbit.HLP and Quorbit.chm alike, made the way
# help/CMakeLists.txt makes them:
#   second_build.sh HLPGEN Quorbit.txt BUILT_FOLDER
set -eu
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$1" "$2" Quorbit.HLP chm
chmcmd chm/Quorbit.hhp >/dev/null
"$1" --chm-stamps "$2" Quorbit.chm
cmp Quorbit.HLP "$3/Quorbit.HLP"
cmp Quorbit.chm "$3/Quorbit.chm"
