#!/usr/bin/env bash
# Runs every benchmark program of the build (bin/bench_*.exe) under Wine.
set -euo pipefail
build=$1
status=0
for exe in "$build"/bin/bench_*.exe; do
    [ -e "$exe" ] || continue
    echo "== $(basename "$exe")"
    wine "$exe" || status=1
done
exit $status
