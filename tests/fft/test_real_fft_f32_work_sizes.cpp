// The work-buffer size a single-precision spec records (the bytes a caller's
// buffer must hold after its 16-byte advance), in every set, against values
// evaluated by hand from the plan rules: none for orders 0 to 3; with plain
// twiddles none in the generic set and room for the M = N/2 complex values
// in the others; on the large path the largest of the deepest rows' need
// (SSE: their 8 << d bytes, 8192 for blocked rows; SSE2 and later: 8 << d)
// and, per level, four gathered columns (32 << k1, generic and SSE) or one
// column group (8 << b, SSE2 and later). A size too small lets a transform
// with a caller's buffer write past it; one too large wastes every call's
// allocation.
#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "fft/real_fft_reference.h"
#include "primitives/frame/set_list.h"
#include "support/variant_sets.h"

using namespace real_fft_test;

namespace {

class RealFftF32WorkSizeTest : public VariantSetTest {};

// (order, bytes) pairs of one set.
std::vector<std::pair<int, int64_t>> ExpectedWorkBytes(int set) {
  switch (set) {
    case SP_SET_GENERIC:
      return {{0, 0},     {3, 0},  {4, 0},   // small kernels; plain twiddles need nothing
              {11, 0},    {12, 0}, {13, 0},  // plain (m 10); blocked (m 11, 12)
              {14, 1024},                    // k1 5 over plain rows of 2^8: 32 << 5
              {18, 8192},                    // k1 8 over rows of 2^9: 32 << 8
              {22, 32768}};                  // k1 10 over blocked rows of 2^11: 32 << 10
    case SP_SET_SSE:
      return {{3, 0},      {4, 64}, {11, 8192},  // 8M bytes with plain twiddles
              {12, 8192},                        // blocked: 8192
              {14, 2048},                        // rows of 2^8: 8 << 8 above 32 << 5
              {20, 32768},                       // rows of 2^9 (4096) below 32 << 10
              {22, 32768}};                      // blocked rows (8192) below 32 << 10
    case SP_SET_SSE2:
      return {{4, 64},
              {16, 262144},   // plain up to m 15
              {17, 32768},    // k1 4, rows of 2^12: 8 << 12 above 8 << 9
              {20, 131072},   // k1 5, rows of 2^14 above 8 << 13
              {23, 131072}};  // k1 8, rows of 2^14 and 8 << 14
    case SP_SET_SSE3:
      return {{17, 524288},   // plain up to m 16
              {18, 131072},   // k1 3, rows of 2^14 above 8 << 9
              {22, 524288}};  // k1 5, rows of 2^16 above 8 << 13
    default:
      return {{18, 1048576},  // plain up to m 17
              {19, 131072},   // k1 4, rows of 2^14 above 8 << 10
              {22, 524288},   // k1 5, rows of 2^16 above 8 << 13
              {23, 262144}};  // k1 8, rows of 2^14 below 8 << 15
  }
}

TEST_P(RealFftF32WorkSizeTest, SpecRecordsThePlansWorkBytes) {
  for (const auto& [order, bytes] : ExpectedWorkBytes(SetIndex())) {
    SpecOf<float> spec(order, REALFFT_NO_DIV);
    ASSERT_EQ(spec.status, spOk) << "order " << order;
    EXPECT_EQ(spec.p->workBytes, bytes) << "order " << order;
  }
}

SP_INSTANTIATE_FOR_ALL_SETS(RealFftF32WorkSizeTest);

}  // namespace
