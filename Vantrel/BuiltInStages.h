// The component's own stage implementations, as the factories build them
// when no makers are installed. Each returns null when its stage cannot be
// made; the delay compensation cannot be made until it is built in.
#pragma once

class CInputMux;
class CDelayBuffer;
class CDelayCompensation;

CInputMux* NewBuiltInInputMux();
CDelayBuffer* NewBuiltInDelayBuffer();
CDelayCompensation* NewBuiltInDelayCompensation();
