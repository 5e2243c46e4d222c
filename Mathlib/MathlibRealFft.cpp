#include "Mathlib/MathlibRealFft.h"

#include <cstdint>
#include <initializer_list>
#include <limits>

#include "Mathlib/MathlibPrim.h"
#include "Mathlib/MathlibRealFftCache.h"
#include "Mathlib/MathlibTrace.h"
#include "primitives/fft/sp_real_fft.h"
#include "primitives/fft/sp_real_fft_f64.h"
#include "primitives/frame/sp_memory.h"

namespace {

enum : int32_t { kPlainPass = 1, kScaledPass = 2, kPasses = kPlainPass | kScaledPass };

// The primitives of one precision.
template <class T>
struct Precision;

template <>
struct Precision<float> {
  static constexpr int32_t kBits = 32;
  static spStatus Forward(const float* src, float* dst, const MathlibCachedFft& fft) {
    return spRealFftFwdF32(src, dst, fft.spec, fft.work);
  }
  static spStatus Inverse(const float* src, float* dst, const MathlibCachedFft& fft) {
    return spRealFftInvF32(src, dst, fft.spec, fft.work);
  }
  static void Scale(float factor, float* data, int32_t n) { duvuvMulConstInPlaceF32(factor, data, n); }
  static float* Allocate(int32_t n) { return spAlignedAllocF32(n); }
  static void Copy(const float* src, float* dst, int32_t n) { spCopyF32(src, dst, n); }
  static void Expand(const float* src, float* dst, int32_t n) { spHalfSpecToC32(src, dst, n); }
};

template <>
struct Precision<double> {
  static constexpr int32_t kBits = 64;
  static spStatus Forward(const double* src, double* dst, const MathlibCachedFft& fft) {
    return spRealFftFwdF64(src, dst, fft.spec, fft.work);
  }
  static spStatus Inverse(const double* src, double* dst, const MathlibCachedFft& fft) {
    return spRealFftInvF64(src, dst, fft.spec, fft.work);
  }
  static void Scale(double factor, double* data, int32_t n) { duvuvMulConstInPlaceF64(factor, data, n); }
  static double* Allocate(int32_t n) { return spAlignedAllocF64(n); }
  static void Copy(const double* src, double* dst, int32_t n) { spCopyF64(src, dst, n); }
  static void Expand(const double* src, double* dst, int32_t n) { spHalfSpecToC64(src, dst, n); }
};

// One call's transform: the handle's spec for the order, run in the
// scratch cached with it, and the passes the flags ask for. Every count below fits 32 bits because a spec exists only
// for orders 0 to 30.
template <class T>
class Transform {
  using P = Precision<T>;

 public:
  Transform(MathlibHandle* handle, int32_t order, const char* caller)
      : m_fft(MathlibCachedRealFft(handle, order, P::kBits, caller)), m_order(order), m_caller(caller) {}

  // False (traced) without a spec or with a null array.
  bool Ready(std::initializer_list<const void*> arrays) const {
    if (!m_fft.spec) return false;
    for (const void* array : arrays) {
      if (!array) {
        MathlibTrace(nullptr, "%s(), ERROR: null array, output left unchanged\n", m_caller);
        return false;
      }
    }
    return true;
  }

  int64_t Points() const { return int64_t{1} << m_order; }
  // Values of the packed half spectrum the transform writes (2 for N = 1).
  int64_t PackedValues() const { return m_order == 0 ? 2 : Points() + 2; }
  const char* Caller() const { return m_caller; }

  // The passes of `flags` from src into dst; false (traced) when a
  // transform fails, which then has written nothing.
  bool Forward(const T* src, T* dst, int32_t flags) const {
    if ((flags & kPlainPass) && !Succeeded(P::Forward(src, dst, m_fft))) return false;
    if (flags & kScaledPass) {
      if (!Succeeded(P::Forward(src, dst, m_fft))) return false;
      P::Scale(static_cast<T>(-1.0 / static_cast<double>(Points())), dst, Count(PackedValues()));
    }
    return true;
  }
  bool Inverse(const T* src, T* dst, int32_t flags) const {
    if (flags & kPlainPass) {
      if (!Succeeded(P::Inverse(src, dst, m_fft))) return false;
      P::Scale(static_cast<T>(-static_cast<double>(Points())), dst, Count(Points()));
    }
    if ((flags & kScaledPass) && !Succeeded(P::Inverse(src, dst, m_fft))) return false;
    return true;
  }

  static int32_t Count(int64_t values) { return static_cast<int32_t>(values); }

 private:
  bool Succeeded(spStatus status) const {
    if (status == spOk) return true;
    MathlibTrace(nullptr, "%s(), ERROR: real FFT of order %d failed (status %d)\n", m_caller, static_cast<int>(m_order),
                 static_cast<int>(status));
    return false;
  }

  MathlibCachedFft m_fft;
  int32_t m_order;
  const char* m_caller;
};

// The N + 2 values of aligned scratch the copying, in-place and expanding
// forms work through; null (traced) when it cannot be allocated.
template <class T>
class Scratch {
 public:
  explicit Scratch(const Transform<T>& transform) {
    const int64_t values = transform.Points() + 2;
    if (values <= std::numeric_limits<int32_t>::max()) m_data = Precision<T>::Allocate(Transform<T>::Count(values));
    if (!m_data)
      MathlibTrace(nullptr, "%s(), ERROR: out of memory for %lld scratch values, output left unchanged\n",
                   transform.Caller(), static_cast<long long>(values));
  }
  ~Scratch() { spAlignedFree(m_data); }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  T* Data() const { return m_data; }

 private:
  T* m_data = nullptr;
};

template <class T>
bool Forward(MathlibHandle* handle, const T* src, T* dst, int32_t order, int32_t flags, const char* caller) {
  const Transform<T> transform(handle, order, caller);
  return transform.Ready({src, dst}) && transform.Forward(src, dst, flags);
}

template <class T>
bool Inverse(MathlibHandle* handle, const T* src, T* dst, int32_t order, int32_t flags, const char* caller) {
  const Transform<T> transform(handle, order, caller);
  return transform.Ready({src, dst}) && transform.Inverse(src, dst, flags);
}

template <class T>
bool ForwardPair(MathlibHandle* handle, const T* src1, T* dst1, const T* src2, T* dst2, int32_t order,
                 const char* caller) {
  const Transform<T> transform(handle, order, caller);
  // The second runs only when the first succeeded, so a failure leaves
  // dst2 untouched (and dst1 too, unless the second transform failed).
  return transform.Ready({src1, dst1, src2, dst2}) && transform.Forward(src1, dst1, kPlainPass) &&
         transform.Forward(src2, dst2, kPlainPass);
}

// With no pass asked for, the scratch forms stop after the cache step: the
// scratch would be copied out unwritten.
template <class T>
bool InverseFromCopy(MathlibHandle* handle, const T* src, T* dst, int32_t order, int32_t flags, const char* caller) {
  const Transform<T> transform(handle, order, caller);
  if (!transform.Ready({src, dst})) return false;
  if (!(flags & kPasses)) return true;
  const Scratch<T> copy(transform);
  if (!copy.Data()) return false;
  Precision<T>::Copy(src, copy.Data(), Transform<T>::Count(transform.PackedValues()));
  return transform.Inverse(copy.Data(), dst, flags);
}

template <class T>
bool ForwardInPlace(MathlibHandle* handle, T* data, int32_t order, int32_t flags, const char* caller) {
  const Transform<T> transform(handle, order, caller);
  if (!transform.Ready({data})) return false;
  if (!(flags & kPasses)) return true;
  const Scratch<T> spectrum(transform);
  if (!spectrum.Data() || !transform.Forward(data, spectrum.Data(), flags)) return false;
  Precision<T>::Copy(spectrum.Data(), data, Transform<T>::Count(transform.PackedValues()));
  return true;
}

// Only the N results go back; the two values after them stay as they were.
template <class T>
bool InverseInPlace(MathlibHandle* handle, T* data, int32_t order, int32_t flags, const char* caller) {
  const Transform<T> transform(handle, order, caller);
  if (!transform.Ready({data})) return false;
  if (!(flags & kPasses)) return true;
  const Scratch<T> signal(transform);
  if (!signal.Data() || !transform.Inverse(data, signal.Data(), flags)) return false;
  Precision<T>::Copy(signal.Data(), data, Transform<T>::Count(transform.Points()));
  return true;
}

template <class T>
bool ForwardComplex(MathlibHandle* handle, const T* src, T* dst, int32_t order, int32_t flags, const char* caller) {
  const Transform<T> transform(handle, order, caller);
  if (!transform.Ready({src, dst})) return false;
  if (!(flags & kPasses)) return true;
  const Scratch<T> spectrum(transform);
  if (!spectrum.Data() || !transform.Forward(src, spectrum.Data(), flags)) return false;
  Precision<T>::Expand(spectrum.Data(), dst, Transform<T>::Count(transform.Points()));
  return true;
}

// Only bits 0 and 1 of these flags take effect.
constexpr int32_t kByLenForwardFlags = 0x21;
constexpr int32_t kByLenInverseFlags = 0x22;

}  // namespace

int duvuvRealFftFwdF32(MathlibHandle* handle, const float* src, float* dst, int32_t order, int32_t flags) {
  return Forward(handle, src, dst, order, flags, __func__);
}
int duvuvRealFftInvF32(MathlibHandle* handle, const float* src, float* dst, int32_t order, int32_t flags) {
  return Inverse(handle, src, dst, order, flags, __func__);
}
int duvuvRealFftFwdPairF32(MathlibHandle* handle, const float* src1, float* dst1, const float* src2, float* dst2,
                           int32_t order) {
  return ForwardPair(handle, src1, dst1, src2, dst2, order, __func__);
}
int duvuvRealFftInvCopyF32(MathlibHandle* handle, const float* src, float* dst, int32_t order, int32_t flags) {
  return InverseFromCopy(handle, src, dst, order, flags, __func__);
}
int duvuvRealFftFwdInPlaceF32(MathlibHandle* handle, float* data, int32_t order, int32_t flags) {
  return ForwardInPlace(handle, data, order, flags, __func__);
}
int duvuvRealFftInvInPlaceF32(MathlibHandle* handle, float* data, int32_t order, int32_t flags) {
  return InverseInPlace(handle, data, order, flags, __func__);
}
int duvuvRealFftFwdComplexF32(MathlibHandle* handle, const float* src, float* dst, int32_t order, int32_t flags) {
  return ForwardComplex(handle, src, dst, order, flags, __func__);
}
int duvuvRealFftFwdByLenF32(MathlibHandle* handle, float* data, uint32_t n) {
  return ForwardInPlace(handle, data, static_cast<int32_t>(MathlibLog2Ceil(n)), kByLenForwardFlags, __func__);
}
int duvuvRealFftInvByLenF32(MathlibHandle* handle, float* data, uint32_t n) {
  return InverseInPlace(handle, data, static_cast<int32_t>(MathlibLog2Ceil(n)), kByLenInverseFlags, __func__);
}

int duvuvRealFftFwdF64(MathlibHandle* handle, const double* src, double* dst, int32_t order, int32_t flags) {
  return Forward(handle, src, dst, order, flags, __func__);
}
int duvuvRealFftInvF64(MathlibHandle* handle, const double* src, double* dst, int32_t order, int32_t flags) {
  return Inverse(handle, src, dst, order, flags, __func__);
}
int duvuvRealFftFwdPairF64(MathlibHandle* handle, const double* src1, double* dst1, const double* src2, double* dst2,
                           int32_t order) {
  return ForwardPair(handle, src1, dst1, src2, dst2, order, __func__);
}
int duvuvRealFftInvCopyF64(MathlibHandle* handle, const double* src, double* dst, int32_t order, int32_t flags) {
  return InverseFromCopy(handle, src, dst, order, flags, __func__);
}
int duvuvRealFftFwdInPlaceF64(MathlibHandle* handle, double* data, int32_t order, int32_t flags) {
  return ForwardInPlace(handle, data, order, flags, __func__);
}
int duvuvRealFftInvInPlaceF64(MathlibHandle* handle, double* data, int32_t order, int32_t flags) {
  return InverseInPlace(handle, data, order, flags, __func__);
}
int duvuvRealFftFwdComplexF64(MathlibHandle* handle, const double* src, double* dst, int32_t order, int32_t flags) {
  return ForwardComplex(handle, src, dst, order, flags, __func__);
}

// 64-bit, so that n above 2^31 ends at 32 instead of doubling forever.
uint32_t MathlibLog2Ceil(uint32_t n) {
  uint64_t power = 1;
  uint32_t k = 0;
  while (power < n) {
    power <<= 1;
    ++k;
  }
  return k;
}
