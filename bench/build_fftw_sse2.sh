#!/bin/sh
# Builds the real-FFT benchmarks' yardstick: FFTW 3.3.10 from Debian's
# source package with SSE2 codelets only (no AVX, AVX2, AVX-512 or FMA),
# single and double precision, static, into BUILD/fftw-sse2/, then
# reconfigures BUILD so bench_real_fft and bench_real_fft_f64 link it.
# The same yardstick on any x86-64 machine, whatever the processor offers:
# the compiler gets no -march, so nothing wider than SSE2 is emitted.
# A benchmark dependency only: the component never links it and nothing of
# it is committed (it lives in the build folder).
#   bench/build_fftw_sse2.sh [BUILD]          (default build/release)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/release}" && pwd)
dest=$build/fftw-sse2
version=3.3.10
jobs=${JOBS:-4}

for tool in apt-get dpkg-source cc make; do
  command -v "$tool" >/dev/null || { echo "build_fftw_sse2.sh needs $tool (apt-get install dpkg-dev gcc make)" >&2; exit 1; }
done
mkdir -p "$dest/apt/lists/partial" "$dest/apt/cache/archives/partial" "$dest/src"
# Its own sources list and package lists: the machine's apt set-up (which
# may carry no deb-src lines) is neither read nor changed.
printf 'deb-src http://deb.debian.org/debian bookworm main\n' >"$dest/apt/sources.list"
apt_options="-o Dir::Etc::SourceList=$dest/apt/sources.list -o Dir::Etc::SourceParts=/dev/null
  -o Dir::State::Lists=$dest/apt/lists -o Dir::Cache=$dest/apt/cache -o Debug::NoLocking=1"
if ! ls "$dest"/src/fftw3_"$version"*.dsc >/dev/null 2>&1; then
  # shellcheck disable=SC2086
  apt-get $apt_options update
  # shellcheck disable=SC2086
  (cd "$dest/src" && apt-get $apt_options source --download-only fftw3)
fi
if ! ls "$dest"/src/fftw3_"$version"*.dsc >/dev/null 2>&1; then
  echo "Debian's fftw3 source package is not version $version:" "$dest"/src/*.dsc >&2
  exit 1
fi
tree=$dest/src/fftw-$version
if [ ! -d "$tree" ]; then
  (cd "$dest/src" && dpkg-source --no-check -x fftw3_"$version"*.dsc "fftw-$version")
fi

# One out-of-tree build per precision, both installed into one prefix.
for precision in double float; do
  out=$dest/build-$precision
  [ -f "$out/.installed" ] && continue
  rm -rf "$out" && mkdir -p "$out"
  extra=
  [ "$precision" = float ] && extra=--enable-float
  (cd "$out" && "$tree/configure" --prefix="$dest" --enable-sse2 $extra \
     --disable-avx --disable-avx2 --disable-avx512 --disable-avx-128-fma --disable-kcvi \
     --disable-fma --disable-shared --enable-static --disable-fortran --disable-threads \
     --disable-doc CFLAGS="-O3 -fomit-frame-pointer -fstrict-aliasing" >configure.log &&
   make -j"$jobs" >make.log && make install >install.log)
  touch "$out/.installed"
done

cmake "$build" >/dev/null
echo "SSE2-only FFTW $version in $dest; $build reconfigured to use it"
