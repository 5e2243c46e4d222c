// The real-FFT primitives of one variant set, written once for both
// precisions: spec build and release, forward and inverse drivers, and the
// complex stage, which picks the fused, radix or large-size path of the
// set. A set instantiates them with its Plan (its group header), which
// meets RealFftPlan below. See README.md in this folder for the paths.
//
// Include only from *_variant.cpp.
#pragma once
#include <cmath>
#include <concepts>
#include <cstdint>

#include "primitives/fft/fft_tables.h"
#include "primitives/fft/real_fft_engine.h"
#include "primitives/fft/sp_real_fft.h"
#include "primitives/frame/arg_checks.h"
#include "primitives/frame/memory_kernels.h"
#include "primitives/frame/plan_record.h"

namespace SP_SET_NS::fftk {

// What the driver asks of a set group's Plan: the element type (and so the
// record kind), the set's limits, its table builders and its kernels.
template <class P, class T = typename P::T>
concept PlanLimitsAndTables = requires(int32_t m, int32_t* table, const T* sine, T* d, REALFFTSPEC& record) {
  { P::kFusedLimit } -> std::convertible_to<int32_t>;  // largest m of the fused kernel (0: none)
  { P::kPlainLimit } -> std::convertible_to<int32_t>;  // largest m with plain twiddles
  { P::BuildBitReversal(m, table) } -> std::same_as<int32_t*>;
  { P::BuildTwiddles(m, sine, m, d) } -> std::same_as<T*>;
  { P::BuildSplitForward(m, sine, d) } -> std::same_as<T*>;
  { P::BuildSplitInverse(m, sine, d) } -> std::same_as<T*>;
  { P::PlainWorkBytes(m) } -> std::same_as<int64_t>;
  // The large plan into its room of the spec's block (it points the
  // spec's tables at it and sets workBytes).
  { P::LargePlanBytes(m) } -> std::same_as<int64_t>;
  P::BuildLargePlan(record, m, sine, m, d);
};
// Bit reversal, the large-size path above the plain limit (bit-reversed
// data in place; applies the scale itself), split, merge and scale.
template <class P, class T = typename P::T>
concept PlanSteps = requires(const int32_t* index, const T* s, T* d, int64_t n, int32_t m, T x,
                             const spkRealFftView<T>& spec) {
  P::BitRevInPlace(d, n, index);
  P::BitRevCopy(s, d, n, index);
  P::template Large<false>(spec, d, m, d);
  P::template Large<true>(spec, d, m, d);
  P::Split(d, n, s);
  P::Merge(s, d, n, s);
  P::Scale(x, d, n);
};
// With a fused limit, the fused kernel: natural order in and out, applies
// the scale given (null: none).
template <class P, class T = typename P::T>
concept PlanFused = P::kFusedLimit == 0 || requires(const T* s, T* d, int64_t n, const int32_t* index) {
  P::template Fused<false>(s, d, n, s, index, d, s);
  P::template Fused<true>(s, d, n, s, index, d, s);
};
// With orders between the fused and the plain limit, the radix passes on
// bit-reversed data in place.
template <class P, class T = typename P::T>
concept PlanRadix = P::kFusedLimit >= P::kPlainLimit || requires(T* d, int64_t n) {
  P::template Radix<false>(d, n, d, d);
  P::template Radix<true>(d, n, d, d);
};
template <class T>
concept RealFftElement = std::same_as<T, float> || std::same_as<T, double>;
template <class P>
concept RealFftPlan =
    RealFftElement<typename P::T> && PlanLimitsAndTables<P> && PlanSteps<P> && PlanFused<P> && PlanRadix<P>;

// Optional: the large-size path reading the natural-order input itself
// (s, which may be d) where FoldsBitReversal(m, d), with no bit-reversal
// pass first.
template <class P, class T = typename P::T>
concept PlanFoldsBitReversal = requires(const spkRealFftView<T>& spec, const T* s, T* d, int32_t m) {
  { P::FoldsBitReversal(m, d) } -> std::same_as<bool>;
  P::template LargeFromSource<false>(spec, s, d, m, d);
  P::template LargeFromSource<true>(spec, s, d, m, d);
};

// Optional: the inverse's merge inside the fused kernel's first stage, from
// the packed spectrum s, for the orders up to the fused limit where
// MergesInverse(m); applies the scale given.
template <class P, class T = typename P::T>
concept PlanMergesInverse = requires(int32_t m, const T* s, T* d, int64_t n, const int32_t* index) {
  { P::MergesInverse(m) } -> std::same_as<bool>;
  P::FusedFromMerge(s, d, n, s, index, s, d, s);
};

inline constexpr int32_t kLargestOrder = 30;

// The record kind of each precision.
template <class T>
inline constexpr int32_t kSpecKind = sizeof(T) == sizeof(float) ? kRealFftKindF32 : kRealFftKindF64;
inline constexpr int32_t kSmallOrders = 3;  // orders 0..3 run the small kernels

// Where each table sits in a spec's block.
struct SpecLayout {
  spPlanLayout block{sizeof(REALFFTSPEC)};
  int64_t bitReversal = 0, twiddles = 0, splitForward = 0, splitInverse = 0;
};

// True when the complex order runs the set's large-size plan.
template <RealFftPlan Plan>
inline bool UsesLargePlan(int32_t m) {
  return m > Plan::kPlainLimit;
}

// Plain twiddles reserve room for M + 1 complex values, which every set's
// layout fits in (the large-size plan its own bytes in the same place); the
// split tables N/4 complex values each.
template <RealFftPlan Plan>
SpecLayout SpecLayoutOf(int32_t order) {
  using T = typename Plan::T;
  SpecLayout layout;
  if (order <= kSmallOrders) return layout;
  const int32_t m = order - 1;
  layout.bitReversal = layout.block.Reserve(BitRevTableEntries(m), sizeof(int32_t));
  if (UsesLargePlan<Plan>(m))
    layout.twiddles = layout.block.Reserve(Plan::LargePlanBytes(m), 1);
  else
    layout.twiddles = layout.block.Reserve(2 * (Pow2(m) + 1), sizeof(T));
  layout.splitForward = layout.block.Reserve(2 * (Pow2(order) / 4), sizeof(T));
  layout.splitInverse = layout.block.Reserve(2 * (Pow2(order) / 4), sizeof(T));
  return layout;
}

// Sets kind 0 and gives the block back when the spec owns it.
inline void ReleaseSpec(REALFFTSPEC* spec) {
  spec->kind = kRealFftKindReleased;
  if (spec->owned == 1) spkPlanBlockFree(spec);
}

// The typed view of a live spec of T that the transforms read: the one
// place where the record's untyped table pointers get their type.
template <class T>
inline spkRealFftView<T> ViewOf(const REALFFTSPEC& spec) {
  const auto typed = [](const void* table) { return static_cast<const T*>(table); };
  return {spec.order,
          spec.forwardScaled == 1,
          spec.inverseScaled == 1,
          static_cast<T>(spec.scale),
          spec.bitReversal,
          typed(spec.twiddles),
          typed(spec.subsampledTwiddles),
          typed(spec.splitForward),
          typed(spec.splitInverse),
          {typed(spec.rowTwiddles[0]), typed(spec.rowTwiddles[1]), typed(spec.rowTwiddles[2])},
          {typed(spec.multiplyTables[0]), typed(spec.multiplyTables[1]), typed(spec.multiplyTables[2])}};
}

// The scaling `scaleFlag` asks for, into the spec; false for an unknown flag.
template <class T>
bool SetScaling(REALFFTSPEC* spec, int32_t order, int32_t scaleFlag) {
  const double n = std::ldexp(1.0, order);
  switch (scaleFlag) {
    case REALFFT_NO_DIV: return true;
    case REALFFT_DIV_BY_SQRT_N:
      spec->forwardScaled = spec->inverseScaled = 1;
      spec->scale = static_cast<T>(1.0 / std::sqrt(n));
      return true;
    case REALFFT_DIV_FWD_BY_N:
      spec->forwardScaled = 1;
      spec->scale = static_cast<T>(1.0 / n);
      return true;
    case REALFFT_DIV_INV_BY_N:
      spec->inverseScaled = 1;
      spec->scale = static_cast<T>(1.0 / n);
      return true;
    default: return false;
  }
}

// The bit reversal, the complex stage's twiddles (or its large plan) and
// the split tables, all from one sine table, into the spec's block at the
// layout's places; false when the sine table finds no memory.
template <RealFftPlan Plan>
bool BuildTables(REALFFTSPEC* spec, const SpecLayout& layout, int32_t order) {
  using T = typename Plan::T;
  const int32_t m = order - 1;
  auto* sine = static_cast<T*>(SP_V(spkAlignedAlloc)((Pow2(order) / 4 + 1) * static_cast<int64_t>(sizeof(T))));
  if (sine == nullptr) return false;
  SinTable(order, sine);
  spec->bitReversal = spPlanSlice<int32_t>(spec, layout.bitReversal);
  Plan::BuildBitReversal(m, spec->bitReversal);
  T* twiddles = spPlanSlice<T>(spec, layout.twiddles);
  if (UsesLargePlan<Plan>(m)) {
    Plan::BuildLargePlan(*spec, m, sine, order, twiddles);
  } else {
    Plan::BuildTwiddles(m, sine, order, twiddles);
    spec->twiddles = twiddles;
    spec->workBytes = Plan::PlainWorkBytes(m);
  }
  T* splitForward = spPlanSlice<T>(spec, layout.splitForward);
  T* splitInverse = spPlanSlice<T>(spec, layout.splitInverse);
  Plan::BuildSplitForward(order, sine, splitForward);
  Plan::BuildSplitInverse(order, sine, splitInverse);
  spec->splitForward = splitForward;
  spec->splitInverse = splitInverse;
  SP_V(spkAlignedFree)(sine);
  return true;
}

template <RealFftPlan Plan>
spStatus InitSpec(REALFFTSPEC** out, int32_t order, int32_t scaleFlag, int32_t hint,
                  const spkRealFftEngine<typename Plan::T>& engine) {
  using T = typename Plan::T;
  if (const spStatus s = CheckPointers(out); s != spOk) return s;
  if (order < 0 || order > kLargestOrder) return spErrFftOrder;

  const SpecLayout layout = SpecLayoutOf<Plan>(order);
  auto* spec = static_cast<REALFFTSPEC*>(spkPlanBlockAlloc(layout.block));
  if (spec == nullptr) return spErrNoMemory;
  spec->kind = kSpecKind<T>;
  spec->order = order;
  spec->hint = hint;
  spec->owned = 1;
  spec->owner = spkPlanOwnedHere(&engine);
  if (!SetScaling<T>(spec, order, scaleFlag)) {
    ReleaseSpec(spec);
    return spErrFftScaleFlag;
  }
  // The smallest orders run kernels that need no tables.
  if (order > kSmallOrders && !BuildTables<Plan>(spec, layout, order)) {
    ReleaseSpec(spec);
    return spErrNoMemory;
  }
  *out = spec;
  return spOk;
}

// Any set may release a live spec of the precision: releasing reads no
// table and runs no kernel of the set that built it.
template <class T>
spStatus FreeSpec(REALFFTSPEC* spec) {
  if (const spStatus s = CheckPointers(spec); s != spOk) return s;
  if (spec->kind != kSpecKind<T>) return spErrSpecKind;
  ReleaseSpec(spec);
  return spOk;
}

// The spec's engine when this set built a live spec of the precision, else
// null.
template <class T>
inline const spkRealFftEngine<T>* EngineOf(const REALFFTSPEC& spec) {
  if (spec.kind != kSpecKind<T>) return nullptr;
  return spkPlanKernels<spkRealFftEngine<T>>(spec.owner);
}

// Scratch of a transform: none when the spec needs none, else the caller's
// buffer from its first 16-byte boundary, else an allocated block.
class Scratch {
 public:
  Scratch(const REALFFTSPEC& spec, uint8_t* callers) {
    if (spec.workBytes <= 0) return;
    if (callers != nullptr) {
      at_ = callers + ((16 - (reinterpret_cast<uintptr_t>(callers) & 15)) & 15);
    } else {
      at_ = owned_ = SP_V(spkAlignedAlloc)(spec.workBytes);
      failed_ = at_ == nullptr;
    }
  }
  ~Scratch() { SP_V(spkAlignedFree)(owned_); }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  bool Failed() const { return failed_; }
  void* Get() const { return at_; }

 private:
  void* at_ = nullptr;
  void* owned_ = nullptr;
  bool failed_ = false;
};

// The forward transform's core, shared with the compact-spectrum layout:
// src to dst in the kernel spectrum order R0, R(N/2), Re1, Im1, .. (N > 1;
// dst[1] left as it is for N = 1). Only a scratch block that cannot be had
// fails it.
template <class T>
spStatus ForwardCore(const spkRealFftEngine<T>& engine, const spkRealFftView<T>& view, const REALFFTSPEC& spec,
                     const T* src, T* dst, uint8_t* work) {
  const int32_t order = view.order;
  if (order <= kSmallOrders) {
    if (view.forwardScaled)
      engine.small->fwdScaled[order](src, dst, view.scale);
    else
      engine.small->fwd[order](src, dst);
    return spOk;
  }
  const int64_t n = Pow2(order);
  Scratch scratch(spec, work);
  if (scratch.Failed()) return spErrNoMemory;
  const bool scaled = engine.complexForward(view, src, dst, scratch.Get());
  if (view.forwardScaled && !scaled) engine.scale(view.scale, dst, n);
  const T a = dst[0], b = dst[1];
  dst[0] = a + b;  // X[0]
  dst[1] = a - b;  // X[N/2]
  engine.split(dst, n / 2, view.splitForward);
  return spOk;
}

template <class T>
spStatus ForwardReal(const T* src, T* dst, REALFFTSPEC* spec, uint8_t* work) {
  // The spec is checked (null, then kind) before the arrays.
  if (const spStatus s = CheckPointers(spec); s != spOk) return s;
  const spkRealFftEngine<T>* engine = EngineOf<T>(*spec);
  if (engine == nullptr) return spErrSpecKind;
  if (const spStatus s = CheckPointers(src, dst); s != spOk) return s;

  const spkRealFftView<T> view = ViewOf<T>(*spec);
  if (const spStatus s = ForwardCore(*engine, view, *spec, src, dst, work); s != spOk) return s;
  const int64_t n = Pow2(view.order);
  if (n == 1) {
    dst[1] = T(0);
  } else {
    dst[n] = dst[1];
    dst[n + 1] = T(0);
    dst[1] = T(0);
  }
  return spOk;
}

// The inverse's half-length spectrum from the packed one (n real points):
// the first complex value from X[0] and X[n/2], then the merge.
template <class T, class Merge>
inline void MergeSpectrum(const T* src, T* dst, int64_t n, const T* table, Merge merge) {
  const T first = src[0], last = src[n];
  dst[0] = first + last;
  dst[1] = first - last;
  merge(src, dst, n / 2, table);
}

// The inverse transform's core, shared with the compact-spectrum layout,
// for orders above the small kernels: the spectrum's bins 1 .. N/2 - 1 at
// their kernel-order places in src (2k, 2k + 1), R0 and R(N/2) given, to
// dst (src may be dst: slots 0 and 1 are written before the merge, which
// never reads them), with the scratch the caller got first.
template <class T>
void InverseCore(const spkRealFftEngine<T>& engine, const spkRealFftView<T>& view, const T* src, T r0, T nyquist,
                 T* dst, void* scratch) {
  const int64_t n = Pow2(view.order);
  dst[0] = r0 + nyquist;
  dst[1] = r0 - nyquist;
  engine.merge(src, dst, n / 2, view.splitInverse);
  const bool scaled = engine.complexInverse(view, dst, scratch);
  if (view.inverseScaled && !scaled) engine.scale(view.scale, dst, n);
}

// The small kernels' inverse on dst, already in the kernel spectrum order.
template <class T>
void InverseSmall(const spkRealFftEngine<T>& engine, const spkRealFftView<T>& view, T* dst) {
  if (view.inverseScaled)
    engine.small->invScaled[view.order](dst, dst, view.scale);
  else
    engine.small->inv[view.order](dst, dst);
}

template <class T>
spStatus InverseReal(const T* src, T* dst, REALFFTSPEC* spec, uint8_t* work) {
  // The spec is checked (null, then kind) before the arrays.
  if (const spStatus s = CheckPointers(spec); s != spOk) return s;
  const spkRealFftEngine<T>* engine = EngineOf<T>(*spec);
  if (engine == nullptr) return spErrSpecKind;
  if (const spStatus s = CheckPointers(src, dst); s != spOk) return s;

  const spkRealFftView<T> view = ViewOf<T>(*spec);
  const int32_t order = view.order;
  const int64_t n = Pow2(order);
  if (order <= kSmallOrders) {
    // Kernel spectrum order in dst, then the kernel in place.
    if (n > 1) {
      const T nyquist = src[n];
      for (int64_t i = 2; i < n; ++i) dst[i] = src[i];
      dst[1] = nyquist;
    }
    dst[0] = src[0];
    InverseSmall(*engine, view, dst);
    return spOk;
  }
  Scratch scratch(*spec, work);
  if (scratch.Failed()) return spErrNoMemory;
  if (engine->inverseFromSpectrum == nullptr) {
    InverseCore(*engine, view, src, src[0], src[n], dst, scratch.Get());
    return spOk;
  }
  const bool scaled = engine->inverseFromSpectrum(view, src, dst, scratch.Get());
  if (view.inverseScaled && !scaled) engine->scale(view.scale, dst, n);
  return spOk;
}

// The complex stage of M = N/2 points: the fused kernel up to its limit,
// else bit reversal and the radix passes up to the plain limit or the
// large-size path above it. True when the path applied the scale.
template <RealFftPlan Plan, bool kInverse, class T = typename Plan::T>
bool ComplexTransform(const spkRealFftView<T>& spec, const T* src, T* dst, void* work) {
  const int32_t m = spec.order - 1;
  const int64_t points = Pow2(m);
  const T* twiddles = spec.twiddles;
  auto* area = static_cast<T*>(work);
  if constexpr (Plan::kFusedLimit > 0) {
    if (m <= Plan::kFusedLimit) {
      const bool scaled = kInverse ? spec.inverseScaled : spec.forwardScaled;
      Plan::template Fused<kInverse>(src, dst, points, twiddles, spec.bitReversal, area,
                                     scaled ? &spec.scale : nullptr);
      return scaled;
    }
  }
  if constexpr (PlanFoldsBitReversal<Plan>) {
    if (m > Plan::kPlainLimit && Plan::FoldsBitReversal(m, dst)) {
      Plan::template LargeFromSource<kInverse>(spec, src, dst, m, area);
      return true;
    }
  }
  if (src == dst)
    Plan::BitRevInPlace(dst, points, spec.bitReversal);
  else
    Plan::BitRevCopy(src, dst, points, spec.bitReversal);
  if (m > Plan::kPlainLimit) {
    Plan::template Large<kInverse>(spec, dst, m, area);
    return true;
  }
  if constexpr (Plan::kFusedLimit < Plan::kPlainLimit) Plan::template Radix<kInverse>(dst, points, twiddles, area);
  return false;
}

template <RealFftPlan Plan, class T = typename Plan::T>
bool ComplexForward(const spkRealFftView<T>& spec, const T* src, T* dst, void* work) {
  return ComplexTransform<Plan, false>(spec, src, dst, work);
}
template <RealFftPlan Plan, class T = typename Plan::T>
bool ComplexInverse(const spkRealFftView<T>& spec, T* data, void* work) {
  return ComplexTransform<Plan, true>(spec, data, data, work);
}

// The inverse's merge and complex stage, with the merge folded into the
// fused kernel's first stage for the complex orders up to the fused limit
// that Plan::MergesInverse names, else merge then ComplexTransform. True
// when the path applied the scale.
template <RealFftPlan Plan, class T = typename Plan::T>
requires PlanMergesInverse<Plan>
bool InverseFromSpectrum(const spkRealFftView<T>& spec, const T* src, T* dst, void* work) {
  const int32_t m = spec.order - 1;
  const T* split = spec.splitInverse;
  if (m <= Plan::kFusedLimit && Plan::MergesInverse(m)) {
    const bool scaled = spec.inverseScaled;
    Plan::FusedFromMerge(src, dst, Pow2(m), spec.twiddles, spec.bitReversal, split, static_cast<T*>(work),
                         scaled ? &spec.scale : nullptr);
    return scaled;
  }
  MergeSpectrum(src, dst, Pow2(spec.order), split, &Plan::Merge);
  return ComplexTransform<Plan, true>(spec, dst, dst, work);
}
// The set's InverseFromSpectrum, null when its plan has no merged first
// stage.
template <RealFftPlan Plan, class T = typename Plan::T>
constexpr auto InverseFromSpectrumOf() {
  bool (*fn)(const spkRealFftView<T>&, const T*, T*, void*) = nullptr;
  if constexpr (PlanMergesInverse<Plan>) fn = &InverseFromSpectrum<Plan>;
  return fn;
}

}  // namespace SP_SET_NS::fftk
