#include "Mathlib/MathlibConvert.h"

#include <cmath>
#include <optional>

#include "Mathlib/MathlibMemory.h"
#include "Mathlib/MathlibTrace.h"
#include "primitives/vector/sp_convert.h"

namespace {
constexpr double kMachineEpsilon = 2.220446049250313e-16;

// The record a call works with: the caller's, or a temporary one that is
// released when the call ends.
class ScratchRecord {
 public:
  explicit ScratchRecord(MathlibConvCache* callers) : m_record(callers) {
    if (!m_record) {
      m_record = MathlibConvCacheCreate();
      m_owned = true;
    }
  }
  ~ScratchRecord() {
    if (m_owned) MathlibConvCacheFree(m_record);
  }
  ScratchRecord(const ScratchRecord&) = delete;
  ScratchRecord& operator=(const ScratchRecord&) = delete;

  // A buffer of n elements of `bits` bits, reused when the record already
  // has one of that shape; null when it cannot be had.
  void* Buffer(int32_t n, int32_t bits) {
    if (!m_record || n < 1) return nullptr;
    if (m_record->count == n && m_record->elementBits == bits && m_record->buffer) return m_record->buffer;
    m_record->count = n;
    m_record->elementBits = bits;
    MathlibFreeMem(m_record->buffer);
    m_record->buffer = MathlibAllocGuarded(n, bits / 8);
    return m_record->buffer;
  }

 private:
  MathlibConvCache* m_record;
  bool m_owned = false;
};

// Floor of one element, saturated to 32 bits: truncation for values not
// below 0, otherwise one less than the truncation unless x is within the
// machine epsilon of it.
int32_t FloorElement(double x) {
  int32_t result = 0;
  if (x >= 0.0 || std::isnan(x)) {
    spConvF64ToI32(&x, &result, 1, 0, 0);
    return result;
  }
  const double t = std::trunc(x);
  const double r = (t - x > kMachineEpsilon) ? t - 1.0 : t;
  if (r <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(r);
}

void TraceFloorFallback() {
  MathlibTrace(stderr, "WARNING from MathLib: NSP_TruncNeg not supported by VORLib, using generic function (slower)\n");
}

spStatus StatusForEmpty(const void* src, const void* dst) { return (!src || !dst) ? spErrNullPointer : spErrLength; }
}  // namespace

MathlibConvCache* MathlibConvCacheCreate() {
  auto* record = static_cast<MathlibConvCache*>(MathlibAlloc(sizeof(MathlibConvCache)));
  if (!record) {
    MathlibTrace(nullptr, "MathlibConvCacheCreate(), ERROR: out of memory\n");
    return nullptr;
  }
  record->count = 0;
  record->buffer = nullptr;
  record->elementBits = 0;
  return record;
}

void MathlibConvCacheFree(MathlibConvCache* cache) {
  if (!cache) return;
  MathlibFreeMem(cache->buffer);
  cache->count = 0;
  cache->buffer = nullptr;
  cache->elementBits = 0;
  MathlibFreeMem(cache);
}

spStatus MathlibIntToF32(MathlibConvCache*, const void* src, float* dst, int32_t n, int32_t width) {
  switch (width) {
    case 32: return spConvI32ToF32(static_cast<const int32_t*>(src), dst, n);
    case 16: return spConvI16ToF32(static_cast<const int16_t*>(src), dst, n);
    case 8: return spConvI8ToF32(static_cast<const int8_t*>(src), dst, n);
    default: return MathlibErrWidth;
  }
}

spStatus MathlibIntToF64(MathlibConvCache* cache, const void* src, double* dst, int32_t n, int32_t width) {
  switch (width) {
    case 32: return spConvI32ToF64(static_cast<const int32_t*>(src), dst, n);
    case 16: return spConvI16ToF64Scaled(static_cast<const int16_t*>(src), dst, n, 0);
    case 8: {
      if (!src || !dst || n < 1) return StatusForEmpty(src, dst);
      ScratchRecord record(cache);
      auto* wide = static_cast<int16_t*>(record.Buffer(n, 16));
      spConvI8ToI16(static_cast<const int8_t*>(src), wide, n);
      return spConvI16ToF64Scaled(wide, dst, n, 0);
    }
    default: return MathlibErrWidth;
  }
}

void MathlibF64ToInt(MathlibConvCache* cache, const double* src, void* dst, int32_t n, int32_t width, int32_t flags) {
  if (width == 32) {
    auto* out = static_cast<int32_t*>(dst);
    if (flags & MathlibRoundNearest) spConvF64ToI32(src, out, n, 1, 0);
    if (flags & MathlibRoundTrunc) spConvF64ToI32(src, out, n, 0, 0);
    if (flags & NSP_TruncNeg) {
      TraceFloorFallback();
      if (src && out)
        for (int32_t i = 0; i < n; ++i) out[i] = FloorElement(src[i]);
    }
    return;
  }
  if (width != 16) return;

  auto* out = static_cast<int16_t*>(dst);
  // Null pointers and empty counts reach the primitives, which refuse them;
  // nothing is allocated for them.
  std::optional<ScratchRecord> record;
  int32_t* wide = nullptr;
  if (src && out && n >= 1) {
    record.emplace(cache);
    wide = static_cast<int32_t*>(record->Buffer(n, 32));
  }
  if (flags & MathlibRoundNearest) {
    spConvF64ToI32(src, wide, n, 1, 0);
    spConvI32ToI16Sat(wide, out, n, 0);
  }
  if (flags & MathlibRoundTrunc) {
    spConvF64ToI32(src, wide, n, 0, 0);
    spConvI32ToI16Sat(wide, out, n, 0);
  }
  if (flags & NSP_TruncNeg) {
    TraceFloorFallback();
    if (wide)
      for (int32_t i = 0; i < n; ++i) {
        wide[i] = FloorElement(src[i]);
        spConvI32ToI16Sat(&wide[i], &out[i], 1, 0);
      }
  }
}
