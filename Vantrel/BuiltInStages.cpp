// The front end's own stages.
#include "Vantrel/BuiltInStages.h"

#include <new>

#include "Vantrel/DelayBufferImpl.h"
#include "Vantrel/DelayCompensationImpl.h"
#include "Vantrel/InputMuxImpl.h"

CInputMux* NewBuiltInInputMux() { return new (std::nothrow) CInputMuxImpl(); }

CDelayBuffer* NewBuiltInDelayBuffer() { return new (std::nothrow) CDelayBufferImpl(); }

CDelayCompensation* NewBuiltInDelayCompensation() { return new (std::nothrow) CDelayCompensationImpl(0); }
