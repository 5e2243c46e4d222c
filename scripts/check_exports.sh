#!/usr/bin/env bash
# The shared library exports what its public headers declare, no more (and,
# given the modules' archives, no less): compares `nm -D` of the library with
# the identifiers of the headers (scripts/public_symbols.pl says which
# symbols those are), and checks that a few chief entries are there.
# Usage: check_exports.sh LIB HEADERS [ARCHIVE...]
#   HEADERS: an installed include folder, or a file that lists the headers
set -euo pipefail
lib="$1"
here="$(cd "$(dirname "$0")" && pwd)"
status=0
perl "$here/public_symbols.pl" check "$@" || status=1
symbols=$(nm -D --defined-only "$lib" | awk '{print $3}' | c++filt)
for wanted in 'spAddF32(' 'sp_sse2::spAddF32_Sse2(' 'duvuvAddF32(' 'MathlibInit(' 'CMsystem::Init(' 'GetTraceMask('; do
  if ! grep -qF "$wanted" <<<"$symbols"; then
    echo "Missing from $lib: $wanted"
    status=1
  fi
done
exit $status
