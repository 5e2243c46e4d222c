#!/usr/bin/env bash
# Builds when needed and runs the example host; extra arguments go to the host.
# The host runs in the caller's folder, so that relative file names work.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
(
    cd "$root"
    scripts/install-deps.sh
    [ -f build/release/build.ninja ] || cmake --preset release >/dev/null
    cmake --build --preset release --target vantrel-host >/dev/null
)
exec "$root/build/release/tools/vantrel-host" "$@"
