// Fetches from the delay buffer's rings: the span that ends a delay (plus
// the direction's input offset) before the newest sample, its fetch code
// from the status of every block it touches, and ring details.
#include <algorithm>

#include "Vantrel/SysPara.h"
#include "Vantrel/VantrelTrace.h"
#include "Vantrel/frontend/DelayBufferImpl.h"

namespace {

bool ValidSignal(int direction, int channel) { return direction >= 0 && direction < 2 && channel >= 0 && channel < 2; }

}  // namespace

int CDelayBufferImpl::OffsetOf(int direction) const {
  const bool delayed = (m_inputOffset > 0 && direction == 0) || (m_inputOffset < 0 && direction == 1);
  return delayed ? m_absInputOffset : 0;
}

int CDelayBufferImpl::GetSamples(int direction, int channel, int delay, int count, float** span1, int* length1,
                                 float** span2, int* length2, int filtered, int allowPadding) {
  float* ignoredSpan = nullptr;
  int ignoredLength = 0;
  float*& piece1 = span1 != nullptr ? *span1 : ignoredSpan;
  float*& piece2 = span2 != nullptr ? *span2 : ignoredSpan;
  int& len1 = length1 != nullptr ? *length1 : ignoredLength;
  int& len2 = length2 != nullptr ? *length2 : ignoredLength;
  piece1 = piece2 = nullptr;
  len1 = len2 = 0;
  if (!HasBuffers() || !ValidSignal(direction, channel) || count < 0) {
    VANTREL_TRACE(TRACE_ORDINARY, "CDelayBufferImpl::GetSamples(), ERROR: no signal %d channel %d of %d samples\n",
                  direction, channel, count);
    return FETCH_NOT_ENOUGH_DATA;
  }
  // A span longer than the ring cannot be handed out at any delay.
  if (count > m_ringLen) {
    VANTREL_TRACE(TRACE_ORDINARY, "CDelayBufferImpl::GetSamples(), ERROR: %d samples requested, the ring holds %d\n",
                  count, m_ringLen);
    return FETCH_NOT_ENOUGH_DATA;
  }

  int code = FETCH_COMPLETE;
  const int64_t span = ClampedSpan(direction, delay, count, &code);
  int available = count;
  if (span + count > m_fill) {
    if (allowPadding == 0) {
      VANTREL_TRACE(TRACE_ORDINARY,
                    "CDelayBufferImpl::GetSamples(), ERROR: Delay too big(Delay=%lu, Requested=%lu, InBuffer=%lu!\n",
                    static_cast<unsigned long>(span), static_cast<unsigned long>(count),
                    static_cast<unsigned long>(m_fill));
      return FETCH_NOT_ENOUGH_DATA;
    }
    VANTREL_TRACE(TRACE_ORDINARY,
                  "CDelayBufferImpl::GetSamples(), WARNING: Delay too big(Delay=%lu, Requested=%lu, InBuffer=%lu, "
                  "using padding.\n",
                  static_cast<unsigned long>(span), static_cast<unsigned long>(count),
                  static_cast<unsigned long>(m_fill));
    available = static_cast<int>(std::max<int64_t>(m_fill - span, 0));
  }

  int64_t start = m_writePos[direction][channel] - span - available;
  if (start < 0) start += m_ringLen;
  float* ring = filtered != 0 && m_sysPara->levelPara.useFiltered != 0 ? m_filteredRing[direction][channel]
                                                                       : m_rawRing[direction][channel];
  len1 = static_cast<int>(std::min<int64_t>(m_ringLen - start, available));
  piece1 = ring + start;
  len2 = available - len1;
  piece2 = ring;

  const uint8_t status = TouchedBlockStatus(direction, channel, start, available);
  return (status & BLOCK_PADDED_BIT) != 0 ? FETCH_PADDED : code;
}

int64_t CDelayBufferImpl::SpanDistance(int direction, int delay, int count, bool* clamped) const {
  const int64_t span = int64_t(delay) + OffsetOf(direction);
  // A negative delay would reach past the newest sample: clamped like one too big.
  *clamped = span < 0 || span + count > m_ringLen;
  return *clamped ? m_ringLen - count : span;
}

int64_t CDelayBufferImpl::ClampedSpan(int direction, int delay, int count, int* code) const {
  bool clamped = false;
  const int64_t span = SpanDistance(direction, delay, count, &clamped);
  if (clamped) {
    VANTREL_TRACE(TRACE_ORDINARY,
                  "CDelayBufferImpl::GetSamples(), ERROR: Delay too big(Delay=%lu, Requested=%lu, InBuffer=%lu!\n",
                  static_cast<unsigned long>(int64_t(delay) + OffsetOf(direction)), static_cast<unsigned long>(count),
                  static_cast<unsigned long>(m_fill));
    *code = FETCH_DELAY_CLAMPED;
  }
  return span;
}

SpanInput CDelayBufferImpl::InputInSpan(int direction, int channel, int delay, int count) const {
  SpanInput input;
  if (!HasBuffers() || !ValidSignal(direction, channel) || count <= 0 || count > m_ringLen) return input;
  bool clamped = false;
  // The span among the samples written since the reset; the inputs begin
  // after the lead zeros and end where their first short read ended.
  const int64_t end = m_written - SpanDistance(direction, delay, count, &clamped);
  const int64_t begin = end - count;
  // Nothing lies beyond what was written (nor can the end overflow there).
  const int64_t inputEnd = std::min(m_inputEnd[direction][channel], m_written);
  input.first = int(std::clamp<int64_t>(m_lead - begin, 0, count));
  input.end = int(std::clamp<int64_t>(inputEnd - begin, input.first, count));
  input.pastEnd = end > inputEnd;
  return input;
}

uint8_t CDelayBufferImpl::TouchedBlockStatus(int direction, int channel, int64_t start, int available) const {
  // Every block the span touches, the last one of an unaligned span too.
  uint8_t status = 0;
  if (available > 0) {
    const int blocks = m_ringLen / m_blockLen;
    const int64_t firstBlock = start / m_blockLen;
    const int64_t lastBlock = (start + available - 1) / m_blockLen;
    for (int64_t block = firstBlock; block <= lastBlock; ++block)
      status |= m_blockStatus[direction][channel][block % blocks];
  }
  return status;
}

int CDelayBufferImpl::CopySamples(int direction, int channel, int delay, int count, float* dest, int filtered,
                                  int allowPadding) {
  float* piece1 = nullptr;
  float* piece2 = nullptr;
  int len1 = 0;
  int len2 = 0;
  const int code = GetSamples(direction, channel, delay, count, &piece1, &len1, &piece2, &len2, filtered, allowPadding);
  if (code == FETCH_NOT_ENOUGH_DATA || dest == nullptr) return code;
  // The newest sample always lands at the end of dest.
  const int padding = count - len1 - len2;
  std::fill(dest, dest + padding, 0.0f);
  std::copy_n(piece1, len1, dest + padding);
  std::copy_n(piece2, len2, dest + padding + len1);
  return code;
}

void CDelayBufferImpl::GetBufferInfo(int direction, int channel, int filtered, float** ring, int* fill, int* writePos,
                                     int* ringLength, int* effectiveWritePos) {
  const bool valid = HasBuffers() && ValidSignal(direction, channel);
  if (ring != nullptr)
    *ring = !valid ? nullptr : filtered != 0 ? m_filteredRing[direction][channel] : m_rawRing[direction][channel];
  if (fill != nullptr) *fill = m_fill;
  if (ringLength != nullptr) *ringLength = m_ringLen;
  const int write = valid ? m_writePos[direction][channel] : 0;
  if (writePos != nullptr) *writePos = write;
  if (effectiveWritePos != nullptr) {
    int effective = write - OffsetOf(direction);
    if (effective < 0) effective += m_ringLen;
    *effectiveWritePos = effective;
  }
}
