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
# What it does before the host starts goes to stderr, a line a step; the
# build's own output goes to a log, whose end is shown when a step fails.
say() { echo "run.sh: $*" >&2; }
# step WHAT COMMAND...: runs the command into the log; on failure says
# "WHAT failed" with the log's end and stops.
step() {
    local what=$1
    shift
    if ! "$@" >"$log" 2>&1; then
        say "$what failed; the end of $log:"
        tail -n 30 "$log" >&2
        exit 1
    fi
}
(
    cd "$root"
    mkdir -p build/release
    touch "$checked.new"
    log=build/release/run-build.log
    scripts/install-deps.sh >&2
    if [ ! -f build/release/build.ninja ]; then
        say "configuring the release build in build/release"
        step configuring cmake --preset release
    fi
    say "building vantrel-host (a first build takes a few minutes; its output goes to $log)"
    step "the build" cmake --build --preset release --target vantrel-host
    mv "$checked.new" "$checked"
)
exec "$host" "$@"
