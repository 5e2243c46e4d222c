#include "Mathlib/MathlibDavu.h"

#include <cstring>

#include "Mathlib/Davu.h"
#include "Mathlib/MathlibMemory.h"
#include "Mathlib/MathlibTrace.h"

namespace {

template <typename T>
struct Precision;
template <>
struct Precision<float> {
  static constexpr int32_t kMaxOrder = kMathlibDavuMaxOrderF32;
  static bool Forward(float* d, uint32_t n) { return DavuForwardFloat(d, n); }
  static bool Inverse(float* d, uint32_t n) { return DavuInverseFloat(d, n); }
};
template <>
struct Precision<double> {
  static constexpr int32_t kMaxOrder = kMathlibDavuMaxOrderF64;
  static bool Forward(double* d, uint32_t n) { return DavuForwardDouble(d, n); }
  static bool Inverse(double* d, uint32_t n) { return DavuInverseDouble(d, n); }
};

// Zero-filled scratch of N complex values, released on scope exit.
template <typename T>
class ComplexScratch {
 public:
  explicit ComplexScratch(uint32_t n)
      : m_data(static_cast<T*>(MathlibAllocGuarded(static_cast<int32_t>(n), 2 * sizeof(T)))) {}
  ~ComplexScratch() { MathlibFreeMem(m_data); }
  ComplexScratch(const ComplexScratch&) = delete;
  ComplexScratch& operator=(const ComplexScratch&) = delete;
  T* get() const { return m_data; }

 private:
  T* m_data;
};

// The caller's data is written only after the transform has run, so a
// scratch block or table that cannot be had leaves it as it was.
void TraceOutOfMemory(const char* function) {
  MathlibTrace(nullptr, "%s(), ERROR: out of memory, data left unchanged\n", function);
}

template <typename T>
bool SizeFor(int32_t order, uint32_t* n) {
  if (order < 0 || order > Precision<T>::kMaxOrder) return false;
  *n = uint32_t{1} << order;
  return true;
}

// The spectrum of N reals into dst: the packed half spectrum (N + 2 values)
// or the full complex spectrum (2N values). dst may be src.
template <typename T>
void ForwardReal(const char* function, const T* src, T* dst, int32_t order, bool fullSpectrum) {
  uint32_t n = 0;
  if (!src || !dst || !SizeFor<T>(order, &n)) return;
  ComplexScratch<T> scratch(n);
  T* s = scratch.get();
  if (!s) return TraceOutOfMemory(function);
  for (uint32_t k = 0; k < n; ++k) s[2 * k] = src[k];
  if (!Precision<T>::Forward(s, n)) return TraceOutOfMemory(function);
  // Complex values 0 .. N/2 (N + 2 values, or Re0, Im0 for N = 1), or all N.
  const size_t complexValues = fullSpectrum ? size_t{n} : size_t{n} / 2 + 1;
  std::memcpy(dst, s, 2 * complexValues * sizeof(T));
}

template <typename T>
void Inverse(const char* function, T* data, int32_t order) {
  uint32_t n = 0;
  if (!data || !SizeFor<T>(order, &n)) return;
  ComplexScratch<T> scratch(n);
  T* s = scratch.get();
  if (!s) return TraceOutOfMemory(function);
  for (uint32_t k = 0; k <= n / 2; ++k) {
    s[2 * k] = data[2 * k];
    s[2 * k + 1] = data[2 * k + 1];
  }
  for (uint32_t k = n / 2 + 1; k < n; ++k) {
    s[2 * k] = s[2 * (n - k)];
    s[2 * k + 1] = -s[2 * (n - k) + 1];
  }
  if (!Precision<T>::Inverse(s, n)) return TraceOutOfMemory(function);
  for (uint32_t m = 0; m < n; ++m) data[m] = s[2 * m];
}

}  // namespace

void MathlibDavuFwdF32(float* data, int32_t order) { ForwardReal(__func__, data, data, order, false); }
void MathlibDavuInvF32(float* data, int32_t order) { Inverse(__func__, data, order); }
void MathlibDavuFwdF64(double* data, int32_t order) { ForwardReal(__func__, data, data, order, false); }
void MathlibDavuInvF64(double* data, int32_t order) { Inverse(__func__, data, order); }

void MathlibDavuFwdComplexF32(const float* src, float* dst, int32_t order) {
  ForwardReal(__func__, src, dst, order, true);
}
