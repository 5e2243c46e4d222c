// Status codes every primitive returns: 0 success, negative errors (nothing
// written), positive warnings (the whole result written).
#pragma once
#include <cstdint>

using spStatus = int32_t;

enum : spStatus {
  spOk = 0,
  spErrLength = -6,
  spErrNullPointer = -8,
  spErrNoMemory = -9,
  spErrFftOrder = -15,
  spErrFftScaleFlag = -16,
  spErrSpecKind = -17,
  spErrThreshold = -19,
  spErrTapCount = -26,
  spErrTonePhase = -44,
  spErrToneFrequency = -45,
  spErrToneMagnitude = -46,
  spErrStride = -182,
  spErrRowCount = -203,
  spErrSizeMismatch = -204,
  spWarnSqrtNegative = 3,
  spWarnDivByZero = 4,
  spWarnZeroDivisor = 6,
  spWarnLnZero = 7,
  spWarnLnNegative = 8,
  spWarnNotIntelCpu = 20,
  spStatusUnknownCpuType = 21,
};
