#!/usr/bin/env bash
# Set-up, build and every test, in the given preset (default: release).
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-release}"
scripts/install-deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset"
