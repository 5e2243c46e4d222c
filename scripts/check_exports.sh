#!/usr/bin/env bash
# The shared library shows its callers the public interface only: no spk
# kernel and no helper of a variant set's namespace among its dynamic
# symbols, while the primitives, the math layer and the framework are there.
# Usage: check_exports.sh path/to/libvantrel.so
set -euo pipefail
lib="$1"
symbols=$(nm -D --defined-only "$lib" | awk '{print $3}' | c++filt)
status=0
internal=$(grep -E '(^|[^A-Za-z])spk[A-Z]|sp_(generic|sse|sse2|sse3|ssse3)::' <<<"$symbols" |
  grep -vE '^sp_(generic|sse|sse2|sse3|ssse3)::sp[A-Z][A-Za-z0-9]*_(Generic|Sse|Sse2|Sse3|Ssse3)\(' || true)
if [[ -n "$internal" ]]; then
  echo "Internal symbols exported by $lib:"
  echo "$internal"
  status=1
fi
for wanted in 'spAddF32(' 'sp_sse2::spAddF32_Sse2(' 'duvuvAddF32(' 'MathlibInit(' 'CMsystem::Init('; do
  if ! grep -qF "$wanted" <<<"$symbols"; then
    echo "Missing from $lib: $wanted"
    status=1
  fi
done
[[ $status -eq 0 ]] && echo "$lib exports its public interface only."
exit $status
