#!/usr/bin/env bash
# Builds when needed and runs the example host; extra arguments go to the host.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
[ -f build/release/build.ninja ] || cmake --preset release >/dev/null
cmake --build --preset release --target vantrel-host >/dev/null
exec build/release/tools/vantrel-host "$@"
