// One set's probes of the SIMD vocabulary (see support/simd_probe.h):
// compiled once per variant set like the primitives' own variant sources.
#include <cstring>

#include "primitives/frame/simd.h"
#include "support/simd_probe.h"

namespace SP_SET_NS {
namespace {

using namespace simd;

// The probe's 64 input and output bytes seen as elements of one type.
struct Io {
  const SimdBlock* in;
  SimdBlock* out;
  template <class T>
  const T* In(int block = 0) const {
    return reinterpret_cast<const T*>(in[block].bytes);
  }
  template <class T>
  T* Out(int block = 0) const {
    return reinterpret_cast<T*>(out[block].bytes);
  }
};

#if SP_SET_HAS_F32_VECTORS
f32x4 InF(const Io& io, int block) { return Load(io.In<float>(block)); }
void OutF(const Io& io, int block, f32x4 v) { Store(io.Out<float>(block), v); }
#endif
#if SP_SET_HAS_F64_VECTORS
f64x2 InD(const Io& io, int block) { return Load(io.In<double>(block)); }
void OutD(const Io& io, int block, f64x2 v) { Store(io.Out<double>(block), v); }
template <class V>
V InI(const Io& io, int block) {
  return {LoadBits128(io.in[block].bytes)};
}
template <class V>
void OutI(const Io& io, int block, V v) {
  StoreU(io.Out<int32_t>(block), Reinterpret<i32x4>(v));
}
#endif

bool ProbeScalar(SimdOp op, const Io& io) {
  switch (op) {
    case SimdOp::ScalarBits:
      St(io.Out<uint32_t>(0), Bits(Ld(io.In<float>(0))));
      St(io.Out<float>(0) + 1, FloatFromBits(Ld(io.In<uint32_t>(0) + 1)));
      St(io.Out<uint64_t>(1), Bits(Ld(io.In<double>(1))));
      St(io.Out<double>(1) + 1, DoubleFromBits(Ld(io.In<uint64_t>(1) + 1)));
      return true;
    case SimdOp::ScalarWithBitsF32: {
      const float* x = io.In<float>(0);
      const uint32_t* m = io.In<uint32_t>(1);
      St(io.Out<float>(0), FloatWithBitsCleared(Ld(x), Ld(m)));
      St(io.Out<float>(0) + 1, FloatWithBitsFlipped(Ld(x + 1), Ld(m + 1)));
      St(io.Out<float>(0) + 2, FloatWithBitsSet(Ld(x + 2), Ld(m + 2)));
      return true;
    }
    case SimdOp::ScalarWithBitsF64: {
      const double* x = io.In<double>(0);
      const uint64_t* m = io.In<uint64_t>(1);
      St(io.Out<double>(0), DoubleWithBitsCleared(Ld(x), Ld(m)));
      St(io.Out<double>(0) + 1, DoubleWithBitsFlipped(Ld(x + 1), Ld(m + 1)));
      St(io.Out<double>(1), DoubleWithBitsSet(Ld(io.In<double>(2)), Ld(io.In<uint64_t>(3))));
      return true;
    }
    case SimdOp::ScalarOrderKey:
      St(io.Out<int64_t>(0), F64OrderKey(Ld(io.In<double>(0))));
      St(io.Out<int64_t>(0) + 1, F64OrderKey(Ld(io.In<double>(0) + 1)));
      return true;
    case SimdOp::ScalarAddressTests: {
      // in[0] is 16-byte aligned: the answers depend on the offset only.
      const uint8_t* base = io.in[0].bytes;
      for (int k = 0; k < 16; ++k) {
        io.out[0].bytes[k] = static_cast<uint8_t>(BytesTo16(base + k));
        io.out[1].bytes[k] = static_cast<uint8_t>(IsAligned(base + k, 4) + 2 * Aligned16(base + k) +
                                                  4 * ElementAligned(reinterpret_cast<const double*>(base + k)));
      }
      for (int k = 0; k < 4; ++k)
        io.out[2].bytes[k] = static_cast<uint8_t>(ElementsTo16(reinterpret_cast<const float*>(base + 4 * k)));
      io.out[2].bytes[4] = static_cast<uint8_t>(AddressOf(base + 5) - AddressOf(base));
      return true;
    }
    case SimdOp::ScalarUnalignedAccess: {
      const auto* p = reinterpret_cast<const uint32_t*>(io.in[0].bytes + 1);
      St(reinterpret_cast<uint32_t*>(io.out[0].bytes + 3), Ld(p));
      const auto* d = reinterpret_cast<const double*>(io.in[1].bytes + 5);
      St(reinterpret_cast<double*>(io.out[1].bytes + 2), Ld(d));
      return true;
    }
    default: return false;
  }
}

#if SP_SET_HAS_F32_VECTORS
bool ProbeF32(SimdOp op, const Io& io) {
  const auto binary = [&](auto fn) { OutF(io, 0, fn(InF(io, 0), InF(io, 1))); };
  const auto unary = [&](auto fn) { OutF(io, 0, fn(InF(io, 0))); };
  switch (op) {
    case SimdOp::AddF32: binary([](f32x4 a, f32x4 b) { return Add(a, b); }); return true;
    case SimdOp::SubF32: binary([](f32x4 a, f32x4 b) { return Sub(a, b); }); return true;
    case SimdOp::MulF32: binary([](f32x4 a, f32x4 b) { return Mul(a, b); }); return true;
    case SimdOp::DivF32: binary([](f32x4 a, f32x4 b) { return Div(a, b); }); return true;
    case SimdOp::MinF32: binary([](f32x4 a, f32x4 b) { return Min(a, b); }); return true;
    case SimdOp::MaxF32: binary([](f32x4 a, f32x4 b) { return Max(a, b); }); return true;
    case SimdOp::SqrtF32: unary([](f32x4 a) { return Sqrt(a); }); return true;
    case SimdOp::SqrtScalarF32: St(io.Out<float>(0), SqrtScalar(Ld(io.In<float>(0)))); return true;
    case SimdOp::AndF32: binary([](f32x4 a, f32x4 b) { return And(a, b); }); return true;
    case SimdOp::AndNotF32: binary([](f32x4 a, f32x4 b) { return AndNot(a, b); }); return true;
    case SimdOp::OrF32: binary([](f32x4 a, f32x4 b) { return Or(a, b); }); return true;
    case SimdOp::XorF32: binary([](f32x4 a, f32x4 b) { return Xor(a, b); }); return true;
    case SimdOp::SelectF32: OutF(io, 0, Select(InF(io, 0), InF(io, 1), InF(io, 2))); return true;
    case SimdOp::CmpLtF32: binary([](f32x4 a, f32x4 b) { return CmpLt(a, b); }); return true;
    case SimdOp::CmpLeF32: binary([](f32x4 a, f32x4 b) { return CmpLe(a, b); }); return true;
    case SimdOp::CmpGtF32: binary([](f32x4 a, f32x4 b) { return CmpGt(a, b); }); return true;
    case SimdOp::CmpGeF32: binary([](f32x4 a, f32x4 b) { return CmpGe(a, b); }); return true;
    case SimdOp::CmpEqF32: binary([](f32x4 a, f32x4 b) { return CmpEq(a, b); }); return true;
    case SimdOp::CmpUnordF32: binary([](f32x4 a, f32x4 b) { return CmpUnord(a, b); }); return true;
    case SimdOp::MoveMaskF32: St(io.Out<int32_t>(0), MoveMask(InF(io, 0))); return true;
    case SimdOp::AddLowF32: binary([](f32x4 a, f32x4 b) { return AddLow(a, b); }); return true;
    case SimdOp::MulLowF32: binary([](f32x4 a, f32x4 b) { return MulLow(a, b); }); return true;
    case SimdOp::RcpEstimateF32: unary([](f32x4 a) { return RcpEstimate(a); }); return true;
    case SimdOp::RsqrtEstimateF32: unary([](f32x4 a) { return RsqrtEstimate(a); }); return true;
    case SimdOp::LoadStoreF32: {
      // Floats 1..4 unaligned, 8..11 aligned, 12..15 streamed.
      const float* in = io.In<float>();
      float* out = io.Out<float>();
      Prefetch(in);
      PrefetchNonTemporal(in + 8);
      StoreU(out + 1, LoadU(in + 1));
      Store(out + 8, LoadAs<true>(in + 8));
      Stream(out + 12, LoadAs<false>(in + 12));
      StoreFence();
      return true;
    }
    case SimdOp::MakeLanesF32: {
      const float* in = io.In<float>();
      OutF(io, 0, Lanes(Ld(in), Ld(in + 1), Ld(in + 2), Ld(in + 3)));
      OutF(io, 1, Add(Splat(Ld(in + 4)), Zero4()));
      OutF(io, 2, Or(SplatBits(Ld(io.In<uint32_t>() + 5)), LowOnly(Ld(in + 6))));
      OutF(io, 3, Add(LoadPair(in + 8), LoadSingle(in + 10)));
      return true;
    }
    case SimdOp::LaneAccessF32: {
      const f32x4 v = InF(io, 0);
      float* out = io.Out<float>();
      St(out, Lane0(v));
      for (int i = 0; i < 4; ++i) St(out + 4 + i, Lane(v, 3 - i));
      return true;
    }
    case SimdOp::SignMasksF32:
      OutF(io, 0, ImagSignMaskF32());
      OutF(io, 1, RealSignMaskF32());
      return true;
    case SimdOp::SwapPairsF32: unary([](f32x4 a) { return SwapPairs(a); }); return true;
    case SimdOp::SwapHalvesF32: unary([](f32x4 a) { return SwapHalves(a); }); return true;
    case SimdOp::ReverseF32: unary([](f32x4 a) { return Reverse(a); }); return true;
    case SimdOp::DupEvenF32: unary([](f32x4 a) { return DupEven(a); }); return true;
    case SimdOp::DupOddF32: unary([](f32x4 a) { return DupOdd(a); }); return true;
    case SimdOp::EvenOddLanesF32:
      OutF(io, 0, EvenLanes(InF(io, 0), InF(io, 1)));
      OutF(io, 1, OddLanes(InF(io, 0), InF(io, 1)));
      return true;
    case SimdOp::InterleaveF32:
      OutF(io, 0, InterleaveLow(InF(io, 0), InF(io, 1)));
      OutF(io, 1, InterleaveHigh(InF(io, 0), InF(io, 1)));
      return true;
    case SimdOp::JoinHalvesF32:
      OutF(io, 0, JoinLowHalves(InF(io, 0), InF(io, 1)));
      OutF(io, 1, JoinHighHalves(InF(io, 0), InF(io, 1)));
      return true;
    case SimdOp::Transpose4x4F32: {
      f32x4 r0 = InF(io, 0), r1 = InF(io, 1), r2 = InF(io, 2), r3 = InF(io, 3);
      Transpose4x4(r0, r1, r2, r3);
      OutF(io, 0, r0);
      OutF(io, 1, r1);
      OutF(io, 2, r2);
      OutF(io, 3, r3);
      return true;
    }
    case SimdOp::FoldsF32: {
      // Only lanes 0 and 1 of the folded vector are defined.
      const f32x4 folded = FoldHighOntoLow(InF(io, 0));
      St(io.Out<float>(0), Lane(folded, 0));
      St(io.Out<float>(0) + 1, Lane(folded, 1));
      St(io.Out<float>(1), FoldPair(folded));
      return true;
    }
    case SimdOp::AddSubF32:
#if SP_SET_INDEX >= SP_SET_SSE3
      binary([](f32x4 a, f32x4 b) { return AddSub(a, b); });
      return true;
#else
      return false;
#endif
    case SimdOp::MulComplexF32: binary([](f32x4 a, f32x4 b) { return MulComplex(a, b); }); return true;
    case SimdOp::MulComplexSplitF32: {
      f32x4 re, im;
      MulComplexSplit(InF(io, 0), InF(io, 1), InF(io, 2), InF(io, 3), re, im);
      OutF(io, 0, re);
      OutF(io, 1, im);
      return true;
    }
    case SimdOp::MulConjComplexSplitF32: {
      f32x4 re, im;
      MulConjComplexSplit(InF(io, 0), InF(io, 1), InF(io, 2), InF(io, 3), re, im);
      OutF(io, 0, re);
      OutF(io, 1, im);
      return true;
    }
    case SimdOp::PairLoadStoreF32: {
      // Pairs from floats 1..2 and 13..14 (8-byte boundaries missed on
      // purpose); the low pair to floats 5..6, the high pair to 9..10.
      const float* in = io.In<float>();
      float* out = io.Out<float>();
      const f32x4 v = LoadPairs(in + 1, in + 13);
      StoreU(out, v);
      StoreLow2(out + 5, v);
      StoreHigh2(out + 9, v);
      return true;
    }
    case SimdOp::PowerOfTwoHalvesF32: {
      f32x4 low, high;
      PowerOfTwoHalves(InF(io, 0), low, high);
      OutF(io, 0, low);
      OutF(io, 1, high);
      return true;
    }
    case SimdOp::LoadStorePartsF32: {
      // Each partial move at its own place; the floats around it stay 0.
      const float* in = io.In<float>();
      float* out = io.Out<float>();
      StoreSingle(out, LoadSingle(in + 1));
      StoreLow2(out + 2, InF(io, 2));
      OutF(io, 1, LoadLow2(InF(io, 1), in + 2));
      OutF(io, 2, LoadHigh2(InF(io, 2), in + 12));
      StoreHigh2(out + 13, InF(io, 3));
      return true;
    }
    case SimdOp::Load3Store3F32:
      OutF(io, 0, Load3(io.In<float>(0) + 1));
      Store3(io.Out<float>(1) + 1, InF(io, 1));
      return true;
    case SimdOp::DupPairsF32:
      OutF(io, 0, DupLowPair(InF(io, 0)));
      OutF(io, 1, DupHighPair(InF(io, 0)));
      return true;
    case SimdOp::DupByShuffleF32:
      OutF(io, 0, DupEvenByShuffle(InF(io, 0)));
      OutF(io, 1, DupOddByShuffle(InF(io, 0)));
      return true;
    default: return false;
  }
}
#endif

#if SP_SET_HAS_F64_VECTORS
bool ProbeF64(SimdOp op, const Io& io) {
  const auto binary = [&](auto fn) { OutD(io, 0, fn(InD(io, 0), InD(io, 1))); };
  const auto unary = [&](auto fn) { OutD(io, 0, fn(InD(io, 0))); };
  switch (op) {
    case SimdOp::AddF64: binary([](f64x2 a, f64x2 b) { return Add(a, b); }); return true;
    case SimdOp::SubF64: binary([](f64x2 a, f64x2 b) { return Sub(a, b); }); return true;
    case SimdOp::MulF64: binary([](f64x2 a, f64x2 b) { return Mul(a, b); }); return true;
    case SimdOp::DivF64: binary([](f64x2 a, f64x2 b) { return Div(a, b); }); return true;
    case SimdOp::MinF64: binary([](f64x2 a, f64x2 b) { return Min(a, b); }); return true;
    case SimdOp::MaxF64: binary([](f64x2 a, f64x2 b) { return Max(a, b); }); return true;
    case SimdOp::SqrtF64: unary([](f64x2 a) { return Sqrt(a); }); return true;
    case SimdOp::SqrtScalarF64: St(io.Out<double>(0), SqrtScalar(Ld(io.In<double>(0)))); return true;
    case SimdOp::AndF64: binary([](f64x2 a, f64x2 b) { return And(a, b); }); return true;
    case SimdOp::AndNotF64: binary([](f64x2 a, f64x2 b) { return AndNot(a, b); }); return true;
    case SimdOp::OrF64: binary([](f64x2 a, f64x2 b) { return Or(a, b); }); return true;
    case SimdOp::XorF64: binary([](f64x2 a, f64x2 b) { return Xor(a, b); }); return true;
    case SimdOp::SelectF64: OutD(io, 0, Select(InD(io, 0), InD(io, 1), InD(io, 2))); return true;
    case SimdOp::CmpLtF64: binary([](f64x2 a, f64x2 b) { return CmpLt(a, b); }); return true;
    case SimdOp::CmpEqF64: binary([](f64x2 a, f64x2 b) { return CmpEq(a, b); }); return true;
    case SimdOp::CmpNgeF64: binary([](f64x2 a, f64x2 b) { return CmpNge(a, b); }); return true;
    case SimdOp::MoveMaskF64: St(io.Out<int32_t>(0), MoveMask(InD(io, 0))); return true;
    case SimdOp::LowLaneOpsF64:
      OutD(io, 0, AddLow(InD(io, 0), InD(io, 1)));
      OutD(io, 1, MulLow(InD(io, 0), InD(io, 1)));
      OutD(io, 2, MaxLow(InD(io, 0), InD(io, 1)));
      return true;
    case SimdOp::RsqrtEstimateViaF32: unary([](f64x2 a) { return RsqrtEstimateViaF32(a); }); return true;
    case SimdOp::NarrowToF32: OutF(io, 0, NarrowToF32(InD(io, 0), InD(io, 1))); return true;
    case SimdOp::LoadStoreF64: {
      // Doubles 1..2 unaligned, 4..5 aligned, 6..7 streamed.
      const double* in = io.In<double>();
      double* out = io.Out<double>();
      StoreU(out + 1, LoadU(in + 1));
      Store(out + 4, LoadAs<true>(in + 4));
      Stream(out + 6, LoadAs<false>(in + 6));
      StoreFence();
      return true;
    }
    case SimdOp::MakeLanesF64: {
      const double* in = io.In<double>();
      OutD(io, 0, Lanes(Ld(in), Ld(in + 1)));
      OutD(io, 1, Add(Splat(Ld(in + 2)), Zero2()));
      OutD(io, 2, Or(SplatBits(Ld(io.In<uint64_t>() + 3)), LowOnly(Ld(in + 4))));
      OutD(io, 3, LoadSingle(in + 5));
      return true;
    }
    case SimdOp::LaneAccessF64:
      St(io.Out<double>(), Lane0(InD(io, 0)));
      St(io.Out<double>() + 1, Lane1(InD(io, 0)));
      return true;
    case SimdOp::SignMasksF64:
      OutD(io, 0, ImagSignMaskF64());
      OutD(io, 1, RealSignMaskF64());
      return true;
    case SimdOp::SwapHalvesF64: unary([](f64x2 a) { return SwapHalves(a); }); return true;
    case SimdOp::ReverseF64: unary([](f64x2 a) { return Reverse(a); }); return true;
    case SimdOp::DupF64:
      OutD(io, 0, DupLow(InD(io, 0)));
      OutD(io, 1, DupHigh(InD(io, 0)));
      return true;
    case SimdOp::InterleaveF64:
      OutD(io, 0, InterleaveLow(InD(io, 0), InD(io, 1)));
      OutD(io, 1, InterleaveHigh(InD(io, 0), InD(io, 1)));
      return true;
    case SimdOp::EvenOddLanesF64:
      OutD(io, 0, EvenLanes(InD(io, 0), InD(io, 1)));
      OutD(io, 1, OddLanes(InD(io, 0), InD(io, 1)));
      return true;
    case SimdOp::Transpose2x2F64: {
      f64x2 r0 = InD(io, 0), r1 = InD(io, 1);
      Transpose2x2(r0, r1);
      OutD(io, 0, r0);
      OutD(io, 1, r1);
      return true;
    }
    case SimdOp::FoldLanesF64: St(io.Out<double>(), FoldLanes(InD(io, 0))); return true;
    case SimdOp::AddSubF64:
#if SP_SET_INDEX >= SP_SET_SSE3
      binary([](f64x2 a, f64x2 b) { return AddSub(a, b); });
      return true;
#else
      return false;
#endif
    case SimdOp::MulComplexF64: binary([](f64x2 a, f64x2 b) { return MulComplex(a, b); }); return true;
    case SimdOp::MulComplexSplitF64: {
      f64x2 re, im;
      MulComplexSplit(InD(io, 0), InD(io, 1), InD(io, 2), InD(io, 3), re, im);
      OutD(io, 0, re);
      OutD(io, 1, im);
      return true;
    }
    case SimdOp::LoadStorePartsF64: {
      const double* in = io.In<double>();
      double* out = io.Out<double>();
      StoreSingle(out, LoadSingle(in + 1));
      StoreHigh1(out + 1, InD(io, 1));
      OutD(io, 1, LoadHigh1(InD(io, 1), in + 4));
      StoreSplit(out + 5, LoadSplit(in + 5));
      return true;
    }
    default: return false;
  }
}

bool ProbeInt(SimdOp op, const Io& io) {
  switch (op) {
    case SimdOp::LoadStoreInt:
      // Unaligned loads of each width; stores of 16- and 32-bit lanes.
      StoreU(reinterpret_cast<int16_t*>(io.out[0].bytes + 1),
             Reinterpret<i16x8>(LoadU(reinterpret_cast<const int8_t*>(io.in[0].bytes + 1))));
      StoreU(reinterpret_cast<int32_t*>(io.out[1].bytes + 2),
             Reinterpret<i32x4>(LoadU(reinterpret_cast<const int16_t*>(io.in[1].bytes + 2))));
      StoreU(reinterpret_cast<int32_t*>(io.out[2].bytes + 4),
             LoadU(reinterpret_cast<const int32_t*>(io.in[2].bytes + 4)));
      return true;
    case SimdOp::MakeLanesInt: {
      const int32_t* in = io.In<int32_t>();
      OutI(io, 0, LanesI32(Ld(in), Ld(in + 1), Ld(in + 2), Ld(in + 3)));
      OutI(io, 1, Add(SplatI32(Ld(in + 4)), ZeroI32()));
      OutI(io, 2, SplatI64(Ld(io.In<uint64_t>() + 3)));
      St(io.Out<int32_t>(3), Lane0(InI<i32x4>(io, 0)));
      St(io.Out<int64_t>(3) + 1, Lane0(InI<i64x2>(io, 2)) + Lane1(InI<i64x2>(io, 2)));
      return true;
    }
    case SimdOp::VectorBits:
      OutI(io, 0, Bits(InF(io, 0)));
      OutF(io, 1, FromBits(InI<i32x4>(io, 1)));
      OutI(io, 2, Bits(InD(io, 2)));
      OutD(io, 3, FromBits(InI<i64x2>(io, 3)));
      return true;
    case SimdOp::BitwiseInt: {
      const i32x4 a = InI<i32x4>(io, 0), b = InI<i32x4>(io, 1), c = InI<i32x4>(io, 2);
      OutI(io, 0, And(a, b));
      OutI(io, 1, AndNot(a, b));
      OutI(io, 2, Or(a, b));
      OutI(io, 3, Select(a, b, c));
      return true;
    }
    case SimdOp::AddSubI32:
      OutI(io, 0, Add(InI<i32x4>(io, 0), InI<i32x4>(io, 1)));
      OutI(io, 1, Sub(InI<i32x4>(io, 0), InI<i32x4>(io, 1)));
      return true;
    case SimdOp::AddSubI64:
      OutI(io, 0, Add(InI<i64x2>(io, 0), InI<i64x2>(io, 1)));
      OutI(io, 1, Sub(InI<i64x2>(io, 0), InI<i64x2>(io, 1)));
      return true;
    case SimdOp::CompareI32:
      OutI(io, 0, CmpGt(InI<i32x4>(io, 0), InI<i32x4>(io, 1)));
      OutI(io, 1, CmpLt(InI<i32x4>(io, 0), InI<i32x4>(io, 1)));
      OutI(io, 2, CmpEq(InI<i32x4>(io, 0), InI<i32x4>(io, 1)));
      return true;
    case SimdOp::MaxMinI32:
      OutI(io, 0, Max(InI<i32x4>(io, 0), InI<i32x4>(io, 1)));
      OutI(io, 1, Min(InI<i32x4>(io, 0), InI<i32x4>(io, 1)));
      return true;
    case SimdOp::MoveMaskI32: St(io.Out<int32_t>(), MoveMask(InI<i32x4>(io, 0))); return true;
    case SimdOp::ShiftsI32: {
      const i32x4 a = InI<i32x4>(io, 0);
      OutI(io, 0, ShiftLeft<3>(a));
      OutI(io, 1, ShiftRightLogical<3>(a));
      OutI(io, 2, ShiftRightArith<3>(a));
      OutI(io, 3, ShiftLeft(a, Ld(io.In<int32_t>(1))));
      return true;
    }
    case SimdOp::ShiftsI64: OutI(io, 0, ShiftRightLogical<4>(InI<i64x2>(io, 0))); return true;
    case SimdOp::LowHalvesOfI64:  // lanes 0 and 1 only
      OutI(io, 0, LowHalvesOfI64(InI<i64x2>(io, 0)));
      std::memset(io.out[0].bytes + 8, 0, 8);
      return true;
    case SimdOp::JoinLow64: OutI(io, 0, JoinLow64(InI<i32x4>(io, 0), InI<i32x4>(io, 1))); return true;
    case SimdOp::WidenI8ToI16:
      OutI(io, 0, WidenLowI8ToI16(InI<i8x16>(io, 0)));
      OutI(io, 1, WidenHighI8ToI16(InI<i8x16>(io, 0)));
      return true;
    case SimdOp::WidenI16ToI32:
      OutI(io, 0, WidenLowI16ToI32(InI<i16x8>(io, 0)));
      OutI(io, 1, WidenHighI16ToI32(InI<i16x8>(io, 0)));
      return true;
    case SimdOp::WidenQuarterI8ToI32:
      for (int q = 0; q < 4; ++q) OutI(io, q, WidenQuarterI8ToI32(InI<i8x16>(io, 0), q));
      return true;
    case SimdOp::PackSatI32ToI16: OutI(io, 0, PackSatI32ToI16(InI<i32x4>(io, 0), InI<i32x4>(io, 1))); return true;
    case SimdOp::RoundingShiftRightI32:
      OutI(io, 0, RoundingShiftRightI32(InI<i32x4>(io, 0), Ld(io.In<int32_t>(1))));
      return true;
    case SimdOp::IntToFloat:
      OutF(io, 0, I32ToF32(InI<i32x4>(io, 0)));
      OutD(io, 1, LowI32ToF64(InI<i32x4>(io, 0)));
      OutD(io, 2, HighI32ToF64(InI<i32x4>(io, 0)));
      return true;
    case SimdOp::FloatToInt:
      OutI(io, 0, F32ToI32Round(InF(io, 0)));
      OutI(io, 1, F64ToI32Round(InD(io, 1)));
      OutI(io, 2, F64ToI32Trunc(InD(io, 1)));
      return true;
    default: return false;
  }
}
#endif

#if SP_SET_INDEX == SP_SET_SSE
bool ProbeMmx(SimdOp op, const Io& io) {
  if (op != SimdOp::MmxPairs) return false;
  // Lane-wise maximum of two pairs by compare-and-select, and a splat.
  for (int k = 0; k < 2; ++k) {
    const i32x2 x = LoadU(io.In<int32_t>(0) + 2 * k), y = LoadU(io.In<int32_t>(1) + 2 * k);
    StoreU(io.Out<int32_t>(0) + 2 * k, Select(CmpGt(x, y), x, y));
  }
  StoreU(io.Out<int32_t>(1), SplatI32x2(Ld(io.In<int32_t>(2))));
  EndMmx();
  return true;
}
#endif

}  // namespace

bool SP_V(spSimdProbe)(SimdOp op, const SimdBlock* in, SimdBlock* out) {
  std::memset(out, 0, 4 * sizeof(SimdBlock));
  const Io io{in, out};
  if (ProbeScalar(op, io)) return true;
#if SP_SET_HAS_F32_VECTORS
  if (ProbeF32(op, io)) return true;
#endif
#if SP_SET_INDEX >= SP_SET_SSE2
  if (ProbeF64(op, io) || ProbeInt(op, io)) return true;
#endif
#if SP_SET_INDEX == SP_SET_SSE
  if (ProbeMmx(op, io)) return true;
#endif
  return false;
}

}  // namespace SP_SET_NS
