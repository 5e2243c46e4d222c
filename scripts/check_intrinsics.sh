#!/usr/bin/env bash
# Every SSE intrinsic goes through the SIMD vocabulary (primitives/frame/simd.h)
# or the MXCSR scope (primitives/frame/mxcsr_scope.h). Lists each raw use
# elsewhere in the sources and fails if there is one. Comment lines are not
# code and are not counted.
set -euo pipefail
cd "$(dirname "$0")/.."
allowed='^(primitives/frame/simd\.h|primitives/frame/mxcsr_scope\.h):'
found=$(find . -path ./build -prune -o -path './.*' -prune -o -type f \( -name '*.h' -o -name '*.cpp' \) -print |
  sed 's|^\./||' | sort |
  xargs grep -nE '\b_(mm|MM)[0-9]*_' /dev/null |
  grep -vE "$allowed" |
  grep -vE '^[^:]+:[0-9]+:[[:space:]]*//' || true)
if [[ -n "$found" ]]; then
  echo "Raw intrinsics outside primitives/frame/simd.h and mxcsr_scope.h:"
  echo "$found"
  exit 1
fi
echo "No raw intrinsics outside the SIMD vocabulary and the MXCSR scope."
