// The component's delay buffer: per signal channel a ring of raw samples, a
// ring of DC-blocked samples and one status byte per block, filled one
// block per ProcessInput from the input multiplexer, and fetches of a span
// that ends a given delay before the newest sample, with a fixed offset
// between the two inputs added on top.
#pragma once

#include <algorithm>
#include <cstdint>

#include "Vantrel/frontend/DcBlocker.h"
#include "Vantrel/frontend/FrontEndInternal.h"
#include "Vantrel/stages/DelayBuffer.h"

// Block status bytes.
constexpr uint8_t BLOCK_INPUT = 0;        // filled with input samples
constexpr uint8_t BLOCK_ZERO_PADDED = 3;  // the read came up short, zeros follow
constexpr uint8_t BLOCK_UNWRITTEN = 4;    // not written since the last reset
constexpr uint8_t BLOCK_PADDED_BIT = 2;

class FRONT_END_INTERNAL CDelayBufferImpl : public CDelayBuffer {
 public:
  CDelayBufferImpl() = default;
  ~CDelayBufferImpl() override;
  CDelayBufferImpl(const CDelayBufferImpl&) = delete;
  CDelayBufferImpl& operator=(const CDelayBufferImpl&) = delete;

  int Attach(CInputMux* inputMux) override;
  // Ends the process (exit code 1, after the error box and a trace line)
  // when the rings cannot be allocated.
  int Init(SYSPARA* sysPara, int blockLength, int ringLength) override;
  void Free() override;
  int Prepare(int unused) override;
  void GetWaveFormat(int input, int channel, WAVEPARA* format) override;
  // Copies the span; padding zeros, when allowed, come before the samples
  // so that every signal keeps its time alignment.
  int CopySamples(int direction, int channel, int delay, int count, float* dest, int filtered,
                  int allowPadding) override;
  int GetSamples(int direction, int channel, int delay, int count, float** span1, int* length1, float** span2,
                 int* length2, int filtered, int allowPadding) override;
  void GetBufferInfo(int direction, int channel, int filtered, float** ring, int* fill, int* writePos, int* ringLength,
                     int* effectiveWritePos) override;
  int OutputsIdle(OUTPUTPARA* outputs, int argument) override;
  int ProcessInput(int swapTestChannels) override;
  int Reset() override;
  int GetFreeSpace() override;
  void GetFill(int* fill, int* ringLength) override;
  int32_t* GetUsedInputs() override { return m_usedInputs; }
  int Go() override;
  SpanInput InputInSpan(int direction, int channel, int delay, int count) const override;
  int64_t InputPosition() const override { return std::max<int64_t>(m_written - m_lead, 0); }
  void AlignInputs(int direction, int delay) override;

 private:
  // false, with nothing held, when memory runs out (noted as a refusal).
  bool AllocateBuffers(int64_t length);
  void FreeBuffers();
  bool HasBuffers() const { return m_rawRing[0][0] != nullptr; }
  // The extra delay of a direction from the inter-input offset.
  int OffsetOf(int direction) const;
  // The span's distance from the newest sample, clamped to the ring (code
  // then FETCH_DELAY_CLAMPED, traced).
  int64_t ClampedSpan(int direction, int delay, int count, int* code) const;
  // The same distance, untraced; `clamped` says whether it was clamped.
  int64_t SpanDistance(int direction, int delay, int count, bool* clamped) const;
  // The status bits of the ring blocks a span of `available` samples from `start` touches.
  uint8_t TouchedBlockStatus(int direction, int channel, int64_t start, int available) const;
  // Reads `count` samples of a signal channel into ring channel `target`
  // at the write position and queues them for filtering; false on a short
  // read.
  // `at` is the piece's place among the samples written since the reset.
  bool ReadPiece(int direction, int channel, int target, int count, bool readInput, int block, int64_t at);
  // DC-blocks the queued pieces into the filtered rings.
  void FilterPendingPieces();

  // A stretch of a raw ring read by this ProcessInput, not filtered yet.
  struct PendingPiece {
    int direction;
    int target;
    int at;
    int count;
  };

  CInputMux* m_mux = nullptr;
  SYSPARA* m_sysPara = nullptr;
  CDcBlocker m_dcBlocker[2][2];
  void* m_rings = nullptr;  // every ring and status array below
  size_t m_ringsBytes = 0;
  float* m_filteredRing[2][2] = {};
  float* m_rawRing[2][2] = {};
  uint8_t* m_blockStatus[2][2] = {};
  int m_blockLen = 0;
  int m_writePos[2][2] = {};
  int m_ringLen = 0;
  int m_fill = 0;
  int32_t* m_usedInputs = nullptr;
  int m_inputOffset = 0;
  int m_absInputOffset = 0;
  // Ring samples written since the last reset: a block per ProcessInput.
  int64_t m_written = 0;
  // Zeros that come before the inputs' first sample in the first block.
  int m_lead = 0;
  // Where, among the samples written, each signal's input ended: its first
  // short read. Everything after it is padding.
  int64_t m_inputEnd[2][2] = {{INT64_MAX, INT64_MAX}, {INT64_MAX, INT64_MAX}};
  // Nothing written to the rings since they were allocated or cleared: a
  // reset need not clear them again (the pre-run resets several times).
  bool m_ringsZero = false;
  // Two pieces per signal channel at most (a block split at the ring's end).
  PendingPiece m_pendingFilter[2 * CDcBlocker::kMaxLanes] = {};
  int m_pendingPieces = 0;
};
