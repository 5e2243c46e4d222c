// The multiplexer's life cycle, its polled and routed reads, and the release
// after each block with the used-buffer percentages.
#include "Vantrel/frontend/InputMuxImpl.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "Vantrel/RefusalNote.h"
#include "Vantrel/SysPara.h"
#include "Vantrel/VantrelTrace.h"
#include "Vantrel/frontend/InputMuxReadCodes.h"
#include "wavio/WaveIO.h"

namespace {

constexpr int kPollAttempts = 32;
constexpr auto kPollSleep = std::chrono::milliseconds(5);
constexpr int kPollWaitMs = 200;
constexpr int kEndPolling = 9999;

}  // namespace

CInputMuxImpl::CInputMuxImpl() { VANTREL_TRACE(TRACE_ORDINARY, "CInputMuxImpl::CInputMuxImpl(), Constructing...\n"); }

CInputMuxImpl::~CInputMuxImpl() {
  Close();
  for (CWaveIO*& wave : m_waveIO) {
    delete wave;
    wave = nullptr;
  }
  VANTREL_TRACE(TRACE_ORDINARY, "CInputMuxImpl::~CInputMuxImpl(), Destroyed\n");
}

int CInputMuxImpl::Init(SYSPARA* sysPara) {
  m_sysPara = sysPara;
  m_readCount[0] = m_readCount[1] = 0;
  return 1;
}

void CInputMuxImpl::Free() {
  if (m_sysPara != nullptr) {
    Close();
    m_sysPara = nullptr;
  }
}

int CInputMuxImpl::Stop() {
  if (m_sysPara != nullptr) {
    Close();
    m_readCount[0] = m_readCount[1] = 0;
  }
  return 1;
}

bool CInputMuxImpl::Route(int direction, int channel, int* input, int* inputChannel, const char* operation) const {
  if (m_sysPara == nullptr || direction < 0 || direction > 1 || channel < 0 || channel > 1) {
    VANTREL_TRACE(TRACE_ORDINARY, "CInputMuxImpl::%s(), ERROR: no signal %d channel %d\n", operation, direction,
                  channel);
    return false;
  }
  const INPUTMUXPARA& route = m_sysPara->routingTable[direction][channel];
  if (route.input < 0 || route.input > 1 || route.channel < 0) {
    VANTREL_TRACE(TRACE_ORDINARY, "CInputMuxImpl::%s(), ERROR: signal %d channel %d routed to input %d channel %d\n",
                  operation, direction, channel, route.input, route.channel);
    return false;
  }
  *input = route.input;
  *inputChannel = route.channel;
  return true;
}

bool CInputMuxImpl::IsSynchronous(int input) const {
  return m_sysPara != nullptr && m_sysPara->inputPara[input].mode == INPUT_MODE_SYNCHRONOUS;
}

int CInputMuxImpl::PolledRead(int input, int count, float* dest, int inputChannel, const char* operation) {
  CWaveIO* wave = m_waveIO[input];
  if (wave == nullptr || count <= 0) return 0;
  auto read = [&](int blocking) {
    int format = WAVEIO_FORMAT_FLOAT;
    return inputChannel < 0 ? wave->ReadRaw(dest, count, blocking)
                            : wave->ReadChannel(dest, inputChannel, count, &format, blocking);
  };
  int total = 0;
  for (int attempt = 0; attempt < kPollAttempts; ++attempt) {
    total += read(0);
    if (total != 0) break;
    std::this_thread::sleep_for(kPollSleep);
    const int waitResult = wave->WaitForData(kPollWaitMs);
    if (waitResult != WAVEIO_WAIT_TIMEOUT && waitResult != WAVEIO_WAIT_NOT_STARTED) attempt = kEndPolling;
    VANTREL_TRACE(TRACE_ORDINARY, "CInputMuxImpl::%s(), return from wait for data: WaitRc=%x, Cnt=%d\n", operation,
                  static_cast<unsigned>(waitResult), attempt);
  }
  // A short poll is replaced by one read of the whole count from the same position.
  if (total != count) total = read(1);
  // A device that ended early says why (its sound server went away).
  if (total != count && !wave->LastError().empty() && m_sysPara->inputPara[input].mode != INPUT_MODE_FILE)
    TraceRefusal(RefusalCode::LostStream, (std::string("CInputMuxImpl::") + operation).c_str(), input,
                 "input %d, device %d: %s", input, m_sysPara->inputPara[input].deviceId, wave->LastError().c_str());
  return total;
}

int CInputMuxImpl::GetSamples(int count, int direction, int channel, float* dest, int* got) {
  int input = 0;
  int inputChannel = 0;
  if (got != nullptr) *got = 0;
  if (!Route(direction, channel, &input, &inputChannel, "GetSamples")) return MUX_READ_SHORT;
  if (IsSynchronous(input)) {
    if (got != nullptr) *got = count;
    m_readCount[input] = count;
    return MUX_READ_COMPLETE;
  }
  const int total = PolledRead(input, count, dest, inputChannel, "GetSamples");
  m_released[input] = 0;
  m_readCount[input] = total;
  if (got != nullptr) *got = total;
  return total == count ? MUX_READ_COMPLETE : MUX_READ_SHORT;
}

int CInputMuxImpl::GetSamplesPhys(int count, float* dest, int input, int* got) {
  if (got != nullptr) *got = 0;
  if (m_sysPara == nullptr || input < 0 || input > 1) {
    VANTREL_TRACE(TRACE_ORDINARY, "CInputMuxImpl::GetSamplesPhys(), ERROR: no input %d\n", input);
    return MUX_READ_SHORT;
  }
  if (IsSynchronous(input)) {
    if (got != nullptr) *got = count;
    return MUX_READ_COMPLETE;
  }
  const int total = PolledRead(input, count, dest, -1, "GetSamplesPhys");
  m_released[input] = 0;
  if (got != nullptr) *got = total;
  return total == count ? MUX_READ_COMPLETE : MUX_READ_SHORT;
}

int CInputMuxImpl::SkipSamples(int input, int count) {
  int got = 0;
  return GetSamplesPhys(count, nullptr, input, &got);
}

void CInputMuxImpl::Release(int input) {
  if (!IsSynchronous(input) && m_released[input] == 0 && m_waveIO[input] != nullptr) {
    CWaveIO* wave = m_waveIO[input];
    if (m_bufferBytes > 0) {
      // A device reporting more room than its buffer has counts as empty.
      auto usedPercent = [&](uint32_t freeBytes) {
        const double freePercent = std::min(100.0 * double(freeBytes) / double(m_bufferBytes), 100.0);
        return 100 - static_cast<int32_t>(freePercent);
      };
      m_usedPercent[input] = usedPercent(wave->GetFreeBufferSpace());
      m_usedPercent2[input] = usedPercent(wave->GetFreeBufferSpace2());
    }
    wave->ReleaseSamples(m_readCount[input]);
    m_released[input] = 1;
  }
  m_readCount[input] = 0;
}

void CInputMuxImpl::ConsumeSamples(int direction, int channel) {
  int input = 0;
  int inputChannel = 0;
  if (Route(direction, channel, &input, &inputChannel, "ConsumeSamples")) Release(input);
}

void CInputMuxImpl::ConsumeAll() {
  Release(0);
  Release(1);
}

bool CInputMuxImpl::IsOpenFile(int input) const {
  return input >= 0 && input <= 1 && m_waveIO[input] != nullptr && m_sysPara != nullptr &&
         m_sysPara->inputPara[input].mode == INPUT_MODE_FILE;
}

bool CInputMuxImpl::FileProgress(int input, DecodeProgress* progress) const {
  if (!IsOpenFile(input)) return false;
  *progress = m_waveIO[input]->FileProgress();
  return true;
}

bool CInputMuxImpl::FinishFileInput(int input, DecodeProgress* progress, std::string* change) {
  if (!IsOpenFile(input)) return false;
  CWaveIO* wave = m_waveIO[input];
  // What changed is read before the rest decodes: a file cut meanwhile ends that decode early.
  *change = wave->FileChange();
  wave->DecodeRestOfFile();
  *progress = wave->FileProgress();
  return true;
}

int64_t CInputMuxImpl::NonFiniteSamples(int input) const {
  if (input < 0 || input > 1) return 0;
  return m_waveIO[input] != nullptr ? m_waveIO[input]->NonFiniteSamples() : m_nonFinite[input];
}
