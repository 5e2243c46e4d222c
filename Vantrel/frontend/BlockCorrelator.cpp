#include "Vantrel/frontend/BlockCorrelator.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "Mathlib/MathlibCorrelator.h"
#include "Mathlib/MathlibPrim.h"
#include "Vantrel/frontend/FrontEndAlloc.h"
#include "Vantrel/frontend/RingTail.h"

namespace {

// The bound `margin` short of a peak's extreme value, toward the others.
float BoundFrom(float extreme, float margin, bool largest) { return largest ? extreme - margin : extreme + margin; }

// The entries around `at` within half the peak's height: how far the
// signal stays like itself (1 for white noise, a third of a period for a tone).
int32_t LobeWidth(const float* scratch, uint32_t from, uint32_t to, int32_t at, bool largest) {
  const float half = scratch[at] * 0.5f;
  if (!(largest ? half > 0.0f : half < 0.0f)) return 1;
  auto inside = [&](int32_t i) { return largest ? scratch[i] >= half : scratch[i] <= half; };
  int32_t first = at;
  int32_t last = at;
  while (first > int32_t(from) && inside(first - 1)) --first;
  while (last + 1 < int32_t(to) && inside(last + 1)) ++last;
  return last - first + 1;
}

}  // namespace

int CBlockCorrelator::Init(uint32_t blockLen, uint32_t window, uint32_t historySize) {
  m_blockLen = blockLen;
  m_windowLen = window;
  m_historySize = historySize == 0 ? 1 : historySize;
  m_slot = 0;
  m_blocks = 0;
  // Refused, it holds nothing and processes nothing, as before its first Init.
  if (!Allocate()) return 0;
  return m_fft.SetLength(window, m_spectra);
}

uint32_t CBlockCorrelator::VectorLength() const {
  // A vector holds lag k at k, and only the lags 0 .. W - B, where the
  // block lies wholly inside the window, are worked out and read.
  return m_blockLen > 0 && m_blockLen <= m_windowLen ? m_windowLen - m_blockLen + 1 : m_windowLen;
}

bool CBlockCorrelator::Allocate() {
  // The same geometry keeps its arrays: a cleared history and a block that
  // is 0 beyond its (maybe new) length need nothing else.
  if (m_block != nullptr && m_carvedWindow == m_windowLen && m_carvedHistory == m_historySize &&
      m_carvedVector == VectorLength()) {
    Clear();
    if (m_blockLen < m_windowLen) std::fill_n(m_x + m_blockLen, m_windowLen - m_blockLen, 0.0);
    return true;
  }
  Free();
  // One block of fresh pages for every array, the transform's spectra
  // too. A history vector is read only after its slot was written since
  // the last Clear (blocks reaching H); the window is written whole by
  // each Process, the peak scratch by each search; the sums start at 0
  // and the block stays 0 beyond B for good.
  const size_t bytes = CarveArrays(nullptr);
  m_block = AllocatePages(bytes, "the delay search's correlators");
  if (m_block == nullptr) return false;
  m_blockBytes = bytes;
  CarveArrays(m_block);
  m_carvedWindow = m_windowLen;
  m_carvedHistory = m_historySize;
  m_carvedVector = VectorLength();
  m_sumsWritten = false;
  m_lastEnd = -1;
  m_peakError = 0.0;
  m_peakLobe = 1;
  return true;
}

size_t CBlockCorrelator::CarveArrays(void* block) {
  const size_t w = m_windowLen;
  const size_t lags = VectorLength();
  // Without a block the carver hands out null pointers and only counts,
  // and the members stay null as Free left them.
  ArrayCarver carve(block);
  // Each vector on a cache line of its own, as the carver places arrays.
  m_vectorStride = (lags + 15) / 16 * 16;
  m_vectors = carve.Take<float>(m_vectorStride * m_historySize);
  m_latest = carve.Take<float>(w);
  m_corrSum = carve.Take<float>(w);
  m_x = carve.Take<double>(w);
  m_y = carve.Take<double>(w);
  m_peakScratch = carve.Take<float>(w + 1);
  m_peakRuns = carve.Take<float>(w / kSpPeakRun + 2);
  m_newSamples = carve.Take<uint32_t>(m_historySize);
  m_spectra = carve.Take<char>(CFftCorrelator::SpectraBytes(m_windowLen));
  return carve.Used();
}

void CBlockCorrelator::Clear() {
  if (m_vectors == nullptr) return;
  // The history vectors stay: none is read again before its slot is
  // rewritten. Only the sums are read before the next Process.
  if (m_sumsWritten) {
    std::fill_n(m_latest, m_windowLen, 0.0f);
    std::fill_n(m_corrSum, m_windowLen, 0.0f);
    m_sumsWritten = false;
  }
  m_blocks = 0;
  m_lastEnd = -1;
  m_peakError = 0.0;
  m_peakLobe = 1;
}

void CBlockCorrelator::Free() {
  // The transform's spectra lie in the block.
  m_fft.DropSpectra();
  FreePages(m_block, m_blockBytes);
  m_blockBytes = 0;
  m_carvedWindow = 0;
  m_carvedHistory = 0;
  m_carvedVector = 0;
  m_vectors = nullptr;
  m_vectorStride = 0;
  m_spectra = nullptr;
  m_latest = nullptr;
  m_corrSum = nullptr;
  m_x = nullptr;
  m_y = nullptr;
  m_blockIn = nullptr;
  m_windowIn = nullptr;
  m_peakScratch = nullptr;
  m_peakRuns = nullptr;
  m_newSamples = nullptr;
  m_blocks = 0;
  m_sumsWritten = false;
}

bool CBlockCorrelator::Process(const float* aRing, int aEnd, const float* bRing, int bEnd, int ringLength,
                               int normalise) {
  CBlockCorrelator* const self = this;
  const Source source{aRing, aEnd, bRing, bEnd, ringLength};
  return ProcessEach(&self, &source, 1, normalise);
}

bool CBlockCorrelator::Begin(const Source& source) {
  const int64_t ring = source.ringLength;
  if (m_vectors == nullptr || m_windowLen == 0 || source.aRing == nullptr || source.bRing == nullptr ||
      ring < int64_t(m_windowLen) || m_blockLen > m_windowLen || source.aEnd < 0 || source.aEnd > ring ||
      source.bEnd < 0 || source.bEnd > ring)
    return false;
  // The samples this block adds to the span of the history: all of it
  // after a Clear, else as far as the block end moved on.
  int64_t moved = m_blockLen;
  if (m_lastEnd >= 0) {
    moved = source.aEnd - m_lastEnd;
    if (moved < 0) moved += ring;
  }
  m_newSamples[m_slot] = uint32_t(std::min<int64_t>(moved, m_blockLen));
  m_lastEnd = source.aEnd;
  // Samples handed over serve only beside both spectra: the whole
  // transform reads m_x and m_y.
  const bool given = source.blockSamples != nullptr && source.windowSamples != nullptr &&
                     source.blockSpectrum != nullptr && source.windowSpectrum != nullptr &&
                     source.correlation == nullptr;
  m_blockIn = given ? source.blockSamples : m_x;
  m_windowIn = given ? source.windowSamples : m_y;
  if (given) return true;
  CopyRingTail(source.aRing, source.aEnd, source.ringLength, m_blockLen, m_x);
  CopyRingTail(source.bRing, source.bEnd, source.ringLength, m_windowLen, m_y);
  return true;
}

double CBlockCorrelator::BlockEnergy() const { return duvuvDotF64(m_blockIn, m_blockIn, int32_t(m_blockLen)); }

double CBlockCorrelator::FirstStretchEnergy() const {
  return duvuvDotF64(m_windowIn, m_windowIn, int32_t(m_blockLen));
}

bool CBlockCorrelator::Transform(bool normalise, const Source& source, CFftCorrelator::Lane* out) {
  const bool transformed = source.correlation != nullptr ? true
                           : source.blockSpectrum == nullptr ? m_fft.Transform(m_x, m_y, m_windowLen)
                           : source.windowSpectrum != nullptr
                               ? m_fft.TransformSpectra(source.blockSpectrum, source.windowSpectrum)
                               : m_fft.TransformWindow(source.blockSpectrum, m_y);
  if (!transformed) return false;
  CFftCorrelator::Lane& lane = *out;
  lane = CFftCorrelator::Lane{};
  lane.correlation = source.correlation != nullptr ? source.correlation : m_fft.Correlation();
  lane.window = m_windowIn;
  lane.xEnergy = normalise ? BlockEnergy() : 0.0;
  lane.firstEnergy = normalise ? FirstStretchEnergy() : 0.0;
  lane.vector = SlotVector(m_slot);
  lane.sum = m_corrSum;
  lane.latest = m_latest;
  // The slot's vector leaves the sums as the new one enters.
  lane.replacing = uint32_t(m_blocks) == m_historySize;
  return true;
}

void CBlockCorrelator::Advance() {
  m_sumsWritten = true;
  m_blocks = std::min<int32_t>(m_blocks + 1, int32_t(m_historySize));
  m_slot = (m_slot + 1) % m_historySize;
}

bool CBlockCorrelator::ProcessEach(CBlockCorrelator* const correlators[], const Source sources[], int count,
                                   int normalise) {
  bool transformed = true;
  for (int i = 0; i < count;) {
    CBlockCorrelator* const first = correlators[i];
    if (!first->Begin(sources[i])) {
      ++i;
      continue;
    }
    const bool paired = i + 1 < count && correlators[i + 1]->m_windowLen == first->m_windowLen &&
                        correlators[i + 1]->m_blockLen == first->m_blockLen;
    // A partner that cannot begin does nothing, as alone.
    CBlockCorrelator* const second = paired && correlators[i + 1]->Begin(sources[i + 1]) ? correlators[i + 1] : nullptr;
    const Source* const memberSources[2] = {&sources[i], paired ? &sources[i + 1] : nullptr};
    i += paired ? 2 : 1;
    // A member whose transform failed takes no block.
    CBlockCorrelator* group[2] = {};
    CFftCorrelator::Lane lanes[2];
    int members = 0;
    for (int k = 0; k < 2; ++k) {
      CBlockCorrelator* const member = k == 0 ? first : second;
      if (member == nullptr) continue;
      if (member->Transform(normalise != 0, *memberSources[k], &lanes[members]))
        group[members++] = member;
      else
        transformed = false;
    }
    CFftCorrelator::NormaliseIntoSums(lanes, members, first->m_windowLen, first->m_blockLen, normalise != 0);
    for (int m = 0; m < members; ++m) group[m]->Advance();
  }
  return transformed;
}

uint32_t CBlockCorrelator::SpannedSamples() const {
  if (m_blocks == 0 || m_newSamples == nullptr) return 0;
  // The oldest block spans its whole length, each newer one what it added.
  uint64_t span = m_blockLen;
  for (int32_t j = 1; j < m_blocks; ++j) span += m_newSamples[(m_slot + m_historySize - uint32_t(j)) % m_historySize];
  return uint32_t(std::min<uint64_t>(span, UINT32_MAX));
}

double CBlockCorrelator::SampleError(double mean, int32_t lobe) const {
  const double spanned = double(SpannedSamples());
  if (spanned <= 0.0) return 0.0;
  const double independent = std::max(spanned / double(std::max(lobe, 1)), 1.0);
  const double r = std::min(std::fabs(mean), 1.0);
  return (1.0 - r * r) / std::sqrt(independent);
}

double CBlockCorrelator::DifferenceError(int32_t pos, int32_t other, float sign, float otherSign, int relaxed) const {
  const int32_t blocks = m_blocks;
  if (relaxed != 0 || blocks < 2 || m_vectors == nullptr) return 0.0;
  const uint32_t lag = LagOfEntry(pos);
  const uint32_t otherLag = other >= 0 ? LagOfEntry(other) : 0;
  double sum = 0.0;
  double squares = 0.0;
  // The blocks in the history are the newest `blocks` slots before the next one.
  for (int32_t j = 1; j <= blocks; ++j) {
    const float* vector = SlotVector((m_slot + m_historySize - uint32_t(j)) % m_historySize);
    double d = double(sign) * double(vector[lag]);
    if (other >= 0) d -= double(otherSign) * double(vector[otherLag]);
    sum += d;
    squares += d * d;
  }
  const double variance = std::max((squares - sum * sum / blocks) / (blocks - 1), 0.0);
  return std::sqrt(variance / blocks);
}

bool CBlockCorrelator::RivalWithinScatter(const float* scratch, const float* v, int32_t at, float bound,
                                          int32_t beyondBound, bool largest, bool absolute, int32_t divisor,
                                          int32_t lobe) {
  const int32_t low = int32_t(m_blockLen);
  const int32_t high = int32_t(m_windowLen);  // scratch entries low .. high
  // Every entry lies beyond the bound, the lobe with them: no other delay
  // stands apart from it, and no walk over them all needs to say so.
  if (beyondBound > high - low) return false;
  auto beyond = [&](int32_t i) { return largest ? scratch[i] >= bound : scratch[i] <= bound; };
  // The peak's own lobe: the run around it beyond the bound.
  int32_t first = at;
  int32_t last = at;
  while (first > low && beyond(first - 1)) --first;
  while (last < high && beyond(last + 1)) ++last;
  // Every entry beyond the bound lies in the lobe: no other delay comes near.
  if (beyondBound <= last - first + 1) return false;
  int32_t rival = -1;
  auto consider = [&](int32_t from, int32_t to) {  // entries [from, to)
    if (to <= from) return;
    const int32_t i = ExtremeIn(from, to);
    if (rival < 0 || (largest ? scratch[i] > scratch[rival] : scratch[i] < scratch[rival])) rival = i;
  };
  consider(low, first);
  consider(last + 1, high + 1);
  if (rival < 0 || !beyond(rival)) return false;
  auto signOf = [&](int32_t i) { return absolute && EntryValue(v, i) < 0.0f ? -1.0f : 1.0f; };
  // The two means' errors over the samples, or the blocks' scatter of
  // their difference, whichever is larger.
  const double rivalMean = double(scratch[rival]) / double(divisor);
  const double error =
      std::max(m_peakError + SampleError(rivalMean, lobe), DifferenceError(at, rival, signOf(at), signOf(rival), 0));
  const double gap =
      largest ? double(scratch[at]) - double(scratch[rival]) : double(scratch[rival]) - double(scratch[at]);
  return gap < BLOCK_CORR_SETTLING_ERRORS * error * double(divisor);
}

// What one peak search over the scratch compares, and how.
struct CBlockCorrelator::PeakSearch {
  const float* v;   // the vector searched
  int32_t divisor;  // the vectors summed into it
  bool absolute;    // the scratch holds its magnitudes
  bool largest;     // the peak is the largest entry, else the smallest
  float tolerance;  // within it of the peak, an entry is an equal peak
  int relaxed;
};

int CBlockCorrelator::FindPeaks(bool absolute, bool wantMax, int32_t* pos, float* peak, int32_t* secondPos,
                                float* secondPeak, const float** vector, int32_t* count, int relaxed,
                                int32_t* equalPeaks) {
  const float* v = relaxed != 0 ? m_latest : m_corrSum;
  const int32_t divisor = relaxed != 0 ? 1 : m_blocks;
  if (vector != nullptr) *vector = v;
  if (count != nullptr) *count = divisor;
  if (equalPeaks != nullptr) *equalPeaks = 0;
  if (v == nullptr || m_windowLen == 0 || m_blockLen > m_windowLen) {
    if (pos != nullptr) *pos = int32_t(m_blockLen);
    if (peak != nullptr) *peak = 0.0f;
    if (secondPos != nullptr) *secondPos = int32_t(m_blockLen);
    if (secondPeak != nullptr) *secondPeak = 0.0f;
    return 1;
  }
  const bool second = secondPos != nullptr || secondPeak != nullptr;
  // Only the vector and its divisor asked for: nothing to search.
  if (pos == nullptr && peak == nullptr && equalPeaks == nullptr && !second) return 1;
  const bool largest = absolute || wantMax;
  FillPeakScratch(v, absolute, largest);
  // The scratch holds sums of `divisor` vectors: the tolerance scales with them.
  const float tolerance = BLOCK_CORR_EQUAL_PEAK * float(divisor > 1 ? divisor : 1);
  const PeakSearch search{v, divisor, absolute, largest, tolerance, relaxed};
  RunnerUp runnerUp;
  const int32_t first = SearchPeak(search, -1, second ? &runnerUp : nullptr, pos, peak, equalPeaks);
  if (!second) return 1;
  const int32_t secondFound = RunnerUpEntry(search, runnerUp, first);
  SetScratch(first, 0.0f);
  SearchPeak(search, secondFound, nullptr, secondPos, secondPeak, nullptr);
  return 1;
}

namespace {

// The value no entry is beyond: the start of a search for the largest (or smallest).
float NoValue(bool largest) { return largest ? -__builtin_inff() : __builtin_inff(); }
// x beyond the best so far, by ordered comparison (a NaN never is).
bool Better(float x, float best, bool largest) { return largest ? x > best : x < best; }
// x at or beyond the bound (a NaN never is).
bool Reaches(float x, float bound, bool largest) { return largest ? x >= bound : x <= bound; }

}  // namespace

void CBlockCorrelator::FillPeakScratch(const float* v, bool absolute, bool largest) {
  const uint32_t w = m_windowLen;
  const uint32_t b = m_blockLen;
  float* scratch = m_peakScratch;
  const int64_t n = int64_t(w) - int64_t(b);
  // The copy notes each run's extreme as it goes: the searches then visit
  // only the runs that reach their bounds, not the whole vector again.
  MathlibPeakScratchF32(v + b, scratch + b, n, absolute, largest, m_peakRuns);
  scratch[w] = absolute ? std::fabs(v[0]) : v[0];
  m_runsLargest = largest;
  // Entry W closes the last run, or opens one of its own.
  const int64_t run = n / kSpPeakRun;
  if (n % kSpPeakRun == 0) m_peakRuns[run] = NoValue(largest);
  if (Better(scratch[w], m_peakRuns[run], largest)) m_peakRuns[run] = scratch[w];
}

void CBlockCorrelator::SetScratch(int32_t entry, float value) {
  m_peakScratch[entry] = value;
  const int32_t b = int32_t(m_blockLen);
  const int32_t run = (entry - b) / int32_t(kSpPeakRun);
  const int32_t from = b + run * int32_t(kSpPeakRun);
  const int32_t to = std::min(from + int32_t(kSpPeakRun), int32_t(m_windowLen) + 1);
  float extreme = NoValue(m_runsLargest);
  for (int32_t i = from; i < to; ++i)
    if (Better(m_peakScratch[i], extreme, m_runsLargest)) extreme = m_peakScratch[i];
  m_peakRuns[run] = extreme;
}

// The extreme of a search over runs of the scratch: an entry, or a run
// whose extreme it is (its first entry of that value, found at the end).
struct CBlockCorrelator::RunBest {
  float value;
  int32_t entry = -1;
  int32_t run = -1;
};

void CBlockCorrelator::TakeEntry(RunBest* best, int32_t entry) const {
  if (Better(m_peakScratch[entry], best->value, m_runsLargest)) *best = {m_peakScratch[entry], entry, -1};
}

void CBlockCorrelator::TakeRun(RunBest* best, int32_t run) const {
  if (Better(m_peakRuns[run], best->value, m_runsLargest)) *best = {m_peakRuns[run], -1, run};
}

int32_t CBlockCorrelator::BestEntry(const RunBest& best) const {
  if (best.run < 0) return best.entry;
  // The run holds its extreme: the first entry of that value is the one a
  // plain search takes (of equal values the first).
  const int32_t from = int32_t(m_blockLen) + best.run * int32_t(kSpPeakRun);
  int32_t i = from;
  while (!(m_peakScratch[i] == best.value)) ++i;
  return i;
}

int32_t CBlockCorrelator::ExtremeIn(int32_t from, int32_t to) const {
  const int32_t b = int32_t(m_blockLen);
  const int32_t runLength = int32_t(kSpPeakRun);
  RunBest best{NoValue(m_runsLargest)};
  // Whole runs by their extremes, entries only where the range cuts a run.
  for (int32_t i = from; i < to;) {
    const int32_t run = (i - b) / runLength;
    const int32_t runEnd = b + (run + 1) * runLength;
    if (i == runEnd - runLength && runEnd <= to) {
      TakeRun(&best, run);
      i = runEnd;
      continue;
    }
    for (const int32_t stop = std::min(runEnd, to); i < stop; ++i) TakeEntry(&best, i);
  }
  const int32_t at = BestEntry(best);
  return at < 0 ? from : at;
}

CBlockCorrelator::PeakTies CBlockCorrelator::TiesAt(float bound) const {
  PeakTies ties{-1, 0};
  ScanTies(bound, bound, -1, &ties, nullptr, nullptr);
  return ties;
}

void CBlockCorrelator::ScanTies(float bound, float equalBound, int32_t skip, PeakTies* near, PeakTies* equal,
                                RunnerUp* runnerUp) const {
  const float* scratch = m_peakScratch;
  const bool largest = m_runsLargest;
  const int32_t b = int32_t(m_blockLen);
  const int32_t end = int32_t(m_windowLen) + 1;
  const int32_t runLength = int32_t(kSpPeakRun);
  *near = {-1, 0};
  if (equal != nullptr) *equal = {-1, 0};
  RunBest runner{NoValue(largest)};
  for (int32_t from = b, run = 0; from < end; from += runLength, ++run) {
    const int32_t to = std::min(from + runLength, end);
    // The equal bound lies nearer the extreme than the other: a run that
    // does not reach the bound holds no tie of either kind.
    if (Reaches(m_peakRuns[run], bound, largest))
      for (int32_t i = from; i < to; ++i) {
        const float x = scratch[i];
        if (Reaches(x, bound, largest)) *near = {i, near->count + 1};
        if (equal != nullptr && Reaches(x, equalBound, largest)) *equal = {i, equal->count + 1};
      }
    if (runnerUp == nullptr) continue;
    if (skip >= from && skip < to) {
      for (int32_t i = from; i < to; ++i)
        if (i != skip) TakeEntry(&runner, i);
    } else {
      TakeRun(&runner, run);
    }
  }
  if (runnerUp != nullptr) {
    const int32_t index = BestEntry(runner);
    runnerUp->value = index < 0 ? runner.value : scratch[index];
    runnerUp->index = index;
  }
}

int32_t CBlockCorrelator::RunnerUpEntry(const PeakSearch& search, const RunnerUp& runnerUp, int32_t at) const {
  const int32_t found = runnerUp.found;
  const float extreme = m_peakScratch[found];
  const bool largest = search.largest;
  // Which of a value and the 0 that replaces `at` the search takes, the
  // first of equal ones.
  auto beats = [&](float value) { return largest ? value > 0.0f : value < 0.0f; };
  if (at != found) {
    // The extreme stays where it was found, before `at`.
    if (std::isnan(extreme)) return -1;
    return beats(extreme) || extreme == 0.0f ? found : at;
  }
  if (runnerUp.index < 0 || std::isnan(runnerUp.value)) return -1;
  if (runnerUp.value == 0.0f) return std::min(runnerUp.index, found);
  return beats(runnerUp.value) ? runnerUp.index : found;
}

int32_t CBlockCorrelator::SearchPeak(const PeakSearch& search, int32_t known, RunnerUp* runnerUp, int32_t* where,
                                     float* value, int32_t* equal) {
  const float* scratch = m_peakScratch;
  const uint32_t b = m_blockLen;
  const uint32_t end = m_windowLen + 1;
  const bool largest = search.largest;
  const int32_t found = known >= 0 ? known : ExtremeIn(int32_t(b), int32_t(end));
  const float extreme = scratch[found];
  // A peak at another delay must stand clear of the errors of two such
  // means; twice the peak's own error finds the candidates.
  const float margin = equal != nullptr ? MeasurePeakError(search, found) : search.tolerance;
  const int32_t lobe = equal != nullptr ? m_peakLobe : 1;
  const float candidateBound = BoundFrom(extreme, margin, largest);
  const float equalBound = BoundFrom(extreme, search.tolerance, largest);
  PeakTies near;
  PeakTies equalTies;
  if (runnerUp != nullptr) {
    // One visit of the runs that reach the bound counts both the candidates
    // and the equal peaks and finds the best entry besides the peak, for
    // the second search.
    runnerUp->found = found;
    ScanTies(candidateBound, equalBound, found, &near, &equalTies, runnerUp);
    if (!(near.count > 1 && margin > search.tolerance)) equalTies = near;
  } else {
    near = TiesAt(candidateBound);
    equalTies = near.count > 1 && margin > search.tolerance ? TiesAt(equalBound) : near;
  }
  // Equal peaks: the one nearest lag 0 wins, the others are counted.
  const int32_t at = equalTies.count > 0 ? equalTies.last : found;
  int32_t others = equalTies.count > 1 ? equalTies.count - 1 : 0;
  if (near.count > equalTies.count && RivalWithinScatter(scratch, search.v, at, candidateBound, near.count, largest,
                                                         search.absolute, search.divisor, lobe))
    ++others;
  float signedValue = search.absolute ? EntryValue(search.v, at) : scratch[at];
  if (search.divisor != 0) signedValue /= float(search.divisor);
  if (where != nullptr) *where = at;
  if (value != nullptr) *value = signedValue;
  if (equal != nullptr) *equal = others;
  return at;
}

float CBlockCorrelator::MeasurePeakError(const PeakSearch& search, int32_t found) {
  m_peakError = 0.0;
  m_peakLobe = 1;
  // A single vector has no scatter to measure.
  if (search.divisor <= 1) return search.tolerance;
  m_peakLobe = LobeWidth(m_peakScratch, m_blockLen, m_windowLen + 1, found, search.largest);
  const double mean = double(m_peakScratch[found]) / double(search.divisor);
  m_peakError = std::max(SampleError(mean, m_peakLobe), DifferenceError(found, -1, 1.0f, 1.0f, search.relaxed));
  return std::max(search.tolerance, float(2.0 * BLOCK_CORR_SETTLING_ERRORS * m_peakError * search.divisor));
}

int CBlockCorrelator::MaxAbs(int32_t* pos, float* peak, int32_t* secondPos, float* secondPeak, const float** vector,
                             int32_t* count, int relaxed, int32_t* equalPeaks) {
  return FindPeaks(true, true, pos, peak, secondPos, secondPeak, vector, count, relaxed, equalPeaks);
}

int CBlockCorrelator::MaxSigned(int32_t* pos, float* peak, int32_t* secondPos, float* secondPeak, const float** vector,
                                int32_t* count, int wantMax, int relaxed, int32_t* equalPeaks) {
  return FindPeaks(false, wantMax != 0, pos, peak, secondPos, secondPeak, vector, count, relaxed, equalPeaks);
}
