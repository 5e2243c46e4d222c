// The component's own stage implementations, as the factories build them
// when no makers are installed. Each returns null when its stage cannot be
// made.
#pragma once

class CInputMux;
class CDelayBuffer;
class CDelayCompensation;

CInputMux* NewBuiltInInputMux();
CDelayBuffer* NewBuiltInDelayBuffer();
CDelayCompensation* NewBuiltInDelayCompensation();
