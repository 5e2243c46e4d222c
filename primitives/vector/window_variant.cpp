// Window primitives of one variant set: the generic set rotates, the SSE and
// SSE3 sets run the scalar three-term recurrence, the SSE2 and SSSE3 sets the
// two-lane one. Double windows multiply in double; float windows multiply
// the float sample by the float weight, except in the generic set and for
// long windows of the SSE and SSE3 sets, which round only the double product.
#include "primitives/vector/sp_window.h"

#include <cstdint>

#include "primitives/frame/arg_checks.h"
#include "primitives/frame/simd.h"
#include "primitives/frame/sp_status.h"
#include "primitives/vector/window_weights.h"

namespace SP_SET_NS {
namespace {

using namespace simd;

using namespace window;

// Float weights for windows of up to this many pairs in the SSE and SSE3 sets.
constexpr int64_t kShortWindowPairs = 512;

inline double MulDouble(double x, double w) { return x * w; }
inline float MulInDouble(float x, double w) { return static_cast<float>(static_cast<double>(x) * w); }
inline float MulInFloat(float x, double w) { return x * static_cast<float>(w); }

// Pairs from index `from` on with scalar weights, then the centre. Elements
// go through Ld/St: the arrays may sit at any byte address.
template <class T, class Weights, class Multiply>
void ApplyFrom(int64_t from, const T* src, T* dst, int64_t n, Weights& weights, Multiply mul) {
  const int64_t pairs = WeightPairCount(n);
  for (int64_t k = from; k < pairs; ++k) {
    const double w = weights.Next();
    St(dst + k, mul(Ld(src + k), w));
    St(dst + n - 1 - k, mul(Ld(src + n - 1 - k), w));
  }
  if (n % 2 == 1) St(dst + n / 2, Ld(src + n / 2));
}

#if SP_SET_INDEX == SP_SET_SSE2 || SP_SET_INDEX == SP_SET_SSSE3
using namespace simd;

// Hands out the weights of a two-lane generator one at a time.
class LaneByLane {
 public:
  explicit LaneByLane(TwoLaneWeights& lanes) : lanes_(lanes) {}
  double Next() {
    if (!haveSecond_) {
      const f64x2 w = lanes_.Next();
      first_ = Lane0(w);
      second_ = Lane1(w);
      haveSecond_ = true;
      return first_;
    }
    haveSecond_ = false;
    return second_;
  }

 private:
  TwoLaneWeights& lanes_;
  double first_ = 0.0, second_ = 0.0;
  bool haveSecond_ = false;
};

void TwoLaneWindow(const double* src, double* dst, int64_t n, const WindowShape& shape) {
  TwoLaneWeights weights(shape, n);
  const int64_t pairs = WeightPairCount(n);
  int64_t k = 0;
  for (; k + 2 <= pairs; k += 2) WeighTwoPairs(src, dst, n, k, weights.Next());
  LaneByLane rest(weights);
  ApplyFrom(k, src, dst, n, rest, MulDouble);
}

void TwoLaneWindow(const float* src, float* dst, int64_t n, const WindowShape& shape) {
  TwoLaneWeights weights(shape, n);
  const int64_t pairs = WeightPairCount(n);
  int64_t k = 0;
  for (; k + 4 <= pairs; k += 4) {
    const f64x2 w01 = weights.Next();
    const f32x4 w = NarrowToF32(w01, weights.Next());
    const int64_t back = n - 4 - k;
    StoreU(dst + k, Mul(LoadU(src + k), w));
    StoreU(dst + back, Mul(LoadU(src + back), Reverse(w)));
  }
  LaneByLane rest(weights);
  ApplyFrom(k, src, dst, n, rest, MulInFloat);
}
#endif

template <class T>
spStatus Window(const T* src, T* dst, int64_t n, const WindowShape& shape) {
  if (const spStatus st = CheckArraysMin(n, 3, src, dst); st != spOk) return st;
  constexpr bool isDouble = sizeof(T) == sizeof(double);
#if SP_SET_INDEX == SP_SET_GENERIC
  RotationWeights weights(shape, n);
  if constexpr (isDouble)
    ApplyFrom(0, src, dst, n, weights, MulDouble);
  else
    ApplyFrom(0, src, dst, n, weights, MulInDouble);
#elif SP_SET_INDEX == SP_SET_SSE || SP_SET_INDEX == SP_SET_SSE3
  ThreeTermWeights weights(shape, n);
  if constexpr (isDouble)
    ApplyFrom(0, src, dst, n, weights, MulDouble);
  else if (WeightPairCount(n) <= kShortWindowPairs)
    ApplyFrom(0, src, dst, n, weights, MulInFloat);
  else
    ApplyFrom(0, src, dst, n, weights, MulInDouble);
#else
  (void)isDouble;
  TwoLaneWindow(src, dst, n, shape);
#endif
  return spOk;
}

}  // namespace

spStatus SP_V(spWinHammingF64)(const double* src, double* dst, int32_t n) { return Window(src, dst, n, kHamming); }
spStatus SP_V(spWinHammingF32)(const float* src, float* dst, int32_t n) { return Window(src, dst, n, kHamming); }
spStatus SP_V(spWinHannF64)(const double* src, double* dst, int32_t n) { return Window(src, dst, n, kHann); }
spStatus SP_V(spWinHannF32)(const float* src, float* dst, int32_t n) {
  if (n == 3 && CheckPointers(src, dst) == spOk) {
    // Zero ends written, not multiplied: an infinite end still gives +0.0.
    St(dst, 0.0f);
    St(dst + 1, Ld(src + 1));
    St(dst + 2, 0.0f);
    return spOk;
  }
  return Window(src, dst, n, kHann);
}

}  // namespace SP_SET_NS

// The window dispatch entries, compiled once.
#if SP_SET_INDEX == SP_SET_GENERIC
#include "primitives/frame/dispatch.h"
SP_DISPATCH_ENTRIES(SP_WINDOW_ENTRIES)
#endif
