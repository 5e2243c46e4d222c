// CMsystem: construction, set-up, start and stop, destruction, copying.
#include "Vantrel/MSystem.h"

#include <cstdlib>
#include <cstring>

#include "Vantrel/DebugTrace.h"
#include "Vantrel/DelayBuffer.h"
#include "Vantrel/DelayCompensation.h"
#include "Vantrel/InputMux.h"
#include "Vantrel/SafeDestroy.h"
#include "platform/app.h"
#include "platform/dialog.h"
#include "platform/events.h"

namespace {

// The process cannot run a measurement without its stages.
[[noreturn]] void EndProcessWithoutStage(const char* line)
{
    if (TraceEnabled(TRACE_ORDINARY))
        DebugTrace("%s", line);
    std::exit(1);
}

}  // namespace

CMsystem::CMsystem(int constructionArgument) : m_constructionArgument(constructionArgument)
{
    std::memset(&m_frame, 0, sizeof m_frame);
    if (CWinThread* thread = AfxGetThread(); thread != nullptr && thread->m_pMainWnd != nullptr)
        m_parentWindow = thread->m_pMainWnd->GetSafeHwnd();
    BuildStages();
    m_startTime = std::time(nullptr);
}

CMsystem::CMsystem(const CMsystem& other) : CTalvoPluginOEMInterface(other), m_sysPara(other.m_sysPara)
{
    CopyStateFrom(other);
    BuildStages();
}

CMsystem& CMsystem::operator=(const CMsystem& other)
{
    if (this == &other)
        return *this;
    m_sysPara = other.m_sysPara;
    CopyStateFrom(other);
    // The own front end is still set up for the records it had.
    m_frontEndReady = 0;
    return *this;
}

// Everything but the parameter record (which the copy constructs from the
// other's), the stages, the stop event, the used-input pointer and the
// front end's readiness, which belong to exactly one object.
void CMsystem::CopyStateFrom(const CMsystem& other)
{
    m_algorithmPara = other.m_algorithmPara;
    m_text = other.m_text;
    m_frame = other.m_frame;
    m_frameCounter = other.m_frameCounter;
    m_samplePosition = other.m_samplePosition;
    m_stopped = other.m_stopped;
    m_resetAverageRequest = other.m_resetAverageRequest;
    m_fileEndHandling = other.m_fileEndHandling;
    m_realtimeInputs[0] = other.m_realtimeInputs[0];
    m_realtimeInputs[1] = other.m_realtimeInputs[1];
    m_realtimeInputCount = other.m_realtimeInputCount;
    m_frameFlag = other.m_frameFlag;
    m_constructionArgument = other.m_constructionArgument;
    m_parentWindow = other.m_parentWindow;
    m_startTime = other.m_startTime;
    m_endReached = other.m_endReached;
    m_verbosity = other.m_verbosity;
    m_reserved = other.m_reserved;
}

void CMsystem::BuildStages()
{
    // In this order; a stage that cannot be made ends the process.
    m_inputMux = CInputMux::Create();
    if (m_inputMux != nullptr)
        m_delayBuffer = CDelayBuffer::Create();
    if (m_delayBuffer != nullptr)
        m_delayCompensation = CDelayCompensation::Create();
    if (m_delayCompensation == nullptr) {
        SafeDestroy(m_delayBuffer);
        SafeDestroy(m_inputMux);
        EndProcessWithoutStage("CMsystem::CMsystem(), ERROR: out of memory\n");
    }
    if (m_delayBuffer->Attach(m_inputMux) == 0 || m_delayCompensation->Attach(m_delayBuffer) == 0) {
        SafeDestroy(m_delayCompensation);
        SafeDestroy(m_delayBuffer);
        SafeDestroy(m_inputMux);
        EndProcessWithoutStage("CMsystem::CMsystem(), ERROR: a stage refused to be attached\n");
    }
    m_usedInputs = m_delayCompensation->GetUsedInputs();
    m_stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

CMsystem::~CMsystem()
{
    SafeDestroy(m_delayCompensation);
    SafeDestroy(m_delayBuffer);
    SafeDestroy(m_inputMux);
    if (m_stopEvent != nullptr)
        CloseHandle(m_stopEvent);
    m_stopEvent = nullptr;
}

void CMsystem::Destroy()
{
    delete this;
}

bool CMsystem::RecordIsUsable(const SYSPARA& sys, const char* operation)
{
    if (sys.channels < 1 || sys.channels > 2) {
        if (TraceEnabled(TRACE_ORDINARY))
            DebugTrace("CMsystem::%s(), ERROR: channel count %d outside 1..2\n", operation, sys.channels);
        return false;
    }
    for (int direction = 0; direction < 2; ++direction)
        for (int channel = 0; channel < sys.channels; ++channel) {
            const int input = sys.routingTable[direction][channel].input;
            if (input < 0 || input > 1) {
                if (TraceEnabled(TRACE_ORDINARY))
                    DebugTrace("CMsystem::%s(), ERROR: routing input %d of signal %d channel %d outside 0..1\n",
                               operation, input, direction, channel);
                return false;
            }
        }
    return true;
}

uint32_t CMsystem::DeliveredLength(int flag) const
{
    const DELAYPARAEXT& delay = m_sysPara.delayPara;
    const bool deliverOutputLength =
        (m_sysPara.realtime != 0 && delay.compensationOn != 0) || delay.trackVariableDelay != 0 || flag != 0;
    return deliverOutputLength ? m_algorithmPara.outputLength : m_algorithmPara.frameLength;
}

bool CMsystem::TakeRecord(const SYSPARA& sys, const char* operation)
{
    // The algorithm's defaults may set the channels and the routing, so the
    // record is judged as the front end will see it.
    SYSPARA previous(m_sysPara);
    m_sysPara = sys;
    SetDefaultPara(&m_sysPara, 0);
    if (RecordIsUsable(m_sysPara, operation))
        return true;
    m_sysPara = previous;
    return false;
}

int CMsystem::Init(SYSPARA& sys, CAlgorithmPara& alg, int flag)
{
    const CAlgorithmPara previousAlgorithmPara = m_algorithmPara;
    m_algorithmPara = alg;
    if (!TakeRecord(sys, "Init")) {
        m_algorithmPara = previousAlgorithmPara;
        return 0;
    }
    m_resetAverageRequest = 0;
    m_samplePosition = 0;
    m_frontEndReady = 0;

    if (m_algorithmPara.frameLength == 0) {
        if (TraceEnabled(TRACE_ORDINARY))
            DebugTrace("CMsystem::Init(), ERROR: frame length 0\n");
        return 0;
    }

    int result = 0;
    const uint32_t deliveredLength = DeliveredLength(flag);
    if (deliveredLength > FRAME_MAX_OUTPUT_LENGTH) {
        // The front end writes the delivered length plus its spare into
        // the frame's own buffers when the host passes no sample table.
        if (TraceEnabled(TRACE_ORDINARY))
            DebugTrace("CMsystem::Init(), ERROR: output length %u above %u\n", deliveredLength,
                       FRAME_MAX_OUTPUT_LENGTH);
    } else {
        result = m_delayCompensation->Init(&m_sysPara, deliveredLength, m_algorithmPara.frameLength);
        if (result != 0)
            result = m_delayCompensation->Prepare(&m_sysPara);
    }
    m_frontEndReady = result != 0 ? 1 : 0;
    UpdateRealtimeInputList();
    return result;
}

int CMsystem::UpdateSysPara(void* sysPara)
{
    if (sysPara == nullptr) {
        if (TraceEnabled(TRACE_ORDINARY))
            DebugTrace("CMsystem::UpdateSysPara(), ERROR: no parameter record\n");
        return 0;
    }
    if (!TakeRecord(*static_cast<const SYSPARA*>(sysPara), "UpdateSysPara"))
        return 0;
    const int result = m_delayCompensation->UpdateSysPara(&m_sysPara);
    UpdateRealtimeInputList();
    return result;
}

void CMsystem::UpdateRealtimeInputList()
{
    m_realtimeInputCount = 0;
    for (int input = 0; input < 2; ++input) {
        const int mode = m_sysPara.inputPara[input].mode;
        if (mode == INPUT_MODE_SOUND_DEVICE || mode == INPUT_MODE_TELEPHONE) {
            m_realtimeInputs[m_realtimeInputCount++] = input;
            m_sysPara.delayPara.tracking = 1;
        }
    }
}

int CMsystem::RealtimeInputs(int** list)
{
    if (list != nullptr)
        *list = m_realtimeInputs;
    return m_realtimeInputCount;
}

int CMsystem::IsRealtime()
{
    return m_realtimeInputCount != 0 ? 1 : 0;
}

int CMsystem::Go()
{
    if (m_frontEndReady == 0) {
        if (TraceEnabled(TRACE_ORDINARY))
            DebugTrace("CMsystem::Go(), ERROR: no successful Init\n");
        return 0;
    }
    ResetEvent(m_stopEvent);
    m_stopped = 0;
    m_frameCounter = 0;
    m_endReached = 0;
    const int result = m_delayCompensation->Start(m_stopEvent);
    if (result != 0)
        for (CTriggerEvent* event = m_sysPara.triggers.head; event != nullptr; event = event->next)
            if (event->state != TRIGGER_OFF)
                event->state = TRIGGER_ARMED;
    m_startTime = std::time(nullptr);
    return result;
}

int CMsystem::Stop()
{
    SetEvent(m_stopEvent);
    m_stopped = 1;
    return 1;
}

void CMsystem::Free()
{
    m_delayCompensation->Free();
}

int CMsystem::Reset()
{
    return m_delayCompensation->Reset();
}

int CMsystem::ResetAverage()
{
    m_resetAverageRequest = 1;
    return 1;
}

int CMsystem::WaitForOutputs(uint32_t argument)
{
    return m_delayCompensation->WaitForOutputs(static_cast<int>(argument));
}

void* CMsystem::CreateObjects(int type)
{
    switch (type) {
    case MSYSTEM_OBJECT_DELAY_BUFFER:
        return CDelayBuffer::Create();
    case MSYSTEM_OBJECT_DELAY_COMPENSATION:
        return CDelayCompensation::Create();
    case MSYSTEM_OBJECT_INPUT_MUX:
        return CInputMux::Create();
    default:
        if (TraceEnabled(TRACE_ORDINARY))
            DebugTrace("CMsystem::CreateObjects, unknown object type (%d)\n", type);
        return nullptr;
    }
}

int CMsystem::SetVerbousity(int verbosity)
{
    m_verbosity = verbosity;
    return m_verbosity;
}

void CMsystem::SetParentWindowHandle(HWND parentWindow)
{
    m_parentWindow = parentWindow;
}

int CMsystem::SetParameters(const char* /*parameters*/)
{
    return 0;
}

int CMsystem::ResultsAreValid()
{
    return 1;
}

int CMsystem::GetExtendedResultsStatus()
{
    return 0;
}

int CMsystem::ExtendedResults(CString /*text*/, int /*index*/)
{
    return 1;
}

void CMsystem::CloseAlgorithm() {}

void CMsystem::UpdateDialogData() {}

void CMsystem::InitFrameBuffer(void* /*frame*/) {}

void CMsystem::SetTriggerState(int /*state*/) {}
