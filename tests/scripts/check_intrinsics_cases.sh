#!/usr/bin/env bash
# The source check finds each kind of use it forbids and passes what it
# allows: run on a small tree of its own.
#   tests/scripts/check_intrinsics_cases.sh CHECK_SCRIPT
set -euo pipefail
check=$1
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree/primitives/frame" "$tree/lib"

# Allowed: the vocabulary itself, named indices, comments.
cat >"$tree/primitives/frame/simd.h" <<'SRC'
using f32x4 = __m128;
inline f32x4 Add(f32x4 a, f32x4 b) { return _mm_add_ps(a, b); }
SRC
cat >"$tree/lib/allowed.cpp" <<'SRC'
#if SP_SET_INDEX >= SP_SET_SSE2
// using Float4 = float __attribute__((vector_size(16)));
int lags = kFftLags[kSetIndex] + (x >= 2) + (kSetIndex2 == 3);
spForceVariantSet(SP_SET_SSE3 + s);
#endif
SRC
if ! out=$("$check" "$tree"); then
  echo "a clean tree fails:"
  echo "$out"
  exit 1
fi

# Forbidden, one per line: file:line must be listed.
cat >"$tree/lib/forbidden.cpp" <<'SRC'
__m128 x = _mm_setzero_ps();
using Float4 = float __attribute__((vector_size(16)));
__m128d pair;
auto y = __builtin_shufflevector(a, b, 0, 4, 1, 5);
#if SP_SET_INDEX >= 2
if constexpr (kSetIndex == 3) {}
if (2 <= kSetIndex) {}
spForceVariantSet(1);
if (!spVariantSetSupported(4)) return;
spDispatchIndex.store(2);
if (spDispatchIndex.load(std::memory_order_relaxed) > 1) {}
SRC
if out=$("$check" "$tree"); then
  echo "a tree with forbidden uses passes"
  exit 1
fi
status=0
for line in $(seq 1 11); do
  if ! grep -q "^lib/forbidden.cpp:$line:" <<<"$out"; then
    echo "not found: line $line: $(sed -n "${line}p" "$tree/lib/forbidden.cpp")"
    status=1
  fi
done
if grep -qE '^(lib/allowed\.cpp|primitives/frame/simd\.h):' <<<"$out"; then
  echo "allowed uses listed:"
  grep -E '^(lib/allowed\.cpp|primitives/frame/simd\.h):' <<<"$out"
  status=1
fi
exit $status
