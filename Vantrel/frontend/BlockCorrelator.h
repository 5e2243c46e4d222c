// Correlates the newest block (B samples) of one signal against a window (W
// samples, a power of two) of the other, once per Process, and keeps the
// normalised correlation vectors of the last H calls with their running
// sum. Entry i of the sum holds lag (i + W - B) mod W; the valid lags, where
// the block lies wholly inside the window, are entries B .. W-1 and entry 0
// (standing for entry W); only they are worked out, the others stay 0. A
// peak at entry i means the block's signal occurs W - i samples (0 for
// entry 0) before the window's newest sample.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Vantrel/frontend/FftCorrelator.h"
#include "Vantrel/frontend/FrontEndInternal.h"

// Two mean correlations closer than this are equal: the sums they come
// from carry rounding of this order, and a signal that repeats within the
// window (a tone, DC, a square wave) gives peaks this close at every repeat.
constexpr float BLOCK_CORR_EQUAL_PEAK = 1e-5f;
// Standard errors by which a peak must stand above a peak at another delay
// to settle the delay: below it the two differ by no more than the blocks'
// own scatter allows, and which one wins is chance.
constexpr double BLOCK_CORR_SETTLING_ERRORS = 3.0;

class FRONT_END_INTERNAL CBlockCorrelator {
 public:
  CBlockCorrelator() = default;
  ~CBlockCorrelator() { Free(); }
  CBlockCorrelator(const CBlockCorrelator&) = delete;
  CBlockCorrelator& operator=(const CBlockCorrelator&) = delete;

  // Sizes, allocates and clears; returns 1, or 0 when memory runs out
  // (noted as a Memory refusal): it then holds no arrays and processes
  // nothing until an Init succeeds.
  int Init(uint32_t blockLen, uint32_t window, uint32_t historySize);
  // Transforms through `owner`'s math-layer handle (see CFftCorrelator).
  void ShareTransformsOf(const CBlockCorrelator& owner) { m_fft.ShareHandleOf(owner.m_fft); }
  MathlibHandle* TransformHandle() const { return m_fft.Handle(); }
  // Room for a Source's correlation of this geometry (W values), null
  // before a successful Init; overwritten by a Process without one.
  double* CorrelationRoom() { return m_fft.CorrelationRoom(); }
  void Clear();
  void Free();

  // Correlates the B samples of ring A ending before aEnd with the W
  // samples of ring B ending before bEnd (rings of ringLength samples).
  // normalise 0 keeps the raw correlation. Does nothing when an end lies
  // outside the ring, the ring is shorter than the window or the block
  // longer than the window. false when the transform failed: the block
  // then leaves the history and the sums as they were.
  bool Process(const float* aRing, int aEnd, const float* bRing, int bEnd, int ringLength, int normalise = 1);

  // The rings of one Process.
  struct Source {
    const float* aRing;
    int aEnd;
    const float* bRing;
    int bEnd;
    int ringLength;
    // When given, the spectra of the block and the window (packed half
    // spectra of W points), which then need no transform of their own;
    // the block's may come alone.
    const double* blockSpectrum = nullptr;
    const double* windowSpectrum = nullptr;
    // When given with both spectra, the block's B samples and the window's
    // W samples widened to double, which then need no copy of their own.
    const double* blockSamples = nullptr;
    const double* windowSamples = nullptr;
    // When given, the unnormalised sums themselves (lag k at k, for the
    // lags 0 .. W - B), which then need no transform at all.
    const double* correlation = nullptr;
  };
  // Process for each of `count` correlators with its source. Two of one
  // geometry normalise side by side, so that the latency of one's energy
  // recurrence and divisions hides the other's; each correlator's result
  // is the one its own Process gives. false when a transform failed.
  static bool ProcessEach(CBlockCorrelator* const correlators[], const Source sources[], int count, int normalise = 1);

  // Peak over the valid lags of the mean vector (the newest one when
  // relaxed): pos is the entry (B .. W), peak the signed mean there; the
  // second peak is the best with the first entry removed. Among lags equal
  // within BLOCK_CORR_EQUAL_PEAK the one nearest lag 0 (the highest entry)
  // wins, and equalPeaks counts the others, plus one when a peak at another
  // delay (apart from the peak's own lobe) comes closer than
  // BLOCK_CORR_SETTLING_ERRORS standard errors of the blocks' difference
  // there: when it is not 0 the peak does not settle the delay. vector and
  // count give the vector searched and its divisor. Any out pointer may be
  // null; with both second-peak pointers null the second search is skipped.
  int MaxAbs(int32_t* pos, float* peak, int32_t* secondPos, float* secondPeak, const float** vector, int32_t* count,
             int relaxed, int32_t* equalPeaks = nullptr);
  // As MaxAbs on the signed values: the largest (wantMax) or the smallest.
  int MaxSigned(int32_t* pos, float* peak, int32_t* secondPos, float* secondPeak, const float** vector, int32_t* count,
                int wantMax, int relaxed, int32_t* equalPeaks = nullptr);

  // The standard error of the peak the last search with equalPeaks found
  // (as a mean correlation): the larger of the blocks' scatter about their
  // mean and what a correlation of that size carries over the samples the
  // blocks span, counted in lobes of the peak, the stretch over which the
  // signal resembles itself.
  double PeakError() const { return m_peakError; }
  // The width of that peak's lobe, in lags (1 before such a search).
  int32_t PeakLobe() const { return m_peakLobe; }

  uint32_t BlockLen() const { return m_blockLen; }
  uint32_t WindowLen() const { return m_windowLen; }
  int32_t Blocks() const { return m_blocks; }
  // The correlation vector of the block `age` feeds back (0: the newest),
  // lag k at k for k in 0 .. W - B; null beyond the blocks held.
  const float* BlockVector(int32_t age) const {
    if (m_vectors == nullptr || age < 0 || age >= m_blocks) return nullptr;
    return SlotVector((m_slot + m_historySize - 1 - uint32_t(age)) % m_historySize);
  }

 private:
  // false when the block cannot be had (nothing is held then).
  bool Allocate();
  // Points the arrays into `block` (none with null); returns the bytes they take.
  size_t CarveArrays(void* block);
  // The values a history vector holds.
  uint32_t VectorLength() const;
  // The history vector of slot s.
  float* SlotVector(uint32_t s) const { return m_vectors + size_t(s) * m_vectorStride; }
  // The first part of Process: checks and copies the block and the
  // window; false when nothing runs.
  bool Begin(const Source& source);
  // The block energy and the first stretch's energy of the window.
  double BlockEnergy() const;
  double FirstStretchEnergy() const;
  // The second: correlates, and says what the normalisation into the
  // sums needs; false when the transform failed.
  bool Transform(bool normalise, const Source& source, CFftCorrelator::Lane* lane);
  // The last: counts the block and moves to the next slot.
  void Advance();
  // The samples the blocks in the history span.
  uint32_t SpannedSamples() const;
  // The standard error of a mean correlation `mean` over the span in lobes
  // of `lobe` entries.
  double SampleError(double mean, int32_t lobe) const;
  // The standard error of the mean of sign * v[pos] - otherSign * v[other]
  // over the blocks in the history (of v[pos] alone when other < 0).
  double DifferenceError(int32_t pos, int32_t other, float sign, float otherSign, int relaxed) const;
  // The lag a sum entry (B .. W) holds.
  uint32_t LagOfEntry(int32_t pos) const {
    return uint32_t(pos) == m_windowLen ? m_windowLen - m_blockLen : uint32_t(pos) - m_blockLen;
  }
  // Whether a peak at another delay than the one at `at` (whose lobe is the
  // run of scratch entries beyond `bound` around it; `beyondBound` entries
  // lie beyond it in all) comes within the blocks' scatter of it.
  bool RivalWithinScatter(const float* scratch, const float* v, int32_t at, float bound, int32_t beyondBound,
                          bool largest, bool absolute, int32_t divisor, int32_t lobe);
  int FindPeaks(bool absolute, bool wantMax, int32_t* pos, float* peak, int32_t* secondPos, float* secondPeak,
                const float** vector, int32_t* count, int relaxed, int32_t* equalPeaks);
  struct PeakSearch;
  // The scratch entries B .. W of v (W standing for entry 0), as magnitudes
  // when absolute, with the largest (or smallest) value of each run of them.
  void FillPeakScratch(const float* v, bool absolute, bool largest);
  // One scratch entry changed, its run's extreme with it.
  void SetScratch(int32_t entry, float value);
  // The entry of the extreme scratch value in [from, to), the first of
  // equal ones (from when none is ordered).
  int32_t ExtremeIn(int32_t from, int32_t to) const;
  // Scratch entries at or beyond a bound: their count and the highest.
  struct PeakTies {
    int32_t last;  // -1: none
    int32_t count;
  };
  PeakTies TiesAt(float bound) const;
  // The best scratch entry besides the one a search found (index -1: none).
  struct RunnerUp {
    int32_t found = -1;  // the entry the search found
    float value = 0.0f;
    int32_t index = -1;
  };
  // In one visit of the runs that reach `bound` (or, with runnerUp, may
  // hold it): the ties at `bound` and, with `equal`, at `equalBound`
  // (nearer the extreme), and the best entry besides `skip`, the first of
  // equal ones.
  void ScanTies(float bound, float equalBound, int32_t skip, PeakTies* near, PeakTies* equal, RunnerUp* runnerUp) const;
  struct RunBest;
  // A search over runs takes an entry, or a whole run by its extreme, when
  // strictly beyond the best so far; BestEntry gives the entry it found.
  void TakeEntry(RunBest* best, int32_t entry) const;
  void TakeRun(RunBest* best, int32_t run) const;
  int32_t BestEntry(const RunBest& best) const;
  // One peak over the scratch (its extreme searched for, or the entry
  // `known` when it is not negative), with its equal peaks counted when
  // `equal` is given and the runner-up noted when `runnerUp` is; returns
  // its entry. Any out pointer may be null.
  int32_t SearchPeak(const PeakSearch& search, int32_t known, RunnerUp* runnerUp, int32_t* where, float* value,
                     int32_t* equal);
  // The entry the second search finds, the extreme once the peak's entry
  // `at` is 0, told from the first search's runner-up without another pass
  // over the scratch; -1 when that needs a pass (a NaN, no runner-up).
  int32_t RunnerUpEntry(const PeakSearch& search, const RunnerUp& runnerUp, int32_t at) const;
  // Sets the peak's error and lobe (see PeakError) and returns the margin
  // within which other entries are candidate peaks.
  float MeasurePeakError(const PeakSearch& search, int32_t found);
  // The value v holds for a sum entry (B .. W).
  float EntryValue(const float* v, int32_t entry) const { return uint32_t(entry) == m_windowLen ? v[0] : v[entry]; }

  void* m_block = nullptr;  // the arrays below
  size_t m_blockBytes = 0;
  uint32_t m_carvedWindow = 0;  // the geometry the block is carved for
  uint32_t m_carvedHistory = 0;
  uint32_t m_carvedVector = 0;
  // H vectors of VectorLength() (lag k at k), m_vectorStride apart. Found
  // by their place rather than a table in the block, so that a correlator
  // that never processes leaves its pages untouched.
  float* m_vectors = nullptr;
  size_t m_vectorStride = 0;
  float* m_latest = nullptr;         // W, rotated
  float* m_corrSum = nullptr;        // W, rotated
  double* m_x = nullptr;             // W: the block, zero beyond B
  double* m_y = nullptr;             // W: the window
  const double* m_blockIn = nullptr;   // the block of the current Process: m_x or the source's
  const double* m_windowIn = nullptr;  // its window: m_y or the source's
  float* m_peakScratch = nullptr;    // W + 1
  float* m_peakRuns = nullptr;       // per kSpPeakRun scratch entries from B: their extreme
  bool m_runsLargest = true;         // the runs hold largest values, else smallest
  uint32_t* m_newSamples = nullptr;  // H: per slot, the samples its block added to the span
  void* m_spectra = nullptr;         // the transform's spectra
  int64_t m_lastEnd = -1;            // the end of the last block, -1 after Clear
  double m_peakError = 0.0;
  int32_t m_peakLobe = 1;
  int32_t m_blocks = 0;
  bool m_sumsWritten = false;  // the sums hold something Clear must remove
  uint32_t m_slot = 0;
  uint32_t m_blockLen = 0;
  uint32_t m_windowLen = 0;
  uint32_t m_historySize = 0;
  CFftCorrelator m_fft;
};
