// The SIMD sets' large-size double FFT helpers, called directly in the
// SSE2, SSE3 and SSSE3 sets: the column kernel at every length from 8 to
// 2^14 against a long-double FFT in both directions and both output
// layouts, at 16-byte and 8-byte alignment (the latter through the work
// buffer, which the aligned form never touches); gather and scatter in
// both modes; the radix-4 and radix-2 twiddle passes against a long-double
// evaluation of their formulas, every group reading the same records.
#include <gtest/gtest.h>

#include <complex>
#include <cstring>
#include <numbers>
#include <vector>

#include "fft/real_fft_reference.h"
#include "primitives/fft/real_fft_f64_kernels.h"
#include "support/dft_reference.h"
#include "support/variant_sets.h"

using namespace real_fft_test;

namespace {

using ColumnKernelFn = void (*)(double*, int32_t, const double*, double*, int32_t);
using PassFn = void (*)(const double*, double*, int64_t, int64_t, const double*);

struct Helpers {
  double* (*sine)(int32_t, double*);
  double* (*twiddles)(int32_t, const double*, int32_t, double*);
  ColumnKernelFn kernel[2];  // forward, inverse
  void (*gather)(const double*, double*, int64_t, int32_t, int32_t);
  void (*scatter)(double*, const double*, int64_t, int32_t, int32_t, int32_t);
  PassFn radix4[2], radix2[2];
};

#define SP_HELPERS_OF(ns, suffix)                                                                 \
  Helpers {                                                                                       \
    ns::spkFftSinTableF64_##suffix, ns::spkFftTwiddleTableF64_##suffix,                           \
        {ns::spkFftLargeColumnKernelFwdC64_##suffix, ns::spkFftLargeColumnKernelInvC64_##suffix}, \
        ns::spkFftLargeGatherC64_##suffix, ns::spkFftLargeScatterC64_##suffix,                    \
        {ns::spkFftLargeTwiddleR4FwdC64_##suffix, ns::spkFftLargeTwiddleR4InvC64_##suffix},       \
        {ns::spkFftLargeTwiddleR2FwdC64_##suffix, ns::spkFftLargeTwiddleR2InvC64_##suffix},       \
  }
const Helpers kHelpers[] = {SP_HELPERS_OF(sp_sse2, Sse2), SP_HELPERS_OF(sp_sse3, Sse3), SP_HELPERS_OF(sp_ssse3, Ssse3)};

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// A 16-byte aligned run of doubles, optionally `shift` doubles past the
// boundary.
struct Aligned {
  std::vector<double> storage;
  double* at;
  Aligned(int64_t count, int shift = 0, double fill = kNaN) : storage(count + 4, fill) {
    at = storage.data();
    if ((reinterpret_cast<uintptr_t>(at) & 15) != 0) ++at;
    at += shift;
  }
};

int64_t Reverse(int64_t i, int bits) {
  int64_t r = 0;
  for (int b = 0; b < bits; ++b) r |= ((i >> b) & 1) << (bits - 1 - b);
  return r;
}

// Pair-split value k of a run: pairs (2j, 2j+1) as re, re, im, im.
std::complex<long double> SplitValue(const double* d, int64_t k) {
  const int64_t base = 4 * (k / 2), lane = k % 2;
  return {d[base + lane], d[base + 2 + lane]};
}

class LargeHelpersTest : public VariantSetTest {
 protected:
  void SetUp() override {
    VariantSetTest::SetUp();
    if (IsSkipped()) return;
    if (SetIndex() < SP_SET_SSE2) GTEST_SKIP() << "the helpers belong to the SSE2 set and later";
  }
  const Helpers& H() const { return kHelpers[SetIndex() - SP_SET_SSE2]; }
  // Sine table of order m + 1 and the stage twiddles of complex order m.
  std::vector<double> StageTable(int m) const {
    std::vector<double> sine((int64_t{1} << (m + 1)) / 4 + 8), table(2 * (int64_t{1} << m) + 8);
    H().sine(m + 1, sine.data());
    H().twiddles(m, sine.data(), m + 1, table.data());
    return table;
  }
};

// Every length from 8 to 2^14, both directions, pair-split and interleaved
// output, aligned and 8 bytes off: the DFT of the unpermuted input, the
// same bits at either alignment, and the work buffer untouched when aligned.
TEST_P(LargeHelpersTest, ColumnKernelIsTheDftAtEveryLengthAndAlignment) {
  for (int m = 3; m <= 14; ++m) {
    const int64_t n = int64_t{1} << m;
    const auto table = StageTable(m);
    const auto x = RandomValues<double>(2 * n, 60 + m);
    for (int inverse = 0; inverse < 2; ++inverse) {
      std::vector<CxL> exact(n);
      for (int64_t k = 0; k < n; ++k) exact[k] = CxL(x[2 * k], x[2 * k + 1]);
      LongDoubleFft(exact, inverse ? 1 : -1);
      long double rms = 0;
      for (const CxL& v : exact) rms += std::norm(v);
      rms = std::sqrt(rms / n);
      for (int32_t out : {0, 1, 2}) {
        std::vector<double> aligned;
        for (int shift : {0, 1}) {
          SCOPED_TRACE(testing::Message()
                       << "n " << n << (inverse ? " inverse" : " forward") << " out " << out << " shift " << shift);
          Aligned data(2 * n, shift), work(2 * n, 0, -7.0);
          for (int64_t k = 0; k < n; ++k) {
            const int64_t from = Reverse(k, m);
            data.at[2 * k] = x[2 * from];
            data.at[2 * k + 1] = x[2 * from + 1];
          }
          H().kernel[inverse](data.at, static_cast<int32_t>(n), table.data(), work.at, out);
          long double worst = 0;
          for (int64_t k = 0; k < n; ++k) {
            const std::complex<long double> got =
                out == 1 ? std::complex<long double>(data.at[2 * k], data.at[2 * k + 1]) : SplitValue(data.at, k);
            worst = std::max(worst, std::abs(got - exact[k]));
          }
          EXPECT_LE(worst, 4 * std::numeric_limits<double>::epsilon() * (m + 1) * rms);
          EXPECT_TRUE(std::isnan(data.at[2 * n])) << "wrote past the row";
          const std::vector<double> values(data.at, data.at + 2 * n);
          if (shift == 0) {
            aligned = values;
            for (int64_t i = 0; i < 2 * n; ++i) ASSERT_EQ(work.at[i], -7.0) << "aligned data touched the work buffer";
          } else {
            EXPECT_EQ(values, aligned);
          }
        }
      }
    }
  }
}

// Gather then scatter in mode 0 restores the strided data byte for byte;
// mode 1 writes each pair-split pair interleaved; nothing between the
// gathered columns is touched.
TEST_P(LargeHelpersTest, GatherAndScatterInBothModes) {
  constexpr int32_t kRows = 8, kCols = 12;
  constexpr int64_t kStride = 20;
  for (int shift : {0, 1}) {
    SCOPED_TRACE(testing::Message() << "shift " << shift);
    Aligned data(2 * kStride * kRows, shift);
    const auto values = RandomValues<double>(2 * kStride * kRows, 5);
    std::copy(values.begin(), values.end(), data.at);
    Aligned block(2 * kRows * kCols);
    H().gather(data.at + 2 * 4, block.at, kStride, kRows, kCols);
    for (int32_t r = 0; r < kRows; ++r)
      for (int32_t c = 0; c < 2 * kCols; ++c)
        ASSERT_EQ(block.at[2 * r * kCols + c], values[2 * r * kStride + 8 + c]) << "row " << r << " value " << c;
    std::vector<double> cleared(values);
    for (int32_t r = 0; r < kRows; ++r)
      for (int32_t c = 0; c < 2 * kCols; ++c) data.at[2 * r * kStride + 8 + c] = cleared[2 * r * kStride + 8 + c] = 0;
    H().scatter(data.at + 2 * 4, block.at, kStride, kRows, kCols, 0);
    EXPECT_EQ(std::memcmp(data.at, values.data(), values.size() * sizeof(double)), 0);
    for (int32_t mode : {1}) {
      H().scatter(data.at + 2 * 4, block.at, kStride, kRows, kCols, mode);
      for (int32_t r = 0; r < kRows; ++r)
        for (int32_t k = 0; k < kCols; ++k) {
          const std::complex<long double> want = SplitValue(block.at + 2 * r * kCols, k);
          ASSERT_EQ(data.at[2 * (r * kStride + 4 + k)], want.real());
          ASSERT_EQ(data.at[2 * (r * kStride + 4 + k) + 1], want.imag());
        }
      for (int64_t i = 0; i < 2 * kStride * kRows; ++i) {
        const int64_t col = (i / 2) % kStride;
        if (col < 4 || col >= 4 + kCols) {
          ASSERT_EQ(data.at[i], values[i]) << "value " << i;
        }
      }
    }
  }
}

// The passes against their formulas in long double: radix-4 over three
// groups and radix-2 over two, with made-up unit factors, in place and
// into another buffer; every group uses the same records.
TEST_P(LargeHelpersTest, TwiddlePassesFollowTheirFormulas) {
  constexpr int64_t kQ = 8, kGroups = 3;
  auto unit = [](int64_t i) { return std::polar(1.0L, 0.37L * static_cast<long double>(i + 1)); };
  for (int inverse = 0; inverse < 2; ++inverse) {
    const std::complex<long double> j(0, inverse ? 1 : -1);
    auto factor = [&](std::complex<long double> w) { return inverse ? std::conj(w) : w; };
    {
      // Records: per pair p, entries 1, 2, 3, each Re w(p), Re w(p+1), Im w(p), Im w(p+1).
      Aligned table(6 * kQ);
      for (int64_t p = 0; p < kQ; ++p)
        for (int64_t f = 1; f <= 3; ++f) {
          const std::complex<long double> w = unit(3 * p + f);
          double* entry = table.at + 12 * (p / 2) + 4 * (f - 1);
          entry[p % 2] = static_cast<double>(w.real());
          entry[2 + p % 2] = static_cast<double>(w.imag());
        }
      const auto x = RandomValues<double>(2 * 4 * kQ * kGroups, 80 + inverse);
      for (bool inPlace : {true, false}) {
        SCOPED_TRACE(testing::Message() << "radix 4" << (inverse ? " inverse" : " forward")
                                        << (inPlace ? " in place" : ""));
        Aligned src(x.size()), dst(x.size());
        std::copy(x.begin(), x.end(), src.at);
        double* out = inPlace ? src.at : dst.at;
        H().radix4[inverse](src.at, out, kQ, kGroups, table.at);
        for (int64_t g = 0; g < kGroups; ++g)
          for (int64_t p = 0; p < kQ; ++p) {
            const double* in = x.data() + 2 * 4 * kQ * g;
            auto w = [&](int64_t f) {
              const double* entry = table.at + 12 * (p / 2) + 4 * (f - 1);
              return factor({entry[p % 2], entry[2 + p % 2]});
            };
            const auto a0 = SplitValue(in, p), a1 = SplitValue(in, p + kQ) * w(2),
                       a2 = SplitValue(in, p + 2 * kQ) * w(1), a3 = SplitValue(in, p + 3 * kQ) * w(3);
            const std::complex<long double> want[4] = {(a0 + a1) + (a2 + a3), (a0 - a1) + j * (a2 - a3),
                                                       (a0 + a1) - (a2 + a3), (a0 - a1) - j * (a2 - a3)};
            for (int64_t k = 0; k < 4; ++k)
              EXPECT_LE(std::abs(SplitValue(out + 2 * 4 * kQ * g, p + k * kQ) - want[k]), 1e-14L)
                  << "group " << g << " position " << p + k * kQ;
          }
      }
    }
    {
      constexpr int64_t kH = 6, kPairs = 2;
      Aligned table(2 * kH);
      for (int64_t p = 0; p < kH; ++p) {
        const std::complex<long double> w = unit(p);
        table.at[4 * (p / 2) + p % 2] = static_cast<double>(w.real());
        table.at[4 * (p / 2) + 2 + p % 2] = static_cast<double>(w.imag());
      }
      const auto x = RandomValues<double>(2 * 2 * kH * kPairs, 90 + inverse);
      SCOPED_TRACE(testing::Message() << "radix 2" << (inverse ? " inverse" : " forward"));
      Aligned data(x.size());
      std::copy(x.begin(), x.end(), data.at);
      H().radix2[inverse](data.at, data.at, kH, kPairs, table.at);
      for (int64_t g = 0; g < kPairs; ++g)
        for (int64_t p = 0; p < kH; ++p) {
          const double* in = x.data() + 2 * 2 * kH * g;
          const auto a0 = SplitValue(in, p), a1 = SplitValue(in, p + kH) * factor({table.at[4 * (p / 2) + p % 2],
                                                                                   table.at[4 * (p / 2) + 2 + p % 2]});
          EXPECT_LE(std::abs(SplitValue(data.at + 2 * 2 * kH * g, p) - (a0 + a1)), 1e-14L);
          EXPECT_LE(std::abs(SplitValue(data.at + 2 * 2 * kH * g, p + kH) - (a0 - a1)), 1e-14L);
        }
    }
  }
}

SP_INSTANTIATE_FOR_ALL_SETS(LargeHelpersTest);

}  // namespace
