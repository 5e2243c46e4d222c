// Prints one digest line per group of outputs of the real FFTs, the
// half-spectrum expansion, correlation, FIR and matrix primitives, run
// under every variant set the processor has. Built against one library and
// run against another (scripts/compare_bits.sh), two builds that print the
// same lines give the same bits.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "primitives/correlation/sp_correlation.h"
#include "primitives/fft/sp_real_fft_f64.h"
#include "primitives/fir/sp_fir.h"
#include "primitives/frame/set_list.h"
#include "primitives/frame/sp_memory.h"
#include "primitives/matrix/sp_matrix.h"

SP_DECLARE_EVERY_SET(SP_REAL_FFT_F32_ENTRIES)
SP_DECLARE_EVERY_SET(SP_REAL_FFT_F64_ENTRIES)
SP_DECLARE_EVERY_SET(SP_HALF_SPEC_F32_ENTRIES)
SP_DECLARE_EVERY_SET(SP_HALF_SPEC_F64_ENTRIES)
SP_DECLARE_EVERY_SET(SP_CROSSCORR_ENTRIES)
SP_DECLARE_EVERY_SET(SP_AUTOCORR_ENTRIES)
SP_DECLARE_EVERY_SET(SP_FIR_DESIGN_ENTRIES)
SP_DECLARE_EVERY_SET(SP_FIR_FILTER_ENTRIES)
SP_DECLARE_EVERY_SET(SP_MUL_CONST_STRIDED_ENTRIES)
SP_DECLARE_EVERY_SET(SP_MAT_MUL_VEC_ENTRIES)
SP_DECLARE_EVERY_SET(SP_MAT_MUL_MAT_ENTRIES)
SP_DECLARE_EVERY_SET(SP_COPY_2D_STRIDED_ENTRIES)

namespace {

#define TABLE(name) constexpr decltype(&sp_generic::name##_Generic) k_##name[] = SP_VARIANT_TABLE(name)
TABLE(spRealFftInitF32);
TABLE(spRealFftFreeF32);
TABLE(spRealFftFwdF32);
TABLE(spRealFftInvF32);
TABLE(spRealFftInitF64);
TABLE(spRealFftFreeF64);
TABLE(spRealFftFwdF64);
TABLE(spRealFftInvF64);
TABLE(spHalfSpecToC32);
TABLE(spHalfSpecToC64);
TABLE(spCrossCorrF32);
TABLE(spCrossCorrF64);
TABLE(spAutoCorrBiasedF32);
TABLE(spAutoCorrUnbiasedF32);
TABLE(spFirLowpassTapsF64);
TABLE(spFirHighpassTapsF64);
TABLE(spFirF32);
TABLE(spFirF64);
TABLE(spMulConstStridedF32);
TABLE(spMulConstStridedF64);
TABLE(spMatMulVecF32);
TABLE(spMatMulVecF64);
TABLE(spMatMulMatF32);
TABLE(spMatMulMatF64);
TABLE(spCopy2DStridedF32);
TABLE(spCopy2DStridedF64);

struct Digest {
  uint64_t h = 1469598103934665603ull;
  void Bytes(const void* p, size_t n) {
    const auto* b = static_cast<const unsigned char*>(p);
    for (size_t i = 0; i < n; ++i) h = (h ^ b[i]) * 1099511628211ull;
  }
  template <class T>
  void Of(const T* p, size_t n) {
    Bytes(p, n * sizeof(T));
  }
  void Status(int32_t s) { Bytes(&s, sizeof s); }
};

// Whether the processor runs the set, from the set rows' feature column
// (the library does not export its own test).
bool SetRuns(int set) {
  switch (set) {
#define SET_RUNS_CASE(ctx, index, ns, suffix, name, feature, flags) \
  case index: return SP_SET_FEATURE_SUPPORTED(feature);
    SP_FOR_EACH_SET(SET_RUNS_CASE, )
#undef SET_RUNS_CASE
    default: return false;
  }
}

// Values in 16-bit units, the same for every build.
template <class T>
void Fill(T* p, size_t n, uint64_t seed) {
  uint64_t x = seed * 2654435761u + 12345;
  for (size_t i = 0; i < n; ++i) {
    x = x * 6364136223846793005ull + 1442695040888963407ull;
    p[i] = static_cast<T>(static_cast<double>(static_cast<int64_t>(x >> 11) % 65536) - 32768.0) / T(3);
  }
}

template <class T, class Init, class Free, class Fwd, class Inv, class Half>
void RealFft(int set, const char* tag, Init init, Free fr, Fwd fwd, Inv inv, Half half, int maxOrder) {
  for (int order = 0; order <= maxOrder; ++order) {
    const size_t n = size_t(1) << order;
    for (int flag : {1, 2, 4, 8}) {
      Digest d;
      REALFFTSPEC* spec = nullptr;
      const int32_t st = init(&spec, order, flag, 0);
      d.Status(st);
      if (st == 0) {
        d.Bytes(&spec->workBytes, sizeof spec->workBytes);
        std::vector<uint8_t> work(spec->workBytes + 64);
        for (int misaligned = 0; misaligned < 2; ++misaligned) {
          for (int inPlace = 0; inPlace < 2; ++inPlace) {
            for (int ownWork = 0; ownWork < 2; ++ownWork) {
              // One extra element at each end shows a write outside.
              std::vector<T> src(n + 8), dst(n + 8);
              T* s = src.data() + 2 + misaligned;
              T* o = inPlace ? s : dst.data() + 2 + misaligned;
              Fill(src.data(), src.size(), order * 31 + flag + misaligned);
              if (!inPlace) Fill(dst.data(), dst.size(), 7);
              uint8_t* w = ownWork ? work.data() + misaligned : nullptr;
              d.Status(fwd(s, o, spec, w));
              d.Of(src.data(), src.size());
              d.Of(dst.data(), dst.size());
              T* back = inPlace ? o : s;
              d.Status(inv(o, back, spec, w));
              d.Of(src.data(), src.size());
              d.Of(dst.data(), dst.size());
              // The inverse of a packed spectrum that is not symmetric noise.
              Fill(src.data(), src.size(), order * 17 + flag);
              d.Status(inv(s, o, spec, w));
              d.Of(src.data(), src.size());
              d.Of(dst.data(), dst.size());
            }
          }
        }
        d.Status(fr(spec));
      }
      std::printf("%s set %d order %2d flag %d %016llx\n", tag, set, order, flag, (unsigned long long)d.h);
    }
    if (order <= 12) {
      Digest d;
      std::vector<T> src(2 * n + 8), dst(2 * n + 8);
      Fill(src.data(), src.size(), order + 99);
      d.Status(half(src.data() + 1, dst.data() + 1, static_cast<int32_t>(n)));
      d.Status(half(src.data(), src.data(), static_cast<int32_t>(n)));
      d.Of(src.data(), src.size());
      d.Of(dst.data(), dst.size());
      std::printf("%s half set %d n %d %016llx\n", tag, set, int(n), (unsigned long long)d.h);
    }
  }
}

template <class T, class Cross>
void CrossCorr(int set, const char* tag, Cross cross) {
  Digest d;
  for (int aLen : {1, 3, 16, 100, 1000, 5000})
    for (int bLen : {1, 7, 64, 1500, 9000})
      for (int lowLag : {-2000, -100, -1, 0, 5, 300})
        for (int dstLen : {1, 9, 257, 3000}) {
          std::vector<T> a(aLen + 1), b(bLen + 1), out(dstLen + 2);
          Fill(a.data(), a.size(), aLen);
          Fill(b.data(), b.size(), bLen + 1);
          d.Status(cross(a.data() + 1, aLen, b.data() + 1, bLen, out.data() + 1, dstLen, lowLag));
          d.Of(out.data(), out.size());
        }
  std::printf("%s crosscorr set %d %016llx\n", tag, set, (unsigned long long)d.h);
}

void AutoCorr(int set) {
  Digest d;
  for (int srcLen : {1, 5, 64, 777, 4096, 20000})
    for (int dstLen : {1, 3, 100, 1000, 5000}) {
      std::vector<float> src(srcLen + 1), b(dstLen + 2), u(dstLen + 2);
      Fill(src.data(), src.size(), srcLen);
      d.Status(k_spAutoCorrBiasedF32[set](src.data() + 1, srcLen, b.data() + 1, dstLen));
      d.Status(k_spAutoCorrUnbiasedF32[set](src.data() + 1, srcLen, u.data() + 1, dstLen));
      d.Of(b.data(), b.size());
      d.Of(u.data(), u.size());
    }
  std::printf("autocorr set %d %016llx\n", set, (unsigned long long)d.h);
}

template <class T, class FirFn>
void Fir(int set, const char* tag, FirFn fir) {
  Digest d;
  for (int tapsLen : {1, 2, 7, 32, 101}) {
    std::vector<double> taps(tapsLen);
    d.Status(k_spFirLowpassTapsF64[set](0.2, taps.data(), tapsLen, 1, 1));
    d.Of(taps.data(), taps.size());
    std::vector<double> high(tapsLen | 1);
    d.Status(k_spFirHighpassTapsF64[set](0.3, high.data(), tapsLen | 1, 2, 1));
    d.Of(high.data(), high.size());
    for (int len : {1, 3, 64, 1001}) {
      std::vector<T> src(len + 1), dst(len + 1), delay(2 * tapsLen + 2);
      Fill(src.data(), src.size(), len + tapsLen);
      int32_t index = 0;
      for (int rep = 0; rep < 3; ++rep) {
        d.Status(fir(src.data() + 1, dst.data() + 1, len, taps.data(), tapsLen, delay.data(), &index));
        d.Of(dst.data(), dst.size());
        d.Of(delay.data(), delay.size());
        d.Bytes(&index, sizeof index);
      }
    }
  }
  std::printf("%s fir set %d %016llx\n", tag, set, (unsigned long long)d.h);
}

template <class T, class MulConst, class MatVec, class MatMat, class Copy2D>
void Matrix(int set, const char* tag, MulConst mulConst, MatVec matVec, MatMat matMat, Copy2D copy2D) {
  Digest d;
  const int e = sizeof(T);
  for (int w : {1, 3, 4, 9, 33})
    for (int h : {1, 2, 5, 17}) {
      std::vector<T> a(w * h * 2 + 8), v(w * 2 + 8), out(std::max(w, h) * h * 4 + 64), b(w * h * 2 + 8);
      Fill(a.data(), a.size(), w * 100 + h);
      Fill(v.data(), v.size(), w + 3);
      Fill(b.data(), b.size(), h + 5);
      std::memset(out.data(), 0, out.size() * sizeof(T));
      d.Status(mulConst(a.data() + 1, 2 * e, T(0.75), out.data() + 1, e, w * h));
      d.Of(out.data(), out.size());
      d.Status(matVec(a.data(), w * e, e, w, h, v.data() + 1, e, w, out.data() + 2, e));
      d.Of(out.data(), out.size());
      d.Status(matVec(a.data() + 1, 2 * w * e, 2 * e, w, h, v.data(), 2 * e, w, out.data(), 2 * e));
      d.Of(out.data(), out.size());
      // A (h x w) times B (w x h).
      d.Status(matMat(a.data(), w * e, e, w, h, b.data() + 1, h * e, e, h, w, out.data(), h * e, e));
      d.Of(out.data(), out.size());
      d.Status(copy2D(a.data() + 1, w * e, e, out.data() + 3, 2 * w * e, 2 * e, w, h));
      d.Of(out.data(), out.size());
    }
  std::printf("%s matrix set %d %016llx\n", tag, set, (unsigned long long)d.h);
}

}  // namespace

int main(int argc, char** argv) {
  const int maxOrder = argc > 1 ? std::atoi(argv[1]) : 22;
  for (int set = 0; set < kSpVariantSetCount; ++set) {
    if (!SetRuns(set)) continue;
    RealFft<float>(set, "f32", k_spRealFftInitF32[set], k_spRealFftFreeF32[set], k_spRealFftFwdF32[set],
                   k_spRealFftInvF32[set], k_spHalfSpecToC32[set], maxOrder);
    RealFft<double>(set, "f64", k_spRealFftInitF64[set], k_spRealFftFreeF64[set], k_spRealFftFwdF64[set],
                    k_spRealFftInvF64[set], k_spHalfSpecToC64[set], maxOrder);
    CrossCorr<float>(set, "f32", k_spCrossCorrF32[set]);
    CrossCorr<double>(set, "f64", k_spCrossCorrF64[set]);
    AutoCorr(set);
    Fir<float>(set, "f32", k_spFirF32[set]);
    Fir<double>(set, "f64", k_spFirF64[set]);
    Matrix<float>(set, "f32", k_spMulConstStridedF32[set], k_spMatMulVecF32[set], k_spMatMulMatF32[set],
                  k_spCopy2DStridedF32[set]);
    Matrix<double>(set, "f64", k_spMulConstStridedF64[set], k_spMatMulVecF64[set], k_spMatMulMatF64[set],
                   k_spCopy2DStridedF64[set]);
    std::fflush(stdout);
  }
}
