#!/usr/bin/env bash
# Gives copies of our programs another version, for the tests' package of a
# higher version whose files differ from the build's: the version resource's
# fixed file information, which Windows Installer compares, and its
# FileVersion and ProductVersion texts, which must keep their length.
#   tests/install/set-program-version.sh 1.3.0.0 FILE...
set -euo pipefail
version=$1
shift
for file in "$@"; do
    perl -0777 -i -pe '
        BEGIN { $new = shift @ARGV; @n = split /\./, $new; }
        # The signature 0xFEEF04BD, the structure version, then the file
        # and the product version, each as two DWORDs.
        my $at = index($_, pack("V", 0xFEEF04BD));
        die "no version resource\n" if $at < 0;
        my ($ms, $ls) = unpack("V2", substr($_, $at + 8, 8));
        my $old = join(".", $ms >> 16, $ms & 0xFFFF, $ls >> 16, $ls & 0xFFFF);
        my $fixed = pack("V2", ($n[0] << 16) | $n[1], ($n[2] << 16) | $n[3]);
        substr($_, $at + 8, 8) = $fixed;
        substr($_, $at + 16, 8) = $fixed;
        # The texts in UTF-16, with their terminator.
        my ($from, $to) = map { join("\0", split //) . "\0\0\0" } ($old, $new);
        die "$old and $new differ in length\n" if length($from) != length($to);
        s/\Q$from\E/$to/g;
    ' "$version" "$file"
done
