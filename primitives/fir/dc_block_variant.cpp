// The four-lane DC blocker of one variant set: the sets with float vectors
// carry the four lanes in one vector (a quarter of the instructions, so the
// recurrence's latency is all that is left to wait for), moving samples in
// and out four at a time through a transposition.
#include "primitives/fir/dc_block_kernels.h"

#include "primitives/frame/simd.h"

namespace SP_SET_NS {

using namespace simd;

namespace {

void PlainLanes(const float* const src[4], float* const dst[4], const float pole[4], const float gain[4],
                float prevInput[4], float prevState[4], int64_t from, int64_t n) {
  for (int lane = 0; lane < 4; ++lane) {
    float last = prevInput[lane], state = prevState[lane];
    for (int64_t i = from; i < n; ++i) {
      const float x = Ld(src[lane] + i);
      const float w = x - last + pole[lane] * state;
      St(dst[lane] + i, gain[lane] * w);
      last = x;
      state = w;
    }
    prevInput[lane] = last;
    prevState[lane] = state;
  }
}

}  // namespace

void SP_V(spkDcBlockFourLanesF32)(const float* const src[4], float* const dst[4], const float pole[4],
                                  const float gain[4], float prevInput[4], float prevState[4], int64_t n) {
  int64_t i = 0;
#if SP_SET_INDEX >= SP_SET_SSE
  const f32x4 p = LoadU(pole), k = LoadU(gain);
  f32x4 last = LoadU(prevInput), state = LoadU(prevState);
  auto step = [&](f32x4 x) {
    const f32x4 w = Add(Sub(x, last), Mul(p, state));
    last = x;
    state = w;
    return Mul(k, w);
  };
  for (; i + 4 <= n; i += 4) {
    f32x4 x0 = LoadU(src[0] + i), x1 = LoadU(src[1] + i), x2 = LoadU(src[2] + i), x3 = LoadU(src[3] + i);
    Transpose4x4(x0, x1, x2, x3);
    f32x4 y0 = step(x0), y1 = step(x1), y2 = step(x2), y3 = step(x3);
    Transpose4x4(y0, y1, y2, y3);
    StoreU(dst[0] + i, y0);
    StoreU(dst[1] + i, y1);
    StoreU(dst[2] + i, y2);
    StoreU(dst[3] + i, y3);
  }
  StoreU(prevInput, last);
  StoreU(prevState, state);
#endif
  PlainLanes(src, dst, pole, gain, prevInput, prevState, i, n);
}

}  // namespace SP_SET_NS
