// Makes this process's processor look as if it had no AVX, AVX2, FMA or
// AVX-512, so that FFTW (which picks its codelets by what the processor
// reports) plans with SSE2 codelets: the yardstick of the real-FFT
// benchmarks is FFTW built for SSE2, the widest vectors the variant sets
// use. Linux's CPUID faulting traps every CPUID instruction after
// HideWideVectors(); the handler runs the real one and clears those
// features. Benchmarks only.
#pragma once

#include <asm/prctl.h>
#include <cpuid.h>
#include <signal.h>
#include <sys/syscall.h>
#include <ucontext.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace bench {

namespace cpuid_mask {

inline bool SetCpuidFaulting(bool on) { return syscall(SYS_arch_prctl, ARCH_SET_CPUID, on ? 0 : 1) == 0; }

inline void OnTrappedCpuid(int, siginfo_t*, void* context) {
  greg_t* reg = static_cast<ucontext_t*>(context)->uc_mcontext.gregs;
  const auto* ip = reinterpret_cast<const uint8_t*>(reg[REG_RIP]);
  if (ip[0] != 0x0f || ip[1] != 0xa2) {  // not CPUID: let the fault take its course
    signal(SIGSEGV, SIG_DFL);
    return;
  }
  const auto leaf = static_cast<unsigned>(reg[REG_RAX]), sub = static_cast<unsigned>(reg[REG_RCX]);
  unsigned a = 0, b = 0, c = 0, d = 0;
  SetCpuidFaulting(false);
  __cpuid_count(leaf, sub, a, b, c, d);
  SetCpuidFaulting(true);
  if (leaf == 1) c &= ~((1u << 12) | (1u << 28) | (1u << 29));  // FMA, AVX, F16C
  if (leaf == 7 && sub == 0) {
    b &= ~((1u << 5) | 0xDC230000u);  // AVX2 and the AVX-512 families
    c &= ~0x5842u;
    d &= ~0x80010Cu;
  }
  reg[REG_RAX] = a;
  reg[REG_RBX] = b;
  reg[REG_RCX] = c;
  reg[REG_RDX] = d;
  reg[REG_RIP] += 2;
}

}  // namespace cpuid_mask

// True when the features are hidden from now on.
inline bool HideWideVectors() {
  struct sigaction action = {};
  action.sa_sigaction = cpuid_mask::OnTrappedCpuid;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  if (sigaction(SIGSEGV, &action, nullptr) != 0) return false;
  return cpuid_mask::SetCpuidFaulting(true);
}

// The yardstick: SSE2 unless VANTREL_BENCH_FFTW_WIDE=1 lets FFTW use every
// vector extension the processor has. Call before the first FFTW plan.
inline bool& FftwSse2Only() {
  static bool only = false;
  return only;
}
inline void FftwSimdFromEnvironment() {
  const char* wide = std::getenv("VANTREL_BENCH_FFTW_WIDE");
  if (wide != nullptr && std::string_view(wide) == "1") return;
  FftwSse2Only() = HideWideVectors();
  if (!FftwSse2Only()) std::fprintf(stderr, "fftw: cannot hide AVX (no CPUID faulting); FFTW picks its own codelets\n");
}
inline const char* FftwLabel() { return FftwSse2Only() ? "FFTW_MEASURE sse2" : "FFTW_MEASURE"; }

}  // namespace bench
