// The front end's own stages. The delay compensation is not part of the
// build yet: its factory reports that it cannot make the stage, which
// CMsystem treats as a stage that cannot be created.
#include "Vantrel/BuiltInStages.h"

#include <new>

#include "Vantrel/DelayBufferImpl.h"
#include "Vantrel/InputMuxImpl.h"

CInputMux* NewBuiltInInputMux()
{
    return new (std::nothrow) CInputMuxImpl();
}

CDelayBuffer* NewBuiltInDelayBuffer()
{
    return new (std::nothrow) CDelayBufferImpl();
}

CDelayCompensation* NewBuiltInDelayCompensation()
{
    return nullptr;
}
