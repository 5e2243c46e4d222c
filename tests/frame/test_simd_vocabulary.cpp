// Every operation of the SIMD vocabulary against known lanes, run by each
// variant set's own compiled code (support/simd_probe.h): each set that has
// an operation must give exactly these bits, and a set without it must say
// so.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <vector>

#include "support/simd_probe.h"
#include "support/variant_sets.h"

namespace {

template <class T>
SimdBlock Block(std::initializer_list<T> lanes) {
  SimdBlock b{};
  std::memcpy(b.bytes, lanes.begin(), lanes.size() * sizeof(T));
  return b;
}
SimdBlock F32(float a, float b, float c, float d) { return Block<float>({a, b, c, d}); }
SimdBlock F64(double a, double b) { return Block<double>({a, b}); }
SimdBlock U32(uint32_t a, uint32_t b, uint32_t c, uint32_t d) { return Block<uint32_t>({a, b, c, d}); }
SimdBlock U64(uint64_t a, uint64_t b) { return Block<uint64_t>({a, b}); }
SimdBlock I32(int32_t a, int32_t b, int32_t c, int32_t d) { return Block<int32_t>({a, b, c, d}); }
SimdBlock I64(int64_t a, int64_t b) { return Block<int64_t>({a, b}); }
SimdBlock I16(std::initializer_list<int16_t> lanes) { return Block<int16_t>(lanes); }
SimdBlock I8(std::initializer_list<int8_t> lanes) { return Block<int8_t>(lanes); }
// Bytes first, first + 1, ... (mod 256).
SimdBlock Bytes(int first) {
  SimdBlock b{};
  for (int k = 0; k < 16; ++k) b.bytes[k] = static_cast<uint8_t>(first + k);
  return b;
}
SimdBlock ByteList(std::initializer_list<int> bytes) {
  SimdBlock b{};
  int k = 0;
  for (int v : bytes) b.bytes[k++] = static_cast<uint8_t>(v);
  return b;
}

float FB(uint32_t bits) { return std::bit_cast<float>(bits); }
double DB(uint64_t bits) { return std::bit_cast<double>(bits); }

constexpr uint32_t T32 = 0xFFFFFFFFu;
constexpr uint64_t T64 = ~uint64_t{0};
const float kNanF = FB(0x7FC00000u);
const float kDefaultNanF = FB(0xFFC00000u);
const double kNanD = DB(0x7FF8000000000000ull);
const double kDefaultNanD = DB(0xFFF8000000000000ull);
const float kInfF = std::numeric_limits<float>::infinity();
const double kInfD = std::numeric_limits<double>::infinity();

struct Case {
  SimdOp op;
  int firstSet;
  int lastSet;
  std::array<SimdBlock, 4> in;
  std::array<SimdBlock, 4> expected;
  // Estimates: relative error bound, compared per float (4) or double (8).
  double relativeTolerance = 0.0;
  int estimateBytes = 4;
};

std::vector<Case> Cases() {
  const SimdBlock seq1to4 = F32(1, 2, 3, 4), seq5to8 = F32(5, 6, 7, 8);
  const SimdBlock bitsA = U32(0xFF00FF00u, 0x0F0F0F0Fu, T32, 0),
                  bitsB = U32(0xF0F0F0F0u, 0xFFFF0000u, 0x12345678u, T32);
  const SimdBlock cmpA = F32(1, 2, kNanF, 3), cmpB = F32(2, 2, 1, 1);
  const SimdBlock bits64A = U64(0xFF00FF00FF00FF00ull, 0x0F0F0F0F0F0F0F0Full);
  const SimdBlock bits64B = U64(0xF0F0F0F0F0F0F0F0ull, 0xFFFFFFFF00000000ull);
  const SimdBlock signedBytes = I8({1, -1, 127, -128, 2, -2, 3, -3, 4, -4, 5, -5, 6, -6, 7, -7});
  const double estimateBound = 1.5 / 4096.0;
  return {
      // ---- every set ----
      {SimdOp::ScalarBits,
       SP_SET_GENERIC,
       SP_SET_SSSE3,
       {U32(0x3F800000u, 0xC0000000u, 0, 0), U64(0xBFE0000000000000ull, 0x4000000000000000ull)},
       {U32(0x3F800000u, 0xC0000000u, 0, 0), U64(0xBFE0000000000000ull, 0x4000000000000000ull)}},
      {SimdOp::ScalarWithBitsF32,
       SP_SET_GENERIC,
       SP_SET_SSSE3,
       {F32(-1.5f, 2, 1, 0), U32(0x80000000u, 0x80000000u, 0x00400000u, 0)},
       {F32(1.5f, -2, 1.5f, 0)}},
      {SimdOp::ScalarWithBitsF64,
       SP_SET_GENERIC,
       SP_SET_SSSE3,
       {F64(-1.5, 2), U64(0x8000000000000000ull, 0x8000000000000000ull), F64(1, 0), U64(0x0008000000000000ull, 0)},
       {F64(1.5, -2), F64(1.5, 0)}},
      {SimdOp::ScalarOrderKey, SP_SET_GENERIC, SP_SET_SSSE3, {F64(-0.0, 1.0)}, {I64(-1, 0x3FF0000000000000ll)}},
      {SimdOp::ScalarAddressTests,
       SP_SET_GENERIC,
       SP_SET_SSSE3,
       {},
       {ByteList({0, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1}),
        ByteList({7, 0, 0, 0, 1, 0, 0, 0, 5, 0, 0, 0, 1, 0, 0, 0}), ByteList({0, 3, 2, 1, 5})}},
      {SimdOp::ScalarUnalignedAccess,
       SP_SET_GENERIC,
       SP_SET_SSSE3,
       {Bytes(0), Bytes(16)},
       {ByteList({0, 0, 0, 1, 2, 3, 4}), ByteList({0, 0, 21, 22, 23, 24, 25, 26, 27, 28})}},

      // ---- four floats ----
      {SimdOp::AddF32,
       SP_SET_SSE,
       SP_SET_SSSE3,
       {F32(1, 2.5f, -3, 1e30f), F32(0.5f, -2.5f, 3, 1e30f)},
       {F32(1.5f, 0, 0, 2e30f)}},
      {SimdOp::SubF32, SP_SET_SSE, SP_SET_SSSE3, {seq1to4, F32(0.5f, 2, -1, 8)}, {F32(0.5f, 0, 4, -4)}},
      {SimdOp::MulF32, SP_SET_SSE, SP_SET_SSSE3, {F32(1.5f, -2, 0, 3), F32(2, 3, -1, 0.5f)}, {F32(3, -6, -0.0f, 1.5f)}},
      {SimdOp::DivF32,
       SP_SET_SSE,
       SP_SET_SSSE3,
       {F32(1, -6, 1, 0), F32(4, 2, 0, 0)},
       {F32(0.25f, -3, kInfF, kDefaultNanF)}},
      // Unordered or equal lanes give the second operand.
      {SimdOp::MinF32,
       SP_SET_SSE,
       SP_SET_SSSE3,
       {F32(1, kNanF, -0.0f, 5), F32(2, 3, 0.0f, kNanF)},
       {F32(1, 3, 0.0f, kNanF)}},
      {SimdOp::MaxF32,
       SP_SET_SSE,
       SP_SET_SSSE3,
       {F32(1, kNanF, -0.0f, 5), F32(2, 3, 0.0f, kNanF)},
       {F32(2, 3, 0.0f, kNanF)}},
      {SimdOp::SqrtF32, SP_SET_SSE, SP_SET_SSSE3, {F32(4, 2.25f, 0, -1)}, {F32(2, 1.5f, 0, kDefaultNanF)}},
      {SimdOp::SqrtScalarF32, SP_SET_SSE, SP_SET_SSSE3, {F32(2, 0, 0, 0)}, {U32(0x3FB504F3u, 0, 0, 0)}},
      {SimdOp::AndF32, SP_SET_SSE, SP_SET_SSSE3, {bitsA, bitsB}, {U32(0xF000F000u, 0x0F0F0000u, 0x12345678u, 0)}},
      {SimdOp::AndNotF32, SP_SET_SSE, SP_SET_SSSE3, {bitsA, bitsB}, {U32(0x00F000F0u, 0xF0F00000u, 0, T32)}},
      {SimdOp::OrF32, SP_SET_SSE, SP_SET_SSSE3, {bitsA, bitsB}, {U32(0xFFF0FFF0u, 0xFFFF0F0Fu, T32, T32)}},
      {SimdOp::XorF32, SP_SET_SSE, SP_SET_SSSE3, {bitsA, bitsB}, {U32(0x0FF00FF0u, 0xF0F00F0Fu, 0xEDCBA987u, T32)}},
      {SimdOp::SelectF32, SP_SET_SSE, SP_SET_SSSE3, {U32(T32, 0, T32, 0), seq1to4, seq5to8}, {F32(1, 6, 3, 8)}},
      {SimdOp::CmpLtF32, SP_SET_SSE, SP_SET_SSSE3, {cmpA, cmpB}, {U32(T32, 0, 0, 0)}},
      {SimdOp::CmpLeF32, SP_SET_SSE, SP_SET_SSSE3, {cmpA, cmpB}, {U32(T32, T32, 0, 0)}},
      {SimdOp::CmpGtF32, SP_SET_SSE, SP_SET_SSSE3, {cmpA, cmpB}, {U32(0, 0, 0, T32)}},
      {SimdOp::CmpGeF32, SP_SET_SSE, SP_SET_SSSE3, {cmpA, cmpB}, {U32(0, T32, 0, T32)}},
      {SimdOp::CmpEqF32, SP_SET_SSE, SP_SET_SSSE3, {cmpA, cmpB}, {U32(0, T32, 0, 0)}},
      {SimdOp::CmpUnordF32, SP_SET_SSE, SP_SET_SSSE3, {cmpA, cmpB}, {U32(0, 0, T32, 0)}},
      {SimdOp::MoveMaskF32, SP_SET_SSE, SP_SET_SSSE3, {F32(-1, 2, -0.0f, kDefaultNanF)}, {I32(13, 0, 0, 0)}},
      {SimdOp::AddLowF32, SP_SET_SSE, SP_SET_SSSE3, {seq1to4, F32(10, 20, 30, 40)}, {F32(11, 2, 3, 4)}},
      {SimdOp::MulLowF32, SP_SET_SSE, SP_SET_SSSE3, {seq1to4, F32(10, 20, 30, 40)}, {F32(10, 2, 3, 4)}},
      {SimdOp::RcpEstimateF32,
       SP_SET_SSE,
       SP_SET_SSSE3,
       {F32(2, 0.5f, 3, -4)},
       {F32(0.5f, 2, 1.0f / 3, -0.25f)},
       estimateBound},
      {SimdOp::RsqrtEstimateF32,
       SP_SET_SSE,
       SP_SET_SSSE3,
       {F32(4, 0.25f, 2, 16)},
       {F32(0.5f, 2, 0.70710678f, 0.25f)},
       estimateBound},
      {SimdOp::LoadStoreF32,
       SP_SET_SSE,
       SP_SET_SSSE3,
       {seq1to4, seq5to8, F32(9, 10, 11, 12), F32(13, 14, 15, 16)},
       {F32(0, 2, 3, 4), F32(5, 0, 0, 0), F32(9, 10, 11, 12), F32(13, 14, 15, 16)}},
      {SimdOp::MakeLanesF32,
       SP_SET_SSE,
       SP_SET_SSSE3,
       {seq1to4, F32(5, FB(0x40000000u), FB(1), 0), F32(7, 8, 9, 0)},
       {seq1to4, F32(5, 5, 5, 5), U32(0x40000001u, 0x40000000u, 0x40000000u, 0x40000000u), F32(16, 8, 0, 0)}},
      {SimdOp::LaneAccessF32, SP_SET_SSE, SP_SET_SSSE3, {seq1to4}, {F32(1, 0, 0, 0), F32(4, 3, 2, 1)}},
      {SimdOp::SignMasksF32,
       SP_SET_SSE,
       SP_SET_SSSE3,
       {},
       {U32(0, 0x80000000u, 0, 0x80000000u), U32(0x80000000u, 0, 0x80000000u, 0)}},
      {SimdOp::SwapPairsF32, SP_SET_SSE, SP_SET_SSSE3, {seq1to4}, {F32(2, 1, 4, 3)}},
      {SimdOp::SwapHalvesF32, SP_SET_SSE, SP_SET_SSSE3, {seq1to4}, {F32(3, 4, 1, 2)}},
      {SimdOp::ReverseF32, SP_SET_SSE, SP_SET_SSSE3, {seq1to4}, {F32(4, 3, 2, 1)}},
      {SimdOp::DupEvenF32, SP_SET_SSE, SP_SET_SSSE3, {seq1to4}, {F32(1, 1, 3, 3)}},
      {SimdOp::DupOddF32, SP_SET_SSE, SP_SET_SSSE3, {seq1to4}, {F32(2, 2, 4, 4)}},
      {SimdOp::EvenOddLanesF32, SP_SET_SSE, SP_SET_SSSE3, {seq1to4, seq5to8}, {F32(1, 3, 5, 7), F32(2, 4, 6, 8)}},
      {SimdOp::InterleaveF32, SP_SET_SSE, SP_SET_SSSE3, {seq1to4, seq5to8}, {F32(1, 5, 2, 6), F32(3, 7, 4, 8)}},
      {SimdOp::JoinHalvesF32, SP_SET_SSE, SP_SET_SSSE3, {seq1to4, seq5to8}, {F32(1, 2, 5, 6), F32(3, 4, 7, 8)}},
      {SimdOp::Transpose4x4F32,
       SP_SET_SSE,
       SP_SET_SSSE3,
       {seq1to4, seq5to8, F32(9, 10, 11, 12), F32(13, 14, 15, 16)},
       {F32(1, 5, 9, 13), F32(2, 6, 10, 14), F32(3, 7, 11, 15), F32(4, 8, 12, 16)}},
      {SimdOp::FoldsF32, SP_SET_SSE, SP_SET_SSSE3, {seq1to4}, {F32(4, 6, 0, 0), F32(10, 0, 0, 0)}},
      {SimdOp::AddSubF32, SP_SET_SSE3, SP_SET_SSSE3, {seq1to4, F32(10, 20, 30, 40)}, {F32(-9, 22, -27, 44)}},
      // (1 + 2i)(3 + 4i) = -5 + 10i; (3 - i)(0.5 + 2i) = 3.5 + 5.5i.
      {SimdOp::MulComplexF32,
       SP_SET_SSE,
       SP_SET_SSSE3,
       {F32(1, 2, 3, -1), F32(3, 4, 0.5f, 2)},
       {F32(-5, 10, 3.5f, 5.5f)}},
      {SimdOp::MulComplexSplitF32,
       SP_SET_SSE,
       SP_SET_SSSE3,
       {F32(1, 3, 0, 2), F32(2, -1, 1, 0), F32(3, 0.5f, 0, 5), F32(4, 2, 1, 1)},
       {F32(-5, 3.5f, -1, 10), F32(10, 5.5f, 0, 2)}},
      // (1 + 2i) conj(3 + 4i) = 11 + 2i; 3 conj(0.5) = 1.5; 0 conj(i) = 0; (2 + i) conj(5 + i) = 11 + 3i.
      {SimdOp::MulConjComplexSplitF32,
       SP_SET_SSE,
       SP_SET_SSSE3,
       {F32(1, 3, 0, 2), F32(2, 0, 0, 1), F32(3, 0.5f, 0, 5), F32(4, 0, 1, 1)},
       {F32(11, 1.5f, 0, 11), F32(2, 0, 0, 3)}},
      {SimdOp::PairLoadStoreF32,
       SP_SET_SSE,
       SP_SET_SSSE3,
       {seq1to4, seq5to8, F32(9, 10, 11, 12), F32(13, 14, 15, 16)},
       {F32(2, 3, 14, 15), F32(0, 2, 3, 0), F32(0, 14, 15, 0)}},
      {SimdOp::PowerOfTwoHalvesF32,
       SP_SET_SSE,
       SP_SET_SSSE3,
       {F32(-3, 1, 254, -252)},
       {F32(0.25f, 1, FB(0x7F000000u), FB(0x00800000u)), F32(0.5f, 2, FB(0x7F000000u), FB(0x00800000u))}},
      {SimdOp::LoadStorePartsF32,
       SP_SET_SSE,
       SP_SET_SSSE3,
       {seq1to4, seq5to8, F32(9, 10, 11, 12), F32(13, 14, 15, 16)},
       {F32(2, 0, 9, 10), F32(3, 4, 7, 8), F32(9, 10, 13, 14), F32(0, 15, 16, 0)}},
      {SimdOp::Load3Store3F32, SP_SET_SSE, SP_SET_SSSE3, {seq1to4, seq5to8}, {F32(2, 3, 4, 0), F32(0, 5, 6, 7)}},
      {SimdOp::DupPairsF32, SP_SET_SSE, SP_SET_SSSE3, {seq1to4}, {F32(1, 2, 1, 2), F32(3, 4, 3, 4)}},
      {SimdOp::DupByShuffleF32, SP_SET_SSE, SP_SET_SSSE3, {seq1to4}, {F32(1, 1, 3, 3), F32(2, 2, 4, 4)}},

      // ---- two doubles ----
      {SimdOp::AddF64, SP_SET_SSE2, SP_SET_SSSE3, {F64(1, 2.5), F64(0.5, -2.5)}, {F64(1.5, 0)}},
      {SimdOp::SubF64, SP_SET_SSE2, SP_SET_SSSE3, {F64(1, 2), F64(4, 2)}, {F64(-3, 0)}},
      {SimdOp::MulF64, SP_SET_SSE2, SP_SET_SSSE3, {F64(1.5, 0), F64(2, -1)}, {F64(3, -0.0)}},
      {SimdOp::DivF64, SP_SET_SSE2, SP_SET_SSSE3, {F64(1, 0), F64(0, 0)}, {F64(kInfD, kDefaultNanD)}},
      {SimdOp::MinF64, SP_SET_SSE2, SP_SET_SSSE3, {F64(1, kNanD), F64(2, 3)}, {F64(1, 3)}},
      {SimdOp::MaxF64, SP_SET_SSE2, SP_SET_SSSE3, {F64(1, kNanD), F64(2, 3)}, {F64(2, 3)}},
      {SimdOp::SqrtF64, SP_SET_SSE2, SP_SET_SSSE3, {F64(6.25, -1)}, {F64(2.5, kDefaultNanD)}},
      {SimdOp::SqrtScalarF64, SP_SET_SSE2, SP_SET_SSSE3, {F64(2, 0)}, {U64(0x3FF6A09E667F3BCDull, 0)}},
      {SimdOp::AndF64,
       SP_SET_SSE2,
       SP_SET_SSSE3,
       {bits64A, bits64B},
       {U64(0xF000F000F000F000ull, 0x0F0F0F0F00000000ull)}},
      {SimdOp::AndNotF64,
       SP_SET_SSE2,
       SP_SET_SSSE3,
       {bits64A, bits64B},
       {U64(0x00F000F000F000F0ull, 0xF0F0F0F000000000ull)}},
      {SimdOp::OrF64,
       SP_SET_SSE2,
       SP_SET_SSSE3,
       {bits64A, bits64B},
       {U64(0xFFF0FFF0FFF0FFF0ull, 0xFFFFFFFF0F0F0F0Full)}},
      {SimdOp::XorF64,
       SP_SET_SSE2,
       SP_SET_SSSE3,
       {bits64A, bits64B},
       {U64(0x0FF00FF00FF00FF0ull, 0xF0F0F0F00F0F0F0Full)}},
      {SimdOp::SelectF64, SP_SET_SSE2, SP_SET_SSSE3, {U64(T64, 0), F64(1, 2), F64(3, 4)}, {F64(1, 4)}},
      {SimdOp::CmpLtF64, SP_SET_SSE2, SP_SET_SSSE3, {F64(1, kNanD), F64(2, 1)}, {U64(T64, 0)}},
      {SimdOp::CmpEqF64, SP_SET_SSE2, SP_SET_SSSE3, {F64(2, kNanD), F64(2, kNanD)}, {U64(T64, 0)}},
      {SimdOp::CmpNgeF64, SP_SET_SSE2, SP_SET_SSSE3, {F64(1, kNanD), F64(2, 1)}, {U64(T64, T64)}},
      {SimdOp::MoveMaskF64, SP_SET_SSE2, SP_SET_SSSE3, {F64(2, -0.0)}, {I32(2, 0, 0, 0)}},
      {SimdOp::LowLaneOpsF64, SP_SET_SSE2, SP_SET_SSSE3, {F64(3, 7), F64(5, 11)}, {F64(8, 7), F64(15, 7), F64(5, 7)}},
      {SimdOp::RsqrtEstimateViaF32, SP_SET_SSE2, SP_SET_SSSE3, {F64(4, 0.25)}, {F64(0.5, 2)}, estimateBound, 8},
      {SimdOp::NarrowToF32,
       SP_SET_SSE2,
       SP_SET_SSSE3,
       {F64(1.5, 0.1), F64(-2, 1e300)},
       {F32(1.5f, FB(0x3DCCCCCDu), -2, kInfF)}},
      {SimdOp::LoadStoreF64,
       SP_SET_SSE2,
       SP_SET_SSSE3,
       {F64(1, 2), F64(3, 4), F64(5, 6), F64(7, 8)},
       {F64(0, 2), F64(3, 0), F64(5, 6), F64(7, 8)}},
      {SimdOp::MakeLanesF64,
       SP_SET_SSE2,
       SP_SET_SSSE3,
       {F64(1, 2), F64(3, 2), F64(DB(1), 9)},
       {F64(1, 2), F64(3, 3), U64(0x4000000000000001ull, 0x4000000000000000ull), F64(9, 0)}},
      {SimdOp::LaneAccessF64, SP_SET_SSE2, SP_SET_SSSE3, {F64(5, 6)}, {F64(5, 6)}},
      {SimdOp::SignMasksF64,
       SP_SET_SSE2,
       SP_SET_SSSE3,
       {},
       {U64(0, 0x8000000000000000ull), U64(0x8000000000000000ull, 0)}},
      {SimdOp::SwapHalvesF64, SP_SET_SSE2, SP_SET_SSSE3, {F64(1, 2)}, {F64(2, 1)}},
      {SimdOp::ReverseF64, SP_SET_SSE2, SP_SET_SSSE3, {F64(1, 2)}, {F64(2, 1)}},
      {SimdOp::DupF64, SP_SET_SSE2, SP_SET_SSSE3, {F64(1, 2)}, {F64(1, 1), F64(2, 2)}},
      {SimdOp::InterleaveF64, SP_SET_SSE2, SP_SET_SSSE3, {F64(1, 2), F64(3, 4)}, {F64(1, 3), F64(2, 4)}},
      {SimdOp::EvenOddLanesF64, SP_SET_SSE2, SP_SET_SSSE3, {F64(1, 2), F64(3, 4)}, {F64(1, 3), F64(2, 4)}},
      {SimdOp::Transpose2x2F64, SP_SET_SSE2, SP_SET_SSSE3, {F64(1, 2), F64(3, 4)}, {F64(1, 3), F64(2, 4)}},
      {SimdOp::FoldLanesF64, SP_SET_SSE2, SP_SET_SSSE3, {F64(1.5, 2.25)}, {F64(3.75, 0)}},
      {SimdOp::AddSubF64, SP_SET_SSE3, SP_SET_SSSE3, {F64(1, 2), F64(10, 20)}, {F64(-9, 22)}},
      {SimdOp::MulComplexF64, SP_SET_SSE2, SP_SET_SSSE3, {F64(1, 2), F64(3, 4)}, {F64(-5, 10)}},
      {SimdOp::MulComplexSplitF64,
       SP_SET_SSE2,
       SP_SET_SSSE3,
       {F64(1, 3), F64(2, -1), F64(3, 0.5), F64(4, 2)},
       {F64(-5, 3.5), F64(10, 5.5)}},
      {SimdOp::LoadStorePartsF64,
       SP_SET_SSE2,
       SP_SET_SSSE3,
       {F64(1, 2), F64(3, 4), F64(5, 6), F64(7, 8)},
       {F64(2, 4), F64(3, 5), F64(0, 6), F64(7, 0)}},

      // ---- integer vectors ----
      {SimdOp::LoadStoreInt,
       SP_SET_SSE2,
       SP_SET_SSSE3,
       {Bytes(0), Bytes(16), Bytes(32), Bytes(48)},
       {Bytes(0), ByteList({16, 0, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31}),
        ByteList({32, 33, 0, 0, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47}), ByteList({48, 49, 50, 51})}},
      {SimdOp::MakeLanesInt,
       SP_SET_SSE2,
       SP_SET_SSSE3,
       {I32(1, -2, 3, -4), U64(7, 0x0123456789ABCDEFull), I64(10, 20)},
       {I32(1, -2, 3, -4), I32(7, 7, 7, 7), U64(0x0123456789ABCDEFull, 0x0123456789ABCDEFull), I32(1, 0, 30, 0)}},
      {SimdOp::VectorBits,
       SP_SET_SSE2,
       SP_SET_SSSE3,
       {F32(1, -2, 0.5f, kNanF), bitsB, F64(-0.0, kNanD), bits64A},
       {F32(1, -2, 0.5f, kNanF), bitsB, F64(-0.0, kNanD), bits64A}},
      {SimdOp::BitwiseInt,
       SP_SET_SSE2,
       SP_SET_SSSE3,
       {U32(T32, 0, 0xF0F0F0F0u, 0x12345678u), U32(0x11111111u, 0x22222222u, 0xFF00FF00u, T32),
        U32(0xAAAAAAAAu, 0xBBBBBBBBu, 0x0F0F0F0Fu, 0)},
       {U32(0x11111111u, 0, 0xF000F000u, 0x12345678u), U32(0, 0x22222222u, 0x0F000F00u, 0xEDCBA987u),
        U32(T32, 0x22222222u, 0xFFF0FFF0u, T32), U32(0x11111111u, 0xBBBBBBBBu, 0xFF0FFF0Fu, 0x12345678u)}},
      {SimdOp::AddSubI32,
       SP_SET_SSE2,
       SP_SET_SSSE3,
       {I32(1, INT32_MAX, -5, 0), I32(2, 1, 5, -1)},
       {I32(3, INT32_MIN, 0, -1), I32(-1, INT32_MAX - 1, -10, 1)}},
      {SimdOp::AddSubI64,
       SP_SET_SSE2,
       SP_SET_SSSE3,
       {I64(1, INT64_MAX), I64(-3, 1)},
       {I64(-2, INT64_MIN), I64(4, INT64_MAX - 1)}},
      {SimdOp::CompareI32,
       SP_SET_SSE2,
       SP_SET_SSSE3,
       {I32(1, -1, 5, 7), I32(0, 1, 5, 8)},
       {I32(-1, 0, 0, 0), I32(0, -1, 0, -1), I32(0, 0, -1, 0)}},
      {SimdOp::MaxMinI32,
       SP_SET_SSE2,
       SP_SET_SSSE3,
       {I32(1, -1, INT32_MIN, 7), I32(0, 1, 5, 7)},
       {I32(1, 1, 5, 7), I32(0, -1, INT32_MIN, 7)}},
      {SimdOp::MoveMaskI32, SP_SET_SSE2, SP_SET_SSSE3, {I32(-1, 0, INT32_MIN, 5)}, {I32(5, 0, 0, 0)}},
      {SimdOp::ShiftsI32,
       SP_SET_SSE2,
       SP_SET_SSSE3,
       {I32(1, -16, 0x40000000, -1), I32(4, 0, 0, 0)},
       {I32(8, -128, 0, -8), I32(0, 0x1FFFFFFE, 0x08000000, 0x1FFFFFFF), I32(0, -2, 0x08000000, -1),
        I32(16, -256, 0, -16)}},
      {SimdOp::ShiftsI64, SP_SET_SSE2, SP_SET_SSSE3, {I64(256, -1)}, {I64(16, 0x0FFFFFFFFFFFFFFFll)}},
      {SimdOp::LowHalvesOfI64,
       SP_SET_SSE2,
       SP_SET_SSSE3,
       {U64(0x1111111122222222ull, 0x3333333344444444ull)},
       {U32(0x22222222u, 0x44444444u, 0, 0)}},
      {SimdOp::JoinLow64, SP_SET_SSE2, SP_SET_SSSE3, {I32(1, 2, 3, 4), I32(5, 6, 7, 8)}, {I32(1, 2, 5, 6)}},
      {SimdOp::WidenI8ToI16,
       SP_SET_SSE2,
       SP_SET_SSSE3,
       {signedBytes},
       {I16({1, -1, 127, -128, 2, -2, 3, -3}), I16({4, -4, 5, -5, 6, -6, 7, -7})}},
      {SimdOp::WidenI16ToI32,
       SP_SET_SSE2,
       SP_SET_SSSE3,
       {I16({1, -1, 32767, -32768, 2, -2, 3, -3})},
       {I32(1, -1, 32767, -32768), I32(2, -2, 3, -3)}},
      {SimdOp::WidenQuarterI8ToI32,
       SP_SET_SSE2,
       SP_SET_SSSE3,
       {signedBytes},
       {I32(1, -1, 127, -128), I32(2, -2, 3, -3), I32(4, -4, 5, -5), I32(6, -6, 7, -7)}},
      {SimdOp::PackSatI32ToI16,
       SP_SET_SSE2,
       SP_SET_SSSE3,
       {I32(1, 40000, -40000, -5), I32(32767, 32768, -32768, -32769)},
       {I16({1, 32767, -32768, -5, 32767, 32767, -32768, -32768})}},
      // x / 4 to nearest, ties to even; the top value must not wrap.
      {SimdOp::RoundingShiftRightI32,
       SP_SET_SSE2,
       SP_SET_SSSE3,
       {I32(6, 10, -6, INT32_MAX), I32(2, 0, 0, 0)},
       {I32(2, 2, -2, 536870912)}},
      {SimdOp::IntToFloat,
       SP_SET_SSE2,
       SP_SET_SSSE3,
       {I32(1, -2, 16777217, INT32_MIN)},
       {F32(1, -2, 16777216.0f, -2147483648.0f), F64(1, -2), F64(16777217.0, -2147483648.0)}},
      {SimdOp::FloatToInt,
       SP_SET_SSE2,
       SP_SET_SSSE3,
       {F32(1.5f, 2.5f, -1.5f, 1e10f), F64(2.5, -3.7)},
       {I32(2, 2, -2, INT32_MIN), I32(2, -4, 0, 0), I32(2, -3, 0, 0)}},

      // ---- MMX pairs ----
      {SimdOp::MmxPairs,
       SP_SET_SSE,
       SP_SET_SSE,
       {I32(1, -5, 7, INT32_MIN), I32(2, -6, 7, 0), I32(9, 0, 0, 0)},
       {I32(2, -5, 7, 0), I32(9, 9, 0, 0)}},
  };
}

::testing::AssertionResult WithinRelative(const SimdBlock& got, const SimdBlock& want, double bound, int bytes) {
  for (int at = 0; at < 16; at += bytes) {
    double g, w;
    if (bytes == 4) {
      float gf, wf;
      std::memcpy(&gf, got.bytes + at, 4);
      std::memcpy(&wf, want.bytes + at, 4);
      g = gf;
      w = wf;
    } else {
      std::memcpy(&g, got.bytes + at, 8);
      std::memcpy(&w, want.bytes + at, 8);
    }
    if (!(std::fabs(g - w) <= bound * std::fabs(w)))
      return ::testing::AssertionFailure() << "lane at byte " << at << ": " << g << " against " << w;
  }
  return ::testing::AssertionSuccess();
}

std::string Hex(const SimdBlock& b) {
  static const char* const kDigits = "0123456789abcdef";
  std::string s;
  for (int k = 0; k < 16; ++k) {
    s += kDigits[b.bytes[k] >> 4];
    s += kDigits[b.bytes[k] & 15];
    if (k % 4 == 3 && k < 15) s += ' ';
  }
  return s;
}

class SimdVocabularyTest : public VariantSetTest {};

TEST_P(SimdVocabularyTest, EveryOperationGivesTheKnownLanes) {
  const SimdProbeFn probe = kSimdProbes[SetIndex()];
  for (const Case& c : Cases()) {
    SCOPED_TRACE(SimdOpName(c.op));
    alignas(16) SimdBlock out[4];
    const bool has = probe(c.op, c.in.data(), out);
    const bool expected = SetIndex() >= c.firstSet && SetIndex() <= c.lastSet;
    ASSERT_EQ(has, expected) << "whether the set has the operation";
    if (!has) continue;
    for (int b = 0; b < 4; ++b) {
      if (c.relativeTolerance > 0) {
        EXPECT_TRUE(WithinRelative(out[b], c.expected[b], c.relativeTolerance, c.estimateBytes)) << "block " << b;
      } else {
        EXPECT_EQ(Hex(out[b]), Hex(c.expected[b])) << "block " << b;
      }
    }
  }
}

// Every operation of the vocabulary is in the table.
TEST(SimdVocabularyTable, CoversEveryProbe) {
  std::vector<bool> seen(static_cast<size_t>(SimdOp::MmxPairs) + 1);
  for (const Case& c : Cases()) seen[static_cast<size_t>(c.op)] = true;
  for (size_t op = 0; op < seen.size(); ++op) EXPECT_TRUE(seen[op]) << SimdOpName(static_cast<SimdOp>(op));
}

SP_INSTANTIATE_FOR_ALL_SETS(SimdVocabularyTest);

}  // namespace
