// The front end's own stages.
#include "Vantrel/frontend/BuiltInStages.h"

#include <new>

#include "Vantrel/frontend/DelayBufferImpl.h"
#include "Vantrel/frontend/DelayCompensationImpl.h"
#include "Vantrel/frontend/InputMuxImpl.h"

CInputMux* NewBuiltInInputMux() { return new (std::nothrow) CInputMuxImpl(); }

CDelayBuffer* NewBuiltInDelayBuffer() { return new (std::nothrow) CDelayBufferImpl(); }

CDelayCompensation* NewBuiltInDelayCompensation() { return new (std::nothrow) CDelayCompensationImpl(0); }
