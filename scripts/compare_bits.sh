#!/bin/sh
# Compares the bits two builds of the library give: builds
# tools/bit_digest/bit_digest.cpp once against this tree's headers, runs it
# against each build's libvantrel.so and diffs the digests (real FFTs of
# orders 0..MAX_ORDER in every scaling, placement and alignment, the
# half-spectrum expansion, correlation, FIR and matrix products, under every
# set the processor has).
#   scripts/compare_bits.sh BEFORE_BUILD AFTER_BUILD [MAX_ORDER]
set -eu
before=$1 after=$2 order=${3:-22}
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
g++ -std=c++20 -O2 -I"$root" "$root/tools/bit_digest/bit_digest.cpp" -L"$after" -lvantrel -o "$out/bit_digest"
LD_LIBRARY_PATH=$before "$out/bit_digest" "$order" >"$out/before.txt"
LD_LIBRARY_PATH=$after "$out/bit_digest" "$order" >"$out/after.txt"
echo "$(wc -l <"$out/before.txt") digest lines"
if diff "$out/before.txt" "$out/after.txt"; then echo "same bits"; else echo "bits differ"; exit 1; fi
