#!/usr/bin/env bash
# Runs each test program once as a whole, every test in one process, in a
# folder of its own: CTest runs one test per process, which hides a test
# that passes alone but not after the others. Inside a Wine session:
#   tools/whole-programs.sh BUILD_DIR
set -uo pipefail
build=$1
work=$(mktemp -d /tmp/quorbit-whole.XXXXXX)
trap 'rm -rf "$work"' EXIT
failed=()
for program in "$build"/bin/*_tests.exe; do
    name=$(basename "$program" .exe)
    if (cd "$work" && timeout 900 wine "$program" --gtest_brief=1 >"$work/$name.log" 2>&1); then
        echo "dev: $name whole: passed" >&2
    else
        echo "dev: $name whole: FAILED" >&2
        grep -E '^\[  FAILED  \]|Failure|error' "$work/$name.log" | head -n 40 >&2
        failed+=("$name")
    fi
done
[ ${#failed[@]} -eq 0 ]
