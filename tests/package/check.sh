#!/usr/bin/env bash
# The installed package as another project meets it: installs a built tree
# (default build/release) into a temporary prefix, checks what was installed,
# builds the consumer program there with find_package(Vantrel) and with
# pkg-config and runs both, and builds the example host from the installed
# headers alone.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "${1:-$root/build/release}" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"

cmake --install "$build" --prefix "$prefix" >/dev/null
cd "$prefix"
fail() { echo "package check: $*" >&2; exit 1; }
soname="$(objdump -p lib/libvantrel.so | awk '/SONAME/ {print $2}')"
[[ "$soname" =~ ^libvantrel\.so\.[0-9]+$ ]] || fail "SONAME is '$soname', not versioned"
[ -e "lib/$soname" ] || fail "lib/$soname is missing"
for header in Vantrel/Vantrel.h Vantrel/MSystem.h primitives/fft/sp_real_fft.h Mathlib/MathlibRealFft.h; do
  [ -f "include/vantrel/$header" ] || fail "include/vantrel/$header is missing"
done
if find include -name '*Impl.h' | grep -q .; then fail "implementation headers installed: $(find include -name '*Impl.h')"; fi

# find_package
cmake -S "$root/tests/package/consumer" -B "$work/cmake-build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/cmake-build" >/dev/null
mkdir -p "$work/run1" "$work/run2"
"$work/cmake-build/consumer" "$work/run1"

# pkg-config (C++20 is the caller's choice of standard)
export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
libdir="$(pkg-config --variable=libdir vantrel)"
# shellcheck disable=SC2046
g++ -std=c++20 -O1 "$root/tests/package/consumer/consumer.cpp" -o "$work/consumer-pc" \
  $(pkg-config --cflags --libs vantrel) -Wl,-rpath,"$libdir"
"$work/consumer-pc" "$work/run2"

# The README's example compiles as it stands and measures the pair the
# consumer just wrote (16 kHz, the test 321 samples behind).
sed -n '/^```cpp$/,/^```$/p' "$root/README.md" | sed '1d;$d' >"$work/readme_example.cpp"
[ -s "$work/readme_example.cpp" ] || fail "no C++ example in README.md"
# shellcheck disable=SC2046
g++ -std=c++20 -O1 "$work/readme_example.cpp" -o "$work/readme-example" $(pkg-config --cflags --libs vantrel) \
  -Wl,-rpath,"$libdir"
(cd "$work/run2" && VANTREL_REGISTRY="$work/registry" "$work/readme-example" 2>/dev/null | tail -n 1) |
  grep -qx "delay 321 samples, status 1" || fail "the README's example does not measure the consumer's pair"

# The example host uses public headers only: it builds from the installed
# package alone, and the installed one measures its demonstration pair.
# shellcheck disable=SC2046
g++ -std=c++20 -O1 "$root"/tools/host/*.cpp -o "$work/host-pc" $(pkg-config --cflags --libs vantrel) -Wl,-rpath,"$libdir"
VANTREL_REGISTRY="$work/registry" "$prefix/bin/vantrel-host" --quiet 2>/dev/null | grep -q "Delay found: 600 samples" ||
  fail "the installed host does not measure its demonstration pair"
echo "package check: installed $(find "$prefix" -type f | wc -l) files; find_package and pkg-config consumers ran; the host builds from the installed headers"
