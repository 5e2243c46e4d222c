#include "Vantrel/frontend/DcBlocker.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace {

// 0.9997382 as the float it has always been stored as: a corner of about
// 2 Hz at 48 kHz.
constexpr uint32_t kPoleBits = 0x3F7FEED8u;

// One filter step; the one expression every path shares, so that all of
// them round alike.
// (T: float, or a vector of floats, one lane per blocker.)
template <class T>
inline T Step(T x, T prevInput, T pole, T prevState) {
  return x - prevInput + pole * prevState;
}

// The state is held in locals: dst is a float array that could alias the
// members, which would otherwise be stored and reloaded on every sample.
template <int Lanes>
void RunLanes(const float* const src[], float* const dst[], const float pole[], const float gain[], float prevInput[],
              float prevState[], int n) {
  const float* in[Lanes];
  float* out[Lanes];
  float p[Lanes], k[Lanes], last[Lanes], state[Lanes];
  for (int lane = 0; lane < Lanes; ++lane) {
    in[lane] = src[lane];
    out[lane] = dst[lane];
    p[lane] = pole[lane];
    k[lane] = gain[lane];
    last[lane] = prevInput[lane];
    state[lane] = prevState[lane];
  }
  for (int i = 0; i < n; ++i)
#pragma GCC unroll 4
    for (int lane = 0; lane < Lanes; ++lane) {
      const float x = in[lane][i];
      const float w = Step(x, last[lane], p[lane], state[lane]);
      out[lane][i] = k[lane] * w;
      last[lane] = x;
      state[lane] = w;
    }
  for (int lane = 0; lane < Lanes; ++lane) {
    prevInput[lane] = last[lane];
    prevState[lane] = state[lane];
  }
}

using Float4 = float __attribute__((vector_size(16)));

Float4 Load4(const float* p) {
  Float4 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Rows a, b, c, d become columns: a = {a[0], b[0], c[0], d[0]} and so on.
void Transpose(Float4& a, Float4& b, Float4& c, Float4& d) {
  const Float4 ab0 = __builtin_shufflevector(a, b, 0, 4, 1, 5);
  const Float4 cd0 = __builtin_shufflevector(c, d, 0, 4, 1, 5);
  const Float4 ab1 = __builtin_shufflevector(a, b, 2, 6, 3, 7);
  const Float4 cd1 = __builtin_shufflevector(c, d, 2, 6, 3, 7);
  a = __builtin_shufflevector(ab0, cd0, 0, 1, 4, 5);
  b = __builtin_shufflevector(ab0, cd0, 2, 3, 6, 7);
  c = __builtin_shufflevector(ab1, cd1, 0, 1, 4, 5);
  d = __builtin_shufflevector(ab1, cd1, 2, 3, 6, 7);
}

// RunLanes<4> with the four lanes in one vector: the same operations on
// each lane, a quarter of the instructions, so that the recurrence's
// latency is all that is left to wait for. Samples go in and out four
// at a time through a transposition.
void RunFourLanes(const float* const src[], float* const dst[], const float pole[], const float gain[],
                  float prevInput[], float prevState[], int n) {
  const float* const in0 = src[0];
  const float* const in1 = src[1];
  const float* const in2 = src[2];
  const float* const in3 = src[3];
  float* const out0 = dst[0];
  float* const out1 = dst[1];
  float* const out2 = dst[2];
  float* const out3 = dst[3];
  const Float4 p = {pole[0], pole[1], pole[2], pole[3]};
  const Float4 k = {gain[0], gain[1], gain[2], gain[3]};
  Float4 last = {prevInput[0], prevInput[1], prevInput[2], prevInput[3]};
  Float4 state = {prevState[0], prevState[1], prevState[2], prevState[3]};
  // One step of every lane.
  auto step = [&](Float4 x) {
    const Float4 w = Step(x, last, p, state);
    last = x;
    state = w;
    return k * w;
  };
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    Float4 x0 = Load4(in0 + i), x1 = Load4(in1 + i), x2 = Load4(in2 + i), x3 = Load4(in3 + i);
    Transpose(x0, x1, x2, x3);
    Float4 y0 = step(x0);
    Float4 y1 = step(x1);
    Float4 y2 = step(x2);
    Float4 y3 = step(x3);
    Transpose(y0, y1, y2, y3);
    std::memcpy(out0 + i, &y0, sizeof y0);
    std::memcpy(out1 + i, &y1, sizeof y1);
    std::memcpy(out2 + i, &y2, sizeof y2);
    std::memcpy(out3 + i, &y3, sizeof y3);
  }
  for (int lane = 0; lane < 4; ++lane) {
    prevInput[lane] = last[lane];
    prevState[lane] = state[lane];
  }
  if (i == n) return;
  const float* const tailSrc[4] = {in0 + i, in1 + i, in2 + i, in3 + i};
  float* const tailDst[4] = {out0 + i, out1 + i, out2 + i, out3 + i};
  RunLanes<4>(tailSrc, tailDst, pole, gain, prevInput, prevState, n - i);
}

}  // namespace

CDcBlocker::CDcBlocker() : m_pole(std::bit_cast<float>(kPoleBits)) {}

void CDcBlocker::ResetState() {
  m_prevInput = 0.0f;
  m_prevState = 0.0f;
}

void CDcBlocker::Process(const float* src, float* dst, float scale, int, int n) {
  const float gain = Gain(scale);
  float prevInput = m_prevInput;
  float prevState = m_prevState;
  for (int i = 0; i < n; ++i) {
    const float x = src[i];
    const float w = Step(x, prevInput, m_pole, prevState);
    dst[i] = gain * w;
    prevInput = x;
    prevState = w;
  }
  m_prevInput = prevInput;
  m_prevState = prevState;
}

void CDcBlocker::ProcessLanes(CDcBlocker* const blockers[], const float* const src[], float* const dst[], int lanes,
                              float scale, int n) {
  if (lanes <= 0) return;
  if (lanes > kMaxLanes) lanes = kMaxLanes;
  float pole[kMaxLanes], gain[kMaxLanes], prevInput[kMaxLanes], prevState[kMaxLanes];
  for (int lane = 0; lane < lanes; ++lane) {
    pole[lane] = blockers[lane]->m_pole;
    gain[lane] = blockers[lane]->Gain(scale);
    prevInput[lane] = blockers[lane]->m_prevInput;
    prevState[lane] = blockers[lane]->m_prevState;
  }
  switch (lanes) {
    case 1: RunLanes<1>(src, dst, pole, gain, prevInput, prevState, n); break;
    case 2: RunLanes<2>(src, dst, pole, gain, prevInput, prevState, n); break;
    case 3: RunLanes<3>(src, dst, pole, gain, prevInput, prevState, n); break;
    default: RunFourLanes(src, dst, pole, gain, prevInput, prevState, n); break;
  }
  for (int lane = 0; lane < lanes; ++lane) {
    blockers[lane]->m_prevInput = prevInput[lane];
    blockers[lane]->m_prevState = prevState[lane];
  }
}
