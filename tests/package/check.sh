#!/usr/bin/env bash
# The installed package as another project meets it: installs a built tree
# (default build/release) into a temporary prefix, checks what was installed
# (each header compiles on its own; the library exports what the headers
# declare, no more), builds the consumer program there with
# find_package(Vantrel) and with pkg-config and runs both, builds it against
# the build tree's own package, configures a project that adds the source
# tree with add_subdirectory, and builds the example host from the installed
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
for header in Vantrel/Vantrel.h Vantrel/MSystem.h primitives/fft/sp_real_fft.h Mathlib/MathlibRealFft.h wavio/VirtualDevice.h; do
  [ -f "include/vantrel/$header" ] || fail "include/vantrel/$header is missing"
done
if find include -name '*Impl.h' | grep -q .; then fail "implementation headers installed: $(find include -name '*Impl.h')"; fi
"$root/scripts/check_exports.sh" lib/libvantrel.so include/vantrel >"$work/exports.txt" ||
  fail "$(cat "$work/exports.txt")"
# Every installed header compiles on its own, as the first include of a caller.
# shellcheck disable=SC2016
(cd include/vantrel && find . -name '*.h' | sed 's|^\./||' | sort |
  xargs -P 4 -I{} sh -c 'printf "#include \"%s\"\n" "$1" |
    g++ -std=c++20 -fsyntax-only -Wall -Wextra -Wpedantic -Werror -I. -x c++ - 2>&1 ||
    echo "package check: $1 does not compile on its own"' - {}) >"$work/headers.txt"
if grep -q "does not compile on its own" "$work/headers.txt"; then fail "$(cat "$work/headers.txt")"; fi

# find_package
cmake -S "$root/tests/package/consumer" -B "$work/cmake-build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/cmake-build" >/dev/null
mkdir -p "$work/run1" "$work/run2"
"$work/cmake-build/consumer" "$work/run1"

# The build tree's own package (Vantrel_DIR pointing at it)
cmake -S "$root/tests/package/consumer" -B "$work/tree-build" -G Ninja -DVantrel_DIR="$build" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null || fail "the build tree's VantrelConfig.cmake cannot be used"
cmake --build "$work/tree-build" >/dev/null
mkdir -p "$work/run3"
"$work/tree-build/consumer" "$work/run3" >/dev/null

# add_subdirectory: the same target name (configuring is enough to resolve it)
cmake -S "$root/tests/package/subdirectory" -B "$work/subdirectory-build" -G Ninja \
  -DVANTREL_SOURCE_DIR="$root" >"$work/subdirectory.txt" 2>&1 ||
  fail "add_subdirectory users cannot link Vantrel::vantrel: $(tail -n 20 "$work/subdirectory.txt")"

# pkg-config (C++20 is the caller's choice of standard)
export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
libdir="$(pkg-config --variable=libdir vantrel)"
# The README's pkg-config line as it stands builds a program that starts.
# shellcheck disable=SC2016
readme_line="$(grep -o '`g++ -std=c++20 app.cpp -o app $(pkg-config[^`]*`' "$root/README.md" | tr -d '`')"
[ -n "$readme_line" ] || fail "no pkg-config build line in README.md"
cp "$root/tests/package/consumer/consumer.cpp" "$work/app.cpp"
(cd "$work" && eval "$readme_line") || fail "the README's pkg-config line does not build: $readme_line"
mv "$work/app" "$work/consumer-pc"
"$work/consumer-pc" "$work/run2" || fail "the program the README's pkg-config line builds does not run"
# The headers' version macros are the package's version.
# shellcheck disable=SC2046
printf '#include "Vantrel/Version.h"\n#include <cstdio>\nint main() { std::printf("%%s %%d.%%d", VANTREL_VERSION_STRING, VANTREL_VERSION_MAJOR, VANTREL_VERSION_MINOR); }\n' |
  g++ -std=c++20 -x c++ - -o "$work/version" $(pkg-config --cflags vantrel)
modversion="$(pkg-config --modversion vantrel)"
[[ "$("$work/version")" == "$modversion $modversion" ]] || fail "Version.h says '$("$work/version")', the package $modversion"

# The README's example compiles as it stands and measures the pair the
# consumer just wrote (16 kHz, the test 321 samples behind) from its first
# frame on (the last one reaches past the test's end and is not reliable).
sed -n '/^```cpp$/,/^```$/p' "$root/README.md" | sed '1d;$d' >"$work/readme_example.cpp"
[ -s "$work/readme_example.cpp" ] || fail "no C++ example in README.md"
# shellcheck disable=SC2046
g++ -std=c++20 -O1 "$work/readme_example.cpp" -o "$work/readme-example" $(pkg-config --cflags --libs vantrel) \
  -Wl,-rpath,"$libdir"
(cd "$work/run2" && VANTREL_REGISTRY="$work/registry" "$work/readme-example" 2>/dev/null | sed -n 1p) |
  grep -qx "delay 321 samples, status 1" || fail "the README's example does not measure the consumer's pair"

# The example host uses public headers only: it builds from the installed
# package alone, and the installed one measures its demonstration pair.
# shellcheck disable=SC2046
g++ -std=c++20 -O1 "$root"/tools/host/*.cpp -o "$work/host-pc" $(pkg-config --cflags --libs vantrel) -Wl,-rpath,"$libdir"
VANTREL_REGISTRY="$work/registry" "$prefix/bin/vantrel-host" --quiet 2>/dev/null | grep -q "Delay found: 600 samples" ||
  fail "the installed host does not measure its demonstration pair"
[[ "$("$prefix/bin/vantrel-host" --version)" == "vantrel-host with libvantrel $(pkg-config --modversion vantrel)" ]] ||
  fail "the installed host's --version does not give the package's version"
echo "package check: installed $(find "$prefix" -type f | wc -l) files, each header compiles alone and the library exports what they declare; find_package (installed and build tree) and pkg-config consumers ran; add_subdirectory links Vantrel::vantrel; the host builds from the installed headers"
