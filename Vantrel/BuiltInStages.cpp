// The signal front end's implementations are not part of the build yet:
// every factory reports that it cannot make its stage, which CMsystem
// treats as a stage that cannot be created.
#include "Vantrel/BuiltInStages.h"

CInputMux* NewBuiltInInputMux()
{
    return nullptr;
}

CDelayBuffer* NewBuiltInDelayBuffer()
{
    return nullptr;
}

CDelayCompensation* NewBuiltInDelayCompensation()
{
    return nullptr;
}
