// The yardstick of the real-FFT benchmarks: FFTW 3.3.10 built with SSE2
// codelets only (bench/build_fftw_sse2.sh, static, in the build folder), the
// widest vectors the variant sets use. It is the same program on every
// x86-64 machine, whatever wider vectors the processor has. A build without
// it, or linked against another FFTW, refuses to time anything under its
// name: the program says so and exits non-zero. Benchmarks only.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace bench {

inline constexpr std::string_view kYardstickVersion = "fftw-3.3.10-sse2";
inline constexpr const char* kYardstickLabel = "FFTW 3.3.10 sse2-only";

// Exits with status 2 unless `version` (fftw_version or fftwf_version of
// the linked library) names the SSE2-only build, nothing wider.
inline void RequireSse2Yardstick(const char* version) {
  if (version != nullptr && std::string_view(version) == kYardstickVersion) return;
  std::fprintf(stderr, "fftw: linked FFTW is \"%s\", not the SSE2-only yardstick %.*s\n",
               version != nullptr ? version : "?", int(kYardstickVersion.size()), kYardstickVersion.data());
  std::exit(2);
}

// The exit status of a real-FFT bench: its own with the yardstick; without
// it the sets' cases still ran, and the program reports the missing
// yardstick and fails.
inline int YardstickStatus(int status) {
#ifdef BENCH_FFTW_SSE2_YARDSTICK
  return status;
#else
  std::fprintf(stderr,
               "fftw: this build has no SSE2-only FFTW yardstick (run bench/build_fftw_sse2.sh <build>); "
               "nothing was compared with FFTW\n");
  return status == 0 ? 2 : status;
#endif
}

}  // namespace bench
