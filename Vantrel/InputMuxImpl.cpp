#include "Vantrel/InputMuxImpl.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "Vantrel/DebugTrace.h"
#include "Vantrel/InputMuxReadCodes.h"
#include "Vantrel/SysPara.h"
#include "wavio/WaveIO.h"

namespace {

constexpr int kPollAttempts = 32;
constexpr auto kPollSleep = std::chrono::milliseconds(5);
constexpr int kPollWaitMs = 200;
constexpr int kEndPolling = 9999;
// Arguments the wave layer expects when a device input starts.
constexpr int kStartReserved = 0;
constexpr int kStartFlags = 1;
constexpr int kStartLimit = 0x7fff;

#define MUX_TRACE(...)                          \
    do {                                        \
        if (TraceEnabled(TRACE_ORDINARY))       \
            DebugTrace(__VA_ARGS__);            \
    } while (0)

}  // namespace

CInputMuxImpl::CInputMuxImpl()
{
    MUX_TRACE("CInputMuxImpl::CInputMuxImpl(), Constructing...\n");
}

CInputMuxImpl::~CInputMuxImpl()
{
    Close();
    for (CWaveIO*& wave : m_waveIO) {
        delete wave;
        wave = nullptr;
    }
    MUX_TRACE("CInputMuxImpl::~CInputMuxImpl(), Destroyed\n");
}

int CInputMuxImpl::Init(SYSPARA* sysPara)
{
    m_sysPara = sysPara;
    m_readCount[0] = m_readCount[1] = 0;
    return 1;
}

void CInputMuxImpl::Free()
{
    if (m_sysPara != nullptr) {
        Close();
        m_sysPara = nullptr;
    }
}

int CInputMuxImpl::Stop()
{
    if (m_sysPara != nullptr) {
        Close();
        m_readCount[0] = m_readCount[1] = 0;
    }
    return 1;
}

bool CInputMuxImpl::Route(int direction, int channel, int* input, int* inputChannel, const char* operation) const
{
    if (m_sysPara == nullptr || direction < 0 || direction > 1 || channel < 0 || channel > 1) {
        MUX_TRACE("CInputMuxImpl::%s(), ERROR: no signal %d channel %d\n", operation, direction, channel);
        return false;
    }
    const INPUTMUXPARA& route = m_sysPara->routingTable[direction][channel];
    if (route.input < 0 || route.input > 1 || route.channel < 0) {
        MUX_TRACE("CInputMuxImpl::%s(), ERROR: signal %d channel %d routed to input %d channel %d\n", operation,
                  direction, channel, route.input, route.channel);
        return false;
    }
    *input = route.input;
    *inputChannel = route.channel;
    return true;
}

bool CInputMuxImpl::IsSynchronous(int input) const
{
    return m_sysPara != nullptr && m_sysPara->inputPara[input].mode == INPUT_MODE_SYNCHRONOUS;
}

int CInputMuxImpl::PolledRead(int input, int count, float* dest, int inputChannel, const char* operation)
{
    CWaveIO* wave = m_waveIO[input];
    if (wave == nullptr || count <= 0)
        return 0;
    auto read = [&](int blocking) {
        int format = WAVEIO_FORMAT_FLOAT;
        return inputChannel < 0 ? wave->ReadRaw(dest, count, blocking)
                                : wave->ReadChannel(dest, inputChannel, count, &format, blocking);
    };
    int total = 0;
    for (int attempt = 0; attempt < kPollAttempts; ++attempt) {
        total += read(0);
        if (total != 0)
            break;
        std::this_thread::sleep_for(kPollSleep);
        const int waitResult = wave->WaitForData(kPollWaitMs);
        if (waitResult != WAVEIO_WAIT_TIMEOUT && waitResult != WAVEIO_WAIT_NOT_STARTED)
            attempt = kEndPolling;
        MUX_TRACE("CInputMuxImpl::%s(), return from wait for data: WaitRc=%x, Cnt=%d\n", operation,
                  static_cast<unsigned>(waitResult), attempt);
    }
    // A short poll is replaced by one read of the whole count from the same position.
    if (total != count)
        total = read(1);
    return total;
}

int CInputMuxImpl::GetSamples(int count, int direction, int channel, float* dest, int* got)
{
    int input = 0;
    int inputChannel = 0;
    if (got != nullptr)
        *got = 0;
    if (!Route(direction, channel, &input, &inputChannel, "GetSamples"))
        return MUX_READ_SHORT;
    if (IsSynchronous(input)) {
        if (got != nullptr)
            *got = count;
        m_readCount[input] = count;
        return MUX_READ_COMPLETE;
    }
    const int total = PolledRead(input, count, dest, inputChannel, "GetSamples");
    m_released[input] = 0;
    m_readCount[input] = total;
    if (got != nullptr)
        *got = total;
    return total == count ? MUX_READ_COMPLETE : MUX_READ_SHORT;
}

int CInputMuxImpl::GetSamplesPhys(int count, float* dest, int input, int* got)
{
    if (got != nullptr)
        *got = 0;
    if (m_sysPara == nullptr || input < 0 || input > 1) {
        MUX_TRACE("CInputMuxImpl::GetSamplesPhys(), ERROR: no input %d\n", input);
        return MUX_READ_SHORT;
    }
    if (IsSynchronous(input)) {
        if (got != nullptr)
            *got = count;
        return MUX_READ_COMPLETE;
    }
    const int total = PolledRead(input, count, dest, -1, "GetSamplesPhys");
    m_released[input] = 0;
    if (got != nullptr)
        *got = total;
    return total == count ? MUX_READ_COMPLETE : MUX_READ_SHORT;
}

int CInputMuxImpl::SkipSamples(int input, int count)
{
    int got = 0;
    return GetSamplesPhys(count, nullptr, input, &got);
}

void CInputMuxImpl::Release(int input)
{
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

void CInputMuxImpl::ConsumeSamples(int direction, int channel)
{
    int input = 0;
    int inputChannel = 0;
    if (Route(direction, channel, &input, &inputChannel, "ConsumeSamples"))
        Release(input);
}

void CInputMuxImpl::ConsumeAll()
{
    Release(0);
    Release(1);
}

int CInputMuxImpl::Go(int bufferBytes)
{
    MUX_TRACE("CInputMuxImpl::Go()\n");
    if (m_sysPara == nullptr) {
        MUX_TRACE("CInputMuxImpl::Go(), ERROR: no parameter record\n");
        return 0;
    }
    m_bufferBytes = bufferBytes;
    m_sharedSyncDevice = m_sysPara->modeWordC;
    return OpenInputs();
}

bool CInputMuxImpl::SyncInputHasOwnDevice(const INPUTPARAEXT& record) const
{
    return record.syncOwnDevice == 1 && m_sharedSyncDevice == 0;
}

int CInputMuxImpl::OpenInputs()
{
    Stop();
    CWaveIOFactory factory;
    for (int input = 0; input < 2; ++input) {
        m_waveIO[input] = factory.GetNewCWaveIO(0);
        if (m_waveIO[input] == nullptr) {
            MUX_TRACE("CInputMuxImpl::OpenInputs(), ERROR: out of memory\n");
            return 0;
        }
        m_released[input] = 1;
        m_usedPercent[input] = m_usedPercent2[input] = 0;
    }
    const int channels = m_sysPara->channels;
    if (channels < 1 || channels > 2) {
        MUX_TRACE("CInputMuxImpl::OpenInputs(), ERROR: channel count %d outside 1..2\n", channels);
        return 0;
    }
    for (int direction = 0; direction < 2; ++direction)
        for (int channel = 0; channel < channels; ++channel) {
            int input = 0;
            int inputChannel = 0;
            if (!Route(direction, channel, &input, &inputChannel, "OpenInputs"))
                return 0;
        }

    // Files first, then telephone inputs, then every other input.
    int result = 1;
    auto pass = [&](auto selects) {
        for (int input = 0; input < 2 && result != 0; ++input) {
            const INPUTPARAEXT& record = m_sysPara->inputPara[input];
            if (selects(record.mode))
                result = Open(m_waveIO[input], record, input);
        }
    };
    pass([](int mode) { return mode == INPUT_MODE_FILE; });
    if (result != 0)
        pass([](int mode) { return mode == INPUT_MODE_TELEPHONE; });
    if (result != 0)
        pass([](int mode) { return mode != INPUT_MODE_FILE && mode != INPUT_MODE_TELEPHONE; });
    if (result == 0)
        return 0;
    if (!RoutedChannelsExist())
        return 0;

    // Wait until the inputs deliver: files first, then devices.
    int lastWait = WAVEIO_WAIT_TIMEOUT;
    auto goesOn = [&] { return lastWait == WAVEIO_WAIT_TIMEOUT || lastWait == WAVEIO_WAIT_DATA; };
    for (int input = 0; input < 2 && goesOn(); ++input)
        if (m_sysPara->inputPara[input].mode == INPUT_MODE_FILE)
            lastWait = m_waveIO[input]->WaitForData(-1);
    for (int input = 0; input < 2 && goesOn(); ++input)
        if (m_sysPara->inputPara[input].mode == INPUT_MODE_SOUND_DEVICE)
            lastWait = m_waveIO[input]->WaitForData(-1);
    return result;
}

// Every routed channel must exist on its input: a file decides its own
// channel count, a device the one it was started with.
bool CInputMuxImpl::RoutedChannelsExist() const
{
    for (int direction = 0; direction < 2; ++direction)
        for (int channel = 0; channel < m_sysPara->channels; ++channel) {
            const INPUTMUXPARA& route = m_sysPara->routingTable[direction][channel];
            const INPUTPARAEXT& record = m_sysPara->inputPara[route.input];
            const int available =
                record.mode == INPUT_MODE_SYNCHRONOUS ? record.wave.channels : m_waveIO[route.input]->Channels();
            if (route.channel >= available) {
                MUX_TRACE("CInputMuxImpl::OpenInputs(), ERROR: signal %d channel %d routed to channel %d of input "
                          "%d, which has %d\n",
                          direction, channel, route.channel, route.input, available);
                return false;
            }
        }
    return true;
}

int CInputMuxImpl::StartDevice(CWaveIO* wave, const INPUTPARAEXT& record, int input, const char* rangeMessage)
{
    // The record's device id is what must name an existing device.
    const int deviceCount = m_sysPara->settings[0];
    if (record.deviceId < 0 || record.deviceId >= deviceCount) {
        MUX_TRACE("%s", rangeMessage);
        return 0;
    }
    if (wave->SetupBuffer(m_bufferBytes) == 0) {
        MUX_TRACE("CInputMuxImpl::Open(), ERROR: input %d: %s\n", input, wave->LastError().c_str());
        return 0;
    }
    wave->PresetWaveStruct(record.wave.sampleRate, record.wave.bitsPerSample, record.wave.channels, 1);
    const int started = wave->StartInput(kStartReserved, record.deviceId, kStartFlags, kStartLimit);
    if (started == 0)
        MUX_TRACE("CInputMuxImpl::Open(), ERROR: input %d, device %d: %s\n", input, record.deviceId,
                  wave->LastError().c_str());
    return started;
}

int CInputMuxImpl::Open(CWaveIO* wave, const INPUTPARAEXT& record, int input)
{
    switch (record.mode) {
    case INPUT_MODE_SOUND_DEVICE:
        return StartDevice(wave, record, input, "CInputMuxImpl::Open(), ERROR: DevceID out of range\n");
    case INPUT_MODE_FILE: {
        if (wave->SetupBuffer(m_bufferBytes) == 0) {
            MUX_TRACE("CInputMuxImpl::Open(), ERROR: input %d: %s\n", input, wave->LastError().c_str());
            return 0;
        }
        if (wave->OpenInputFile(0, record.fileName, record.fileOption) == 0) {
            MUX_TRACE("CInputMuxImpl::Open(), ERROR: input %d: %s\n", input, wave->LastError().c_str());
            return 0;
        }
        const WAVEPARA& expected = record.wave;
        if (wave->SampleRate() != expected.sampleRate || wave->BitsPerSample() != expected.bitsPerSample ||
            wave->Channels() != expected.channels)
            MUX_TRACE("CInputMuxImpl::Open(), WARNING: file '%s' has %d Hz, %d bits, %d channels; input %d expects "
                      "%d Hz, %d bits, %d channels\n",
                      record.fileName.c_str(), wave->SampleRate(), wave->BitsPerSample(), wave->Channels(), input,
                      expected.sampleRate, expected.bitsPerSample, expected.channels);
        return 1;
    }
    case INPUT_MODE_TELEPHONE:
        // No telephone line object exists in this component.
        MUX_TRACE("CInputMuxImpl::Open(), ERROR: input %d is a telephone input, which is not supported\n", input);
        return 0;
    case INPUT_MODE_SYNCHRONOUS:
        if (!SyncInputHasOwnDevice(record))
            return 1;
        return StartDevice(wave, record, input, "CInputMuxImpl::Open(), ERROR: DevceID out of range (synch input)\n");
    default:
        MUX_TRACE("CInputMux::Open(), illegal input mode!\n");
        return 0;
    }
}

void CInputMuxImpl::Close()
{
    if (m_sysPara == nullptr)
        return;
    for (int input = 0; input < 2; ++input) {
        CWaveIO* wave = m_waveIO[input];
        if (wave == nullptr)
            continue;
        const INPUTPARAEXT& record = m_sysPara->inputPara[input];
        switch (record.mode) {
        case INPUT_MODE_SOUND_DEVICE:
        case INPUT_MODE_FILE:
        case INPUT_MODE_TELEPHONE:  // never opened a line: nothing to hang up
            wave->Close();
            break;
        case INPUT_MODE_SYNCHRONOUS:
            if (SyncInputHasOwnDevice(record))
                wave->Close();
            break;
        default:
            MUX_TRACE("CInputMux::Close(), illegal input mode!\n");
            break;
        }
        delete wave;
        m_waveIO[input] = nullptr;
    }
}
