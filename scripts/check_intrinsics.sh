#!/usr/bin/env bash
# Keeps the SIMD vocabulary the one way to vector code and the named set
# indices the one way to name a set. Lists, outside the files allowed each
# rule, and fails if there is one:
#   - a raw intrinsic (_mm_...): only primitives/frame/simd.h and the MXCSR
#     scope (primitives/frame/mxcsr_scope.h);
#   - a compiler vector type of a file's own (__attribute__((vector_size,
#     __m128 and the other intrinsic types, __builtin_shufflevector and
#     __builtin_convertvector): only simd.h;
#   - a bare number in a condition on the set or where a set is passed
#     (SP_SET_INDEX >= 2, kSetIndex == 3, spForceVariantSet(1),
#     spVariantSetSupported(4), spDispatchIndex.store(2)): nowhere, name it
#     (SP_SET_SSE2, ...).
# Comment lines are not code and are not counted.
#   scripts/check_intrinsics.sh [ROOT]   (ROOT: the tree to check, default this one)
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

sources() {
  find . -path ./build -prune -o -path './.*' -prune -o -type f \( -name '*.h' -o -name '*.cpp' \) -print |
    sed 's|^\./||' | sort
}

# Lines of the sources that match the pattern, outside the allowed files and
# comment lines.
find_uses() {
  local pattern=$1 allowed=$2
  sources | xargs grep -nE "$pattern" /dev/null |
    grep -vE "$allowed" |
    grep -vE '^[^:]+:[0-9]+:[[:space:]]*//' || true
}

set_names='(SP_SET_INDEX|kSetIndex|spDispatchIndex(\.load\([^)]*\))?)'
compare='(==|!=|<=|>=|<|>)'
failed=0
report() {
  local title=$1 found=$2
  if [[ -n "$found" ]]; then
    echo "$title:"
    echo "$found"
    failed=1
  fi
}
report "Raw intrinsics outside primitives/frame/simd.h and mxcsr_scope.h" \
  "$(find_uses '\b_(mm|MM)[0-9]*_' '^(primitives/frame/simd\.h|primitives/frame/mxcsr_scope\.h):')"
report "Vector types outside primitives/frame/simd.h" \
  "$(find_uses 'vector_size|\b__m(64|128|256|512)[dih]?\b|__builtin_(shufflevector|convertvector)' \
    '^primitives/frame/simd\.h:')"
report "Bare set numbers (use SP_SET_GENERIC .. SP_SET_SSSE3)" \
  "$(find_uses "\b$set_names[[:space:]]*$compare[[:space:]]*[0-9]|(^|[^A-Za-z0-9_.])[0-9]+[[:space:]]*$compare[[:space:]]*$set_names\b|\b(spForceVariantSet|spVariantSetSupported|spDispatchIndex\.store)\([[:space:]]*[0-9]" '^$')"
if ((failed)); then exit 1; fi
echo "No raw intrinsics or vector types outside the SIMD vocabulary and the MXCSR scope; no bare set numbers."
