// The block-form DC blocker of one variant set: the sets with float vectors
// carry four lanes in one vector and take whole blocks of four samples at
// a time through a transposition, so that a block costs one multiply-add
// on the recurrence's chain.
#include "primitives/fir/dc_block_kernels.h"

#include <algorithm>

#include "primitives/frame/simd.h"

namespace SP_SET_NS {

using namespace simd;

namespace {

// pole^1 .. pole^4, each from the one before.
void Powers(float pole, float powers[4]) {
  powers[0] = pole;
  for (int j = 1; j < 4; ++j) powers[j] = powers[j - 1] * pole;
}

inline void Step(SpkDcBlockLane& l, const float powers[4], int64_t i) {
  const float x = Ld(l.src + i);
  const float d = x - l.prevInput;
  l.partial = l.phase == 0 ? d : d + l.pole * l.partial;
  const float w = l.partial + powers[l.phase] * l.blockState;
  St(l.dst + i, l.gain * w);
  l.prevInput = x;
  if (++l.phase == 4) {
    l.phase = 0;
    l.blockState = w;
  }
}

void PlainLane(SpkDcBlockLane& l, int64_t from, int64_t n) {
  if (from >= n) return;  // the usual case around whole blocks: not even the powers
  float powers[4];
  Powers(l.pole, powers);
  for (int64_t i = from; i < n; ++i) Step(l, powers, i);
}

#if SP_SET_HAS_F32_VECTORS
// Four lanes at phase 0, whole blocks from `from`; returns where they stop.
int64_t FourLaneBlocks(SpkDcBlockLane l[4], int64_t from, int64_t n) {
  float powers[4][4];
  for (int lane = 0; lane < 4; ++lane) Powers(l[lane].pole, powers[lane]);
  const f32x4 p = Lanes(l[0].pole, l[1].pole, l[2].pole, l[3].pole);
  f32x4 pk[4];
  for (int j = 0; j < 4; ++j) pk[j] = Lanes(powers[0][j], powers[1][j], powers[2][j], powers[3][j]);
  const f32x4 k = Lanes(l[0].gain, l[1].gain, l[2].gain, l[3].gain);
  f32x4 last = Lanes(l[0].prevInput, l[1].prevInput, l[2].prevInput, l[3].prevInput);
  f32x4 state = Lanes(l[0].blockState, l[1].blockState, l[2].blockState, l[3].blockState);
  f32x4 s3 = Lanes(l[0].partial, l[1].partial, l[2].partial, l[3].partial);
  // The arrays in locals: the stores could otherwise alias the lanes'
  // records, and every block would read the pointers again.
  const float* const src0 = l[0].src;
  const float* const src1 = l[1].src;
  const float* const src2 = l[2].src;
  const float* const src3 = l[3].src;
  float* const dst0 = l[0].dst;
  float* const dst1 = l[1].dst;
  float* const dst2 = l[2].dst;
  float* const dst3 = l[3].dst;
  int64_t i = from;
  for (; i + 4 <= n; i += 4) {
    f32x4 x0 = LoadU(src0 + i), x1 = LoadU(src1 + i), x2 = LoadU(src2 + i), x3 = LoadU(src3 + i);
    Transpose4x4(x0, x1, x2, x3);  // x_j: sample j of the block in every lane
    // The differences from the last sample down, each into the register
    // of a sample no longer needed, so that only x3 (the next block's
    // last) is copied.
    const f32x4 d3 = Sub(x3, x2);
    const f32x4 d2 = Sub(x2, x1);
    const f32x4 d1 = Sub(x1, x0);
    const f32x4 s0 = Sub(x0, last);
    last = x3;
    const f32x4 s1 = Add(d1, Mul(p, s0));
    const f32x4 s2 = Add(d2, Mul(p, s1));
    s3 = Add(d3, Mul(p, s2));
    f32x4 y0 = Mul(k, Add(s0, Mul(pk[0], state)));
    f32x4 y1 = Mul(k, Add(s1, Mul(pk[1], state)));
    f32x4 y2 = Mul(k, Add(s2, Mul(pk[2], state)));
    state = Add(s3, Mul(pk[3], state));
    f32x4 y3 = Mul(k, state);
    Transpose4x4(y0, y1, y2, y3);
    StoreU(dst0 + i, y0);
    StoreU(dst1 + i, y1);
    StoreU(dst2 + i, y2);
    StoreU(dst3 + i, y3);
  }
  for (int lane = 0; lane < 4; ++lane) {
    l[lane].prevInput = Lane(last, lane);
    l[lane].blockState = Lane(state, lane);
    l[lane].partial = Lane(s3, lane);
  }
  return i;
}
#endif

}  // namespace

void SP_V(spkDcBlockLanesF32)(SpkDcBlockLane* lanes, int32_t count, int64_t n) {
  int64_t from = 0;
#if SP_SET_HAS_F32_VECTORS
  bool together = count == 4;
  for (int lane = 1; lane < count; ++lane) together = together && lanes[lane].phase == lanes[0].phase;
  if (together) {
    // To the next block's start one sample at a time, then whole blocks.
    from = lanes[0].phase == 0 ? 0 : std::min<int64_t>(4 - lanes[0].phase, n);
    for (int lane = 0; lane < 4; ++lane) PlainLane(lanes[lane], 0, from);
    from = FourLaneBlocks(lanes, from, n);
  }
#endif
  for (int32_t lane = 0; lane < count; ++lane) PlainLane(lanes[lane], from, n);
}

}  // namespace SP_SET_NS
