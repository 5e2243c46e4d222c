#!/usr/bin/env bash
# What the export list takes from a header: its entries and their sets'
# members, not what a section for variant sources (#ifdef SP_SET_INDEX)
# names, nor what its #else branch leaves out. Run on a small header and
# archive of its own.
#   tests/scripts/public_symbols_cases.sh PUBLIC_SYMBOLS_SCRIPT
set -euo pipefail
script=$1
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
cat >"$tree/entry.h" <<'SRC'
#define ROW(X, ctx) X(ctx, 1, sp_sse, _Sse, "sse", sse, "")
void spEntry();
#ifdef SP_SET_INDEX
#if SP_SET_INDEX > 0
void spkNested();
#endif
namespace SP_SET_NS { void* SP_V(spkAllocate)(long bytes); }
#else
void spAfterElse();
#endif
SRC
cat >"$tree/parts.cpp" <<'SRC'
void spEntry() {}
void spAfterElse() {}
void spkNested() {}
namespace sp_sse {
void spEntry_Sse() {}
void* spkAllocate_Sse(long) { return nullptr; }
}
SRC
g++ -c -fPIC "$tree/parts.cpp" -o "$tree/parts.o"
ar rcs "$tree/libparts.a" "$tree/parts.o"
perl "$script" map "$tree/exports.map" "$tree/entry.h" -- "$tree/libparts.a"
fail() { echo "public symbols: $*" >&2; cat "$tree/exports.map" >&2; exit 1; }
passed=0
for wanted in _Z7spEntryv _ZN6sp_sse11spEntry_SseEv _Z11spAfterElsev; do
  grep -q "^    $wanted;" "$tree/exports.map" || fail "$wanted is left out"
  passed=$((passed + 1))
done
for unwanted in spkAllocate spkNested; do
  if grep -q "$unwanted" "$tree/exports.map"; then fail "$unwanted of a variant sources' section is exported"; fi
  passed=$((passed + 1))
done
echo "public symbols cases: $passed passed, 0 failed"
