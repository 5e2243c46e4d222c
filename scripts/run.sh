#!/usr/bin/env bash
# Builds when needed and runs the example host; extra arguments go to the host.
# The host runs in the caller's folder, so that relative file names work.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
host="$root/build/release/tools/vantrel-host"
# The last check that found nothing to install or build stands while neither
# the package list nor any file of the tree has changed since it began: then
# the host runs at once, without starting dpkg, cmake or ninja.
checked="$root/build/release/.run-checked"
if [ -x "$host" ] && [ "$checked" -nt /var/lib/dpkg/status ] &&
    [ -z "$(find "$root" \( -path "$root/build" -o -path "$root/.git" -o -path "$root/.cache" \) -prune \
        -o -newer "$checked" -print -quit)" ]; then
    exec "$host" "$@"
fi
(
    cd "$root"
    mkdir -p build/release
    touch "$checked.new"
    scripts/install-deps.sh
    [ -f build/release/build.ninja ] || cmake --preset release >/dev/null
    cmake --build --preset release --target vantrel-host >/dev/null
    mv "$checked.new" "$checked"
)
exec "$host" "$@"
