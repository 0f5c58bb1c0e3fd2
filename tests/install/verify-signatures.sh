#!/usr/bin/env bash
# What osslsigncode says of each signature of the given files, checked
# against a certificate, in FOLDER/verified.txt; and of a copy of each with
# the byte in its middle changed, in FOLDER/changed.txt. Each file's part
# starts "== NAME" and ends "exit code N".
#   tests/install/verify-signatures.sh OSSLSIGNCODE CERT.pem FOLDER FILE...
set -euo pipefail
osslsigncode=$1 cert=$2 folder=$3
shift 3
cd "$folder"
: >verified.txt
: >changed.txt
# report NAME FILE: what osslsigncode says of FILE, under NAME.
report() {
    local rc=0
    echo "== $1"
    "$osslsigncode" verify -CAfile "$cert" -in "$2" 2>&1 || rc=$?
    echo "exit code $rc"
}
for file in "$@"; do
    changed=changed-$(basename "$file")
    cp "$file" "$changed"
    at=$(($(stat -c %s "$changed") / 2))
    byte=$(od -An -tu1 -j "$at" -N1 "$changed" | tr -d ' ')
    printf "\\$(printf '%03o' $(((byte + 1) % 256)))" | dd of="$changed" bs=1 seek="$at" conv=notrunc status=none
    report "$file" "$file" >>verified.txt
    report "$file" "$changed" >>changed.txt
done
