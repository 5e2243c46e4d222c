#!/usr/bin/env bash
# scripts/run.sh on a fresh tree says what it does (a line a step on stderr,
# not the build's output), shows the end of the build's log when the build
# fails, and runs the host with the caller's arguments: run on a copy of it
# in a small tree of its own, with stand-ins for the package check and cmake.
#   tests/scripts/run_sh_cases.sh RUN_SCRIPT
set -euo pipefail
run=$1
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree/scripts" "$tree/bin"
cp "$run" "$tree/scripts/run.sh"
printf '#!/bin/sh\nexit 0\n' >"$tree/scripts/install-deps.sh"
# cmake: configuring writes build.ninja, building writes a host that echoes
# its arguments; both print as much as a real build does, unless told to fail.
cat >"$tree/bin/cmake" <<'SRC'
#!/bin/sh
for n in $(seq 1 200); do echo "[$n/200] Building CXX object something.o"; done
[ -n "${FAIL_BUILD:-}" ] && [ "$1" = "--build" ] && { echo "something.cpp:1: error: the build broke"; exit 1; }
mkdir -p build/release/tools
if [ "$1" = "--preset" ]; then : >build/release/build.ninja; exit 0; fi
printf '#!/bin/sh\necho "host ran with: $*"\n' >build/release/tools/vantrel-host
chmod +x build/release/tools/vantrel-host
SRC
chmod +x "$tree/scripts/run.sh" "$tree/scripts/install-deps.sh" "$tree/bin/cmake"
fail() { echo "run.sh: $*" >&2; exit 1; }

# A failing build: the step, then the end of the log with the error; exit 1.
if FAIL_BUILD=1 PATH="$tree/bin:$PATH" "$tree/scripts/run.sh" a.wav >"$tree/out" 2>"$tree/err"; then
  fail "a failed build was not reported"
fi
grep -q "the build failed" "$tree/err" || fail "a failed build does not say so: $(cat "$tree/err")"
grep -q "error: the build broke" "$tree/err" || fail "a failed build does not show the error"
[ ! -s "$tree/out" ] || fail "a failed build printed on stdout: $(head -n 3 "$tree/out")"
passed=1

# A fresh tree: the configure and build steps are named, the build's lines
# are not shown, and the host runs with the arguments.
rm -rf "$tree/build"
PATH="$tree/bin:$PATH" "$tree/scripts/run.sh" a.wav b.wav >"$tree/out" 2>"$tree/err"
grep -q "^run.sh: configuring" "$tree/err" || fail "configuring is not named: $(cat "$tree/err")"
grep -q "^run.sh: building vantrel-host" "$tree/err" || fail "the build is not named: $(cat "$tree/err")"
lines=$(wc -l <"$tree/err")
[ "$lines" -le 3 ] || fail "$lines lines on stderr: $(head -n 5 "$tree/err")"
[ "$(cat "$tree/out")" = "host ran with: a.wav b.wav" ] || fail "the host did not run as asked: $(cat "$tree/out")"
passed=$((passed + 1))
echo "run.sh cases: $passed passed, 0 failed"
