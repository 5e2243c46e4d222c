// Opening and closing of the multiplexer's inputs: files first, then
// telephone inputs (refused: the component has no telephone line), then
// devices and synchronous inputs; then the wait until they deliver.
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "Vantrel/RefusalNote.h"
#include "Vantrel/SysPara.h"
#include "Vantrel/VantrelTrace.h"
#include "Vantrel/frontend/InputMuxImpl.h"
#include "wavio/DeviceCapture.h"
#include "wavio/WaveIO.h"

namespace {

// The sound back ends' own messages, as ordinary trace lines.
void TraceSoundBackEndLine(const char* line) { VANTREL_TRACE(TRACE_ORDINARY, "Sound device back end: %s", line); }

// Arguments the wave layer expects when a device input starts.
constexpr int kStartReserved = 0;
constexpr int kStartFlags = 1;
constexpr int kStartLimit = 0x7fff;

// A file the reader could not open: missing when it is not there (or
// cannot be reached), else not sound.
RefusalCode FileOpenRefusal(const std::string& fileName) {
  struct stat info {};
  return stat(fileName.c_str(), &info) != 0 || access(fileName.c_str(), R_OK) != 0 ? RefusalCode::MissingFile
                                                                                   : RefusalCode::NotSound;
}

}  // namespace

int CInputMuxImpl::Go(int bufferBytes) {
  VANTREL_TRACE(TRACE_ORDINARY, "CInputMuxImpl::Go()\n");
  if (m_sysPara == nullptr) {
    TraceRefusal(RefusalCode::NotReady, "CInputMuxImpl::Go", -1, "no parameter record");
    return 0;
  }
  m_bufferBytes = bufferBytes;
  m_sharedSyncDevice = m_sysPara->modeWordC;
  return OpenInputs();
}

bool CInputMuxImpl::SyncInputHasOwnDevice(const INPUTPARAEXT& record) const {
  return record.syncOwnDevice == 1 && m_sharedSyncDevice == 0;
}

int CInputMuxImpl::OpenInputs() {
  Stop();
  CWaveIOFactory factory;
  for (int input = 0; input < 2; ++input) {
    m_waveIO[input] = factory.GetNewCWaveIO(0);
    if (m_waveIO[input] == nullptr) {
      TraceRefusal(RefusalCode::Memory, "CInputMuxImpl::OpenInputs", input, "input %d: out of memory", input);
      return 0;
    }
    m_released[input] = 1;
    m_usedPercent[input] = m_usedPercent2[input] = 0;
    m_nonFinite[input] = 0;
  }
  const int channels = m_sysPara->channels;
  if (channels < 1 || channels > 2) {
    TraceRefusal(RefusalCode::Range, "CInputMuxImpl::OpenInputs", -1, "channel count %d outside 1..2", channels);
    return 0;
  }
  for (int direction = 0; direction < 2; ++direction)
    for (int channel = 0; channel < channels; ++channel) {
      int input = 0;
      int inputChannel = 0;
      if (!Route(direction, channel, &input, &inputChannel, "OpenInputs")) {
        NoteRefusal(RefusalCode::Range, "CInputMuxImpl::OpenInputs", -1, "signal %d channel %d has no valid route",
                    direction, channel);
        return 0;
      }
    }

  // Files first, then telephone inputs, then every other input.
  int result = 1;
  auto pass = [&](auto selects) {
    for (int input = 0; input < 2 && result != 0; ++input) {
      const INPUTPARAEXT& record = m_sysPara->inputPara[input];
      if (selects(record.mode)) result = Open(m_waveIO[input], record, input);
    }
  };
  pass([](int mode) { return mode == INPUT_MODE_FILE; });
  if (result != 0 && !FileRatesAgree()) result = 0;
  if (result != 0) pass([](int mode) { return mode == INPUT_MODE_TELEPHONE; });
  if (result != 0) pass([](int mode) { return mode != INPUT_MODE_FILE && mode != INPUT_MODE_TELEPHONE; });
  if (result == 0) return 0;
  if (!RoutedChannelsExist()) return 0;

  // Wait until the inputs deliver: files first, then devices.
  int lastWait = WAVEIO_WAIT_TIMEOUT;
  auto goesOn = [&] { return lastWait == WAVEIO_WAIT_TIMEOUT || lastWait == WAVEIO_WAIT_DATA; };
  for (int input = 0; input < 2 && goesOn(); ++input)
    if (m_sysPara->inputPara[input].mode == INPUT_MODE_FILE) lastWait = m_waveIO[input]->WaitForData(-1);
  for (int input = 0; input < 2 && goesOn(); ++input)
    if (m_sysPara->inputPara[input].mode == INPUT_MODE_SOUND_DEVICE) lastWait = m_waveIO[input]->WaitForData(-1);
  return result;
}

// One rate times both signals: two files of different rates cannot be compared.
bool CInputMuxImpl::FileRatesAgree() const {
  const INPUTPARAEXT* inputs = m_sysPara->inputPara;
  if (inputs[0].mode != INPUT_MODE_FILE || inputs[1].mode != INPUT_MODE_FILE) return true;
  if (m_waveIO[0]->SampleRate() == m_waveIO[1]->SampleRate()) return true;
  TraceRefusal(RefusalCode::FormatMismatch, "CInputMuxImpl::OpenInputs", 1,
               "input 1: file '%s' has %d Hz, input 0's file '%s' %d Hz", inputs[1].fileName.c_str(),
               m_waveIO[1]->SampleRate(), inputs[0].fileName.c_str(), m_waveIO[0]->SampleRate());
  return false;
}

// Every routed channel must exist on its input: a file decides its own
// channel count, a device the one it was started with.
bool CInputMuxImpl::RoutedChannelsExist() const {
  for (int direction = 0; direction < 2; ++direction)
    for (int channel = 0; channel < m_sysPara->channels; ++channel) {
      const INPUTMUXPARA& route = m_sysPara->routingTable[direction][channel];
      const INPUTPARAEXT& record = m_sysPara->inputPara[route.input];
      const int available =
          record.mode == INPUT_MODE_SYNCHRONOUS ? record.wave.channels : m_waveIO[route.input]->Channels();
      if (route.channel >= available) {
        TraceRefusal(RefusalCode::FormatMismatch, "CInputMuxImpl::OpenInputs", route.input,
                     "signal %d channel %d routed to channel %d of input %d, which has %d", direction, channel,
                     route.channel, route.input, available);
        return false;
      }
    }
  return true;
}

int CInputMuxImpl::StartDevice(CWaveIO* wave, const INPUTPARAEXT& record, int input, const char* rangeMessage) {
  // The record's device id is what must name an existing device. A count
  // left at 0 (the defaults' value) is the machine's.
  SetSoundBackEndMessageSink(&TraceSoundBackEndLine);
  const bool countFromMachine = m_sysPara->settings[SYSPARA_SETTING_DEVICE_COUNT] == 0;
  const int deviceCount =
      countFromMachine ? CountSoundInputDevices() : m_sysPara->settings[SYSPARA_SETTING_DEVICE_COUNT];
  if (record.deviceId < 0 || record.deviceId >= deviceCount) {
    VANTREL_TRACE(TRACE_ORDINARY, "%s", rangeMessage);
    if (!countFromMachine)
      NoteRefusal(RefusalCode::Device, "CInputMuxImpl::Open", input,
                  "input %d: device id %d is not below the %d sound device(s) that SYSPARA settings[0] gives", input,
                  record.deviceId, deviceCount);
    else if (deviceCount == 0)
      NoteRefusal(RefusalCode::Device, "CInputMuxImpl::Open", input,
                  "input %d: no sound input device is present (device id %d was asked)", input, record.deviceId);
    else
      NoteRefusal(RefusalCode::Device, "CInputMuxImpl::Open", input,
                  "input %d: device id %d is not below %d, the count of the machine's sound input devices", input,
                  record.deviceId, deviceCount);
    return 0;
  }
  if (wave->SetupBuffer(m_bufferBytes) == 0) {
    TraceRefusal(RefusalCode::Range, "CInputMuxImpl::Open", input, "input %d: %s", input, wave->LastError().c_str());
    return 0;
  }
  wave->PresetWaveStruct(record.wave.sampleRate, record.wave.bitsPerSample, record.wave.channels, 1);
  const int started = wave->StartInput(kStartReserved, record.deviceId, kStartFlags, kStartLimit);
  if (started == 0)
    TraceRefusal(RefusalCode::Device, "CInputMuxImpl::Open", input, "input %d, device %d: %s", input, record.deviceId,
                 wave->LastError().c_str());
  return started;
}

int CInputMuxImpl::Open(CWaveIO* wave, const INPUTPARAEXT& record, int input) {
  switch (record.mode) {
    case INPUT_MODE_SOUND_DEVICE:
      return StartDevice(wave, record, input, "CInputMuxImpl::Open(), ERROR: DevceID out of range\n");
    case INPUT_MODE_FILE: {
      if (wave->SetupBuffer(m_bufferBytes) == 0) {
        TraceRefusal(RefusalCode::Range, "CInputMuxImpl::Open", input, "input %d: %s", input,
                     wave->LastError().c_str());
        return 0;
      }
      if (wave->OpenInputFile(0, record.fileName, record.fileOption) == 0) {
        TraceRefusal(FileOpenRefusal(record.fileName), "CInputMuxImpl::Open", input, "input %d: %s", input,
                     wave->LastError().c_str());
        return 0;
      }
      // The front end times everything by the record's rate and routes by
      // its channels: a file that differs would be measured wrongly.
      const WAVEPARA& expected = record.wave;
      if (wave->SampleRate() != expected.sampleRate || wave->Channels() != expected.channels) {
        TraceRefusal(RefusalCode::FormatMismatch, "CInputMuxImpl::Open", input,
                     "input %d: file '%s' has %d Hz and %d channel(s), its record says %d Hz and %d channel(s)", input,
                     record.fileName.c_str(), wave->SampleRate(), wave->Channels(), expected.sampleRate,
                     expected.channels);
        return 0;
      }
      // Samples arrive as floats whatever their size in the file.
      if (wave->BitsPerSample() != expected.bitsPerSample)
        VANTREL_TRACE(TRACE_ORDINARY, "CInputMuxImpl::Open(), WARNING: file '%s' has %d bits; input %d expects %d\n",
                      record.fileName.c_str(), wave->BitsPerSample(), input, expected.bitsPerSample);
      return 1;
    }
    case INPUT_MODE_TELEPHONE:
      // No telephone line object exists in this component.
      TraceRefusal(RefusalCode::Unsupported, "CInputMuxImpl::Open", input,
                   "input %d is a telephone input, which is not supported", input);
      return 0;
    case INPUT_MODE_SYNCHRONOUS:
      if (!SyncInputHasOwnDevice(record)) return 1;
      return StartDevice(wave, record, input, "CInputMuxImpl::Open(), ERROR: DevceID out of range (synch input)\n");
    default:
      VANTREL_TRACE(TRACE_ORDINARY, "CInputMux::Open(), illegal input mode!\n");
      NoteRefusal(RefusalCode::Range, "CInputMux::Open", input,
                  "input %d: mode %d is none of 0 (sound device), 1 (file), 2 (telephone), 3 "
                  "(synchronous)",
                  input, record.mode);
      return 0;
  }
}

void CInputMuxImpl::Close() {
  if (m_sysPara == nullptr) return;
  for (int input = 0; input < 2; ++input) {
    CWaveIO* wave = m_waveIO[input];
    if (wave == nullptr) continue;
    // Closing forgets the count: keep it for the caller, and say it.
    m_nonFinite[input] = wave->NonFiniteSamples();
    if (m_nonFinite[input] != 0)
      VANTREL_TRACE(TRACE_ERRORS | TRACE_ORDINARY,
                    "CInputMuxImpl::Close(), WARNING: input %d delivered %lld non-finite samples as 0\n", input,
                    static_cast<long long>(m_nonFinite[input]));
    const INPUTPARAEXT& record = m_sysPara->inputPara[input];
    switch (record.mode) {
      case INPUT_MODE_SOUND_DEVICE:
      case INPUT_MODE_FILE:
      case INPUT_MODE_TELEPHONE:  // never opened a line: nothing to hang up
        wave->Close();
        break;
      case INPUT_MODE_SYNCHRONOUS:
        if (SyncInputHasOwnDevice(record)) wave->Close();
        break;
      default: VANTREL_TRACE(TRACE_ORDINARY, "CInputMux::Close(), illegal input mode!\n"); break;
    }
    delete wave;
    m_waveIO[input] = nullptr;
  }
}
