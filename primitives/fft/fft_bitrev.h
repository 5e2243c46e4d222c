// Bit-reversal permutations of M = 2^m complex values (interleaved re, im),
// in place and by copy, driven by the tables of fft_tables.h: afterwards
// point n holds the input point rev_m(n). Shared by both precisions.
// Include only from *_variant.cpp.
//
// Swap list (generic and SSE sets): the list names index quads of the middle
// bits; the top and bottom bit are handled here. Block form (SSE2 and later,
// index table): blocks of 16 points - four in each quarter - move to their
// reversed block, transposed, so the top two and bottom two bits are
// handled here. Below M = 8 both forms move the few points directly.
#pragma once
#include <cstdint>
#include <cstring>

#include "primitives/frame/variant_set.h"

namespace SP_SET_NS::fftk {

// A point moves as one block of two values (one 8-byte move for floats).
template <class T>
inline void SwapPoints(T* d, int64_t a, int64_t b) {
  T held[2];
  std::memcpy(held, d + 2 * a, sizeof held);
  std::memmove(d + 2 * a, d + 2 * b, sizeof held);
  std::memcpy(d + 2 * b, held, sizeof held);
}

template <class T>
inline void MovePoint(const T* s, T* d, int64_t to, int64_t from) {
  std::memcpy(d + 2 * to, s + 2 * from, 2 * sizeof(T));
}

// Point n = h H + 2i + l and rev_m(n) = l H + 2j + h exchange places (H =
// M/2); an entry e names the point e/2 = 2i.
template <class T>
void BitRevInPlaceSwapList(T* d, int64_t points, const int32_t* list) {
  if (points < 4) return;
  const int64_t half = points / 2;
  int64_t at = 0;
  for (; list[at] != 0; at += 2) {
    const int64_t p = list[at] / 2, r = list[at + 1] / 2;
    SwapPoints(d, p, r);
    SwapPoints(d, p + 1, half + r);
    SwapPoints(d, half + p, r + 1);
    SwapPoints(d, half + p + 1, half + r + 1);
  }
  SwapPoints(d, 1, half);  // i = 0, never listed
  for (++at; list[at] != 0; ++at) {
    const int64_t p = list[at] / 2;
    SwapPoints(d, p + 1, half + p);
  }
}

template <class T>
void BitRevCopySwapList(const T* s, T* d, int64_t points, const int32_t* list) {
  if (points < 8) {
    MovePoint(s, d, 0, 0);
    MovePoint(s, d, points - 1, points - 1);
    if (points >= 4) {
      MovePoint(s, d, 1, 2);
      MovePoint(s, d, 2, 1);
    }
    return;
  }
  const int64_t half = points / 2;
  auto exchange = [&](int64_t a, int64_t b) {
    MovePoint(s, d, a, b);
    MovePoint(s, d, b, a);
  };
  auto selfQuad = [&](int64_t p) {
    MovePoint(s, d, p, p);
    MovePoint(s, d, p + 1, half + p);
    MovePoint(s, d, half + p, p + 1);
    MovePoint(s, d, half + p + 1, half + p + 1);
  };
  int64_t at = 0;
  for (; list[at] != 0; at += 2) {
    const int64_t p = list[at] / 2, r = list[at + 1] / 2;
    exchange(p, r);
    exchange(p + 1, half + r);
    exchange(half + p, r + 1);
    exchange(half + p + 1, half + r + 1);
  }
  selfQuad(0);
  for (++at; list[at] != 0; ++at) selfQuad(list[at] / 2);
}

// Block form: n = q Q + 4i + r (Q = M/4; q, r in 0..3; i < M/16) and
// rev_m(n) = r' Q + 4j + q', j = slot i / 8, r' and q' the 2-bit reversals.
inline constexpr int64_t kRev2[4] = {0, 2, 1, 3};

template <class T>
void BitRevInPlaceBlocks(T* d, int64_t points, const int32_t* index) {
  if (points < 8) {
    if (points >= 4) SwapPoints(d, 1, 2);
    return;
  }
  if (points == 8) {
    SwapPoints(d, 1, 4);
    SwapPoints(d, 3, 6);
    return;
  }
  const int64_t quarter = points / 4;
  for (int64_t i = points / 16 - 1; i >= 0; --i) {
    const int64_t j = index[i] / 8;
    if (j < i) continue;  // exchanged when its partner came by
    for (int64_t q = 0; q < 4; ++q)
      for (int64_t r = 0; r < 4; ++r) {
        const int64_t a = q * quarter + 4 * i + r, b = kRev2[r] * quarter + 4 * j + kRev2[q];
        if (j > i || a < b) SwapPoints(d, a, b);
      }
  }
}

template <class T>
void BitRevCopyBlocks(const T* s, T* d, int64_t points, const int32_t* index) {
  if (points < 8) {
    BitRevCopySwapList(s, d, points, index);  // direct moves; the table is not read
    return;
  }
  if (points == 8) {
    static constexpr int64_t kFrom[8] = {0, 4, 2, 6, 1, 5, 3, 7};
    for (int64_t n = 0; n < 8; ++n) MovePoint(s, d, n, kFrom[n]);
    return;
  }
  const int64_t quarter = points / 4;
  for (int64_t i = 0; i < points / 16; ++i) {
    const int64_t j = index[i] / 8;
    for (int64_t q = 0; q < 4; ++q)
      for (int64_t r = 0; r < 4; ++r) MovePoint(s, d, q * quarter + 4 * i + r, kRev2[r] * quarter + 4 * j + kRev2[q]);
  }
}

}  // namespace SP_SET_NS::fftk
