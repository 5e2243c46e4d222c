// Strided two-dimensional copy under every variant set: every bit pattern
// arrives unchanged (signalling NaNs, denormals, infinities, negative zero),
// through padded, transposing, spread and misaligned layouts, odd and even
// widths; nothing outside the destination elements changes.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <limits>
#include <vector>

#include "matrix_test_support.h"
#include "primitives/matrix/sp_matrix.h"

namespace {

using namespace matrix_test;

class Copy2DTest : public VariantSetTest {};

// Random bit patterns with signalling NaNs and other special values mixed in.
template <class T>
std::vector<T> Patterns(size_t n, uint32_t seed) {
  using Word = std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>;
  std::mt19937_64 gen(seed);
  std::vector<T> v(n);
  const Word specials[] = {
      static_cast<Word>(sizeof(T) == 4 ? 0x7F800001ull : 0x7FF0000000000001ull),  // signalling NaN
      static_cast<Word>(sizeof(T) == 4 ? 0xFFA00005ull : 0xFFF4000000000005ull),  // negative signalling NaN
      std::bit_cast<Word>(std::numeric_limits<T>::denorm_min()),
      std::bit_cast<Word>(-std::numeric_limits<T>::infinity()), std::bit_cast<Word>(-T{0})};
  for (size_t i = 0; i < n; ++i) {
    const Word w = i % 3 == 0 ? specials[(i / 3) % 5] : static_cast<Word>(gen());
    v[i] = std::bit_cast<T>(w);
  }
  return v;
}

template <class T>
spStatus Copy(StridedBlock<T>& src, StridedBlock<T>& dst) {
  if constexpr (std::is_same_v<T, float>)
    return spCopy2DStridedF32(src.base(), src.rowStride(), src.elemStride(), dst.base(), dst.rowStride(),
                              dst.elemStride(), src.cols(), src.rows());
  else
    return spCopy2DStridedF64(src.base(), src.rowStride(), src.elemStride(), dst.base(), dst.rowStride(),
                              dst.elemStride(), src.cols(), src.rows());
}

template <class T>
void CheckLayouts() {
  const int64_t E = sizeof(T);
  for (int rows : {1, 2, 5})
    for (int cols : {1, 2, 3, 8, 17}) {
      // (source row, element; destination row, element) strides in elements,
      // and the byte offset of both arrays.
      const int64_t layouts[][5] = {
          {cols, 1, cols, 1, 0},          // dense
          {cols + 3, 1, cols + 1, 1, 4},  // padded rows
          {1, rows, cols, 1, 8},          // column-major source: a transpose
          {2 * cols + 1, 2, 1, rows, 1},  // spread source, column-major destination, misaligned
      };
      for (const auto& l : layouts) {
        StridedBlock<T> src(rows, cols, l[0] * E, l[1] * E, l[4]), dst(rows, cols, l[2] * E, l[3] * E, l[4]);
        const std::vector<T> values = Patterns<T>(static_cast<size_t>(rows) * cols, rows * 100 + cols);
        src.Fill(values);
        ASSERT_EQ(Copy(src, dst), spOk);
        const std::vector<T> got = dst.Read();
        ASSERT_EQ(std::memcmp(got.data(), values.data(), values.size() * sizeof(T)), 0)
            << rows << "x" << cols << " layout " << (&l - layouts);
        ASSERT_TRUE(dst.GuardsIntact()) << rows << "x" << cols << " layout " << (&l - layouts);
      }
    }
}

TEST_P(Copy2DTest, CopiesEveryBitPatternF32) { CheckLayouts<float>(); }
TEST_P(Copy2DTest, CopiesEveryBitPatternF64) { CheckLayouts<double>(); }

SP_INSTANTIATE_FOR_ALL_SETS(Copy2DTest);

}  // namespace
