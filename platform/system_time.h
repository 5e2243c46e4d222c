// UTC system time with milliseconds, and a seam that lets tests fix the clock.
#pragma once

#include <functional>

#include "platform/wintypes.h"

struct SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
};

void GetSystemTime(SYSTEMTIME* time);

// Replaces the clock (empty function: the real clock again); returns the previous one.
using SystemTimeSource = std::function<void(SYSTEMTIME*)>;
SystemTimeSource SetSystemTimeSourceForTesting(SystemTimeSource source);
