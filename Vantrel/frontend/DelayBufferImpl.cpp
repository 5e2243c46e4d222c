// The delay buffer's sizing, allocation, reset and the reading of one block
// of every signal channel into the raw and the DC-blocked rings.
#include "Vantrel/frontend/DelayBufferImpl.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "Vantrel/ErrorMessage.h"
#include "Vantrel/RefusalNote.h"
#include "Vantrel/SysPara.h"
#include "Vantrel/VantrelTrace.h"
#include "Vantrel/frontend/FrontEndAlloc.h"
#include "Vantrel/frontend/InputMuxReadCodes.h"
#include "Vantrel/stages/InputMux.h"
#include "platform/debug_output.h"

namespace {

// The wave buffers are never smaller than this.
constexpr int64_t kMinWaveBufferBytes = 1048576;
// Extra room when the caller asks for a ring no longer than a block.
constexpr int64_t kRingSlack = 4;

}  // namespace

double InputOffsetSamples(const SYSPARA& sys) {
  return std::trunc(double(sys.inputPara[0].wave.sampleRate) * 0.001 * double(sys.delayPara.inputOffsetMs));
}

CDelayBufferImpl::~CDelayBufferImpl() { FreeBuffers(); }

int CDelayBufferImpl::Attach(CInputMux* inputMux) {
  m_mux = inputMux;
  m_usedInputs = inputMux != nullptr ? inputMux->GetUsedBufferPercent() : nullptr;
  return 1;
}

int CDelayBufferImpl::Init(SYSPARA* sysPara, int blockLength, int ringLength) {
  if (sysPara == nullptr || blockLength <= 0) {
    TraceRefusal(RefusalCode::Range, "CDelayBufferImpl::Init", -1, "block length %d", blockLength);
    return 0;
  }
  m_blockLen = blockLength;
  m_sysPara = sysPara;
  for (auto& direction : m_dcBlocker)
    for (CDcBlocker& blocker : direction) blocker.ResetState();
  FreeBuffers();

  const int64_t request = ringLength > blockLength ? int64_t(ringLength) : int64_t(blockLength) + kRingSlack;
  const double offset = InputOffsetSamples(*sysPara);
  m_inputOffset = static_cast<int>(std::clamp(offset, double(-INT_MAX), double(INT_MAX)));
  m_absInputOffset = std::abs(m_inputOffset);
  // Refused, the buffer holds no rings, as before its first Init.
  if (!AllocateBuffers(request + m_absInputOffset)) return 0;

  if (m_mux == nullptr || m_mux->Init(sysPara) == 0) return 1;
  Reset();
  return 1;
}

bool CDelayBufferImpl::AllocateBuffers(int64_t length) {
  const int64_t blocks = (length + m_blockLen - 1) / m_blockLen;
  const int64_t ringLength = blocks * m_blockLen;
  if (ringLength > INT_MAX) {
    TraceRefusal(RefusalCode::Range, "CDelayBufferImpl::Init", -1, "a ring of %lld samples is longer than %d",
                 static_cast<long long>(ringLength), INT_MAX);
    return false;
  }
  m_ringLen = static_cast<int>(ringLength);
  // Every ring in one block of fresh pages, which are zero without being
  // touched, and which a long ring takes in a few huge faults rather than
  // a fault per page.
  const auto carve = [&](void* block) {
    ArrayCarver carver(block);
    for (int direction = 0; direction < 2; ++direction)
      for (int channel = 0; channel < 2; ++channel) {
        m_filteredRing[direction][channel] = carver.Take<float>(size_t(ringLength));
        m_rawRing[direction][channel] = carver.Take<float>(size_t(ringLength));
      }
    for (int direction = 0; direction < 2; ++direction)
      for (int channel = 0; channel < 2; ++channel)
        m_blockStatus[direction][channel] = carver.Take<uint8_t>(size_t(blocks));
    return carver.Used();
  };
  const size_t bytes = carve(nullptr);
  m_rings = AllocatePages(bytes, "the delay buffer's rings");
  if (m_rings == nullptr) {
    FreeBuffers();
    ShowErrorMessage("CDelayBufferImpl", "AllocateBuffers()", ERRORCODE_OUT_OF_MEMORY);
    VANTREL_TRACE(TRACE_ORDINARY, "CDelayCompensation::AllocateBuffers(), out of memory\n");
    return false;
  }
  m_ringsBytes = bytes;
  carve(m_rings);
  m_ringsZero = true;
  return true;
}

void CDelayBufferImpl::FreeBuffers() {
  FreePages(m_rings, m_ringsBytes);
  m_ringsBytes = 0;
  for (int direction = 0; direction < 2; ++direction)
    for (int channel = 0; channel < 2; ++channel) {
      m_filteredRing[direction][channel] = nullptr;
      m_rawRing[direction][channel] = nullptr;
      m_blockStatus[direction][channel] = nullptr;
    }
  m_ringsZero = false;
}

void CDelayBufferImpl::Free() {
  FreeBuffers();
  if (m_mux != nullptr) m_mux->Free();
}

int CDelayBufferImpl::Prepare(int) { return 1; }

void CDelayBufferImpl::GetWaveFormat(int input, int, WAVEPARA* format) {
  if (format != nullptr && m_sysPara != nullptr && input >= 0 && input < 2) *format = m_sysPara->inputPara[input].wave;
}

int CDelayBufferImpl::Reset() {
  if (HasBuffers()) {
    const int blocks = m_ringLen / m_blockLen;
    for (int direction = 0; direction < 2; ++direction)
      for (int channel = 0; channel < 2; ++channel) {
        if (!m_ringsZero) {
          std::memset(m_filteredRing[direction][channel], 0, size_t(m_ringLen) * sizeof(float));
          std::memset(m_rawRing[direction][channel], 0, size_t(m_ringLen) * sizeof(float));
        }
        std::memset(m_blockStatus[direction][channel], BLOCK_UNWRITTEN, size_t(blocks));
        m_writePos[direction][channel] = 0;
        m_dcBlocker[direction][channel].ResetState();
      }
    m_ringsZero = true;
  }
  m_fill = 0;
  m_written = 0;
  m_lead = 0;
  for (auto& direction : m_inputEnd)
    for (int64_t& end : direction) end = INT64_MAX;
  return m_mux != nullptr ? m_mux->Stop() : 1;
}

void CDelayBufferImpl::AlignInputs(int direction, int delay) {
  // Only the first block can begin late; the rings hold zeros until then.
  if (m_written != 0 || m_blockLen <= 0 || direction < 0 || direction > 1) return;
  const int64_t distance = std::max<int64_t>(int64_t(delay) + OffsetOf(direction), 0);
  m_lead = int((m_blockLen - distance % m_blockLen) % m_blockLen);
}

int CDelayBufferImpl::Go() {
  if (m_mux == nullptr || m_sysPara == nullptr) {
    TraceRefusal(RefusalCode::NotReady, "CDelayBufferImpl::Go", -1, "not initialised");
    return 0;
  }
  int64_t bytes = kMinWaveBufferBytes;
  for (const INPUTPARAEXT& input : m_sysPara->inputPara)
    if (input.mode != INPUT_MODE_SYNCHRONOUS)
      bytes = std::max(bytes, int64_t(input.wave.bitsPerSample / 8) * input.wave.channels * m_blockLen);
  return m_mux->Go(static_cast<int>(std::min<int64_t>(bytes, INT_MAX)));
}

bool CDelayBufferImpl::ReadPiece(int direction, int channel, int target, int count, bool readInput, int block,
                                 int64_t at) {
  int& write = m_writePos[direction][target];
  float* raw = m_rawRing[direction][target] + write;
  int got = 0;
  const int result = readInput ? m_mux->GetSamples(count, direction, channel, raw, &got) : MUX_READ_SHORT;
  if (result != MUX_READ_COMPLETE) {
    got = std::clamp(readInput ? got : 0, 0, count);
    std::fill(raw + got, raw + count, 0.0f);
    m_blockStatus[direction][target][block] |= BLOCK_ZERO_PADDED;
    int64_t& end = m_inputEnd[direction][target];
    end = std::min(end, at + got);
  }
  m_pendingFilter[m_pendingPieces++] = PendingPiece{direction, target, write, count};
  write += count;
  if (write >= m_ringLen) write -= m_ringLen;
  return result == MUX_READ_COMPLETE;
}

void CDelayBufferImpl::FilterPendingPieces() {
  const int pieces = m_pendingPieces;
  m_pendingPieces = 0;
  // The blocks of one call normally have one length and one blocker each:
  // then all of them run side by side.
  bool sideBySide = pieces <= CDcBlocker::kMaxLanes;
  for (int i = 0; i < pieces && sideBySide; ++i)
    for (int j = 0; j < i && sideBySide; ++j)
      sideBySide = m_pendingFilter[i].count == m_pendingFilter[j].count &&
                   (m_pendingFilter[i].direction != m_pendingFilter[j].direction ||
                    m_pendingFilter[i].target != m_pendingFilter[j].target);
  if (sideBySide) {
    CDcBlocker* blockers[CDcBlocker::kMaxLanes];
    const float* src[CDcBlocker::kMaxLanes];
    float* dst[CDcBlocker::kMaxLanes];
    for (int i = 0; i < pieces; ++i) {
      const PendingPiece& piece = m_pendingFilter[i];
      blockers[i] = &m_dcBlocker[piece.direction][piece.target];
      src[i] = m_rawRing[piece.direction][piece.target] + piece.at;
      dst[i] = m_filteredRing[piece.direction][piece.target] + piece.at;
    }
    if (pieces > 0) CDcBlocker::ProcessLanes(blockers, src, dst, pieces, 1.0f, m_pendingFilter[0].count);
    return;
  }
  // Pieces of one blocker (a block split at the ring's end) go in order.
  for (int i = 0; i < pieces; ++i) {
    const PendingPiece& piece = m_pendingFilter[i];
    const float* raw = m_rawRing[piece.direction][piece.target] + piece.at;
    float* filtered = m_filteredRing[piece.direction][piece.target] + piece.at;
    m_dcBlocker[piece.direction][piece.target].Process(raw, filtered, 1.0f, 0, piece.count);
  }
}

int CDelayBufferImpl::ProcessInput(int swapTestChannels) {
  if (!HasBuffers() || m_mux == nullptr) {
    VANTREL_TRACE(TRACE_ORDINARY, "CDelayBufferImpl::ProcessInput(), ERROR: not initialised\n");
    return 0;
  }
  bool complete = true;
  m_pendingPieces = 0;
  m_ringsZero = false;
  for (int direction = 0; direction < 2; ++direction)
    for (int channel = 0; channel < m_sysPara->channels; ++channel) {
      if (channel > 1) {
        FilterPendingPieces();
        VANTREL_TRACE(TRACE_ORDINARY, "CDelayBufferImpl::ProcessInput(), ERROR: channel count %d\n",
                      m_sysPara->channels);
        return 0;
      }
      int target = channel;
      if (direction == 1 && m_sysPara->channels > 1 && swapTestChannels != 0) target = 1 - channel;
      const int block = m_writePos[direction][target] / m_blockLen;
      m_blockStatus[direction][target][block] = BLOCK_INPUT;
      // The first block after a reset may begin with zeros (still in the
      // rings from the reset, and DC-blocked they stay zeros).
      const int lead = m_written == 0 ? m_lead : 0;
      m_writePos[direction][target] += lead;
      const int write = m_writePos[direction][target];
      const int first = std::min(m_ringLen - write, m_blockLen - lead);
      const int rest = m_blockLen - lead - first;
      if (first != 0 && rest != 0)
        OutputDebugStringA("CDelayBufferImpl::ProcessInput()(), WARNING: buffer wrap around!\n");
      const bool firstComplete = ReadPiece(direction, channel, target, first, true, block, m_written + lead);
      bool restComplete = true;
      if (rest > 0)
        restComplete = ReadPiece(direction, channel, target, rest, firstComplete, block, m_written + lead + first);
      complete = complete && firstComplete && restComplete;
    }
  // Filtered once every channel's block is in.
  FilterPendingPieces();
  m_mux->ConsumeAll();
  m_written += m_blockLen;
  if (m_blockLen < m_ringLen) m_fill = std::min(m_fill + m_blockLen, m_ringLen);
  if (!complete) {
    VANTREL_TRACE(TRACE_ORDINARY, "IO Error or EOF\n");
    return 0;
  }
  return 1;
}

// No output is ever opened by the component, so none can be busy.
int CDelayBufferImpl::OutputsIdle(OUTPUTPARA*, int) { return 1; }

int CDelayBufferImpl::GetFreeSpace() { return m_ringLen - m_blockLen; }

void CDelayBufferImpl::GetFill(int* fill, int* ringLength) {
  if (fill != nullptr) *fill = m_fill;
  if (ringLength != nullptr) *ringLength = m_ringLen;
}
