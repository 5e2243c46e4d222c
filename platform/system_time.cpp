#include "platform/system_time.h"

#include <chrono>
#include <ctime>
#include <mutex>

namespace {

std::mutex g_sourceLock;
SystemTimeSource g_source;

void ReadRealClock(SYSTEMTIME* out) {
  using namespace std::chrono;
  auto now = system_clock::now();
  auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count();
  time_t seconds = static_cast<time_t>(ms / 1000);
  struct tm utc {};
  gmtime_r(&seconds, &utc);
  out->wYear = static_cast<WORD>(utc.tm_year + 1900);
  out->wMonth = static_cast<WORD>(utc.tm_mon + 1);
  out->wDayOfWeek = static_cast<WORD>(utc.tm_wday);
  out->wDay = static_cast<WORD>(utc.tm_mday);
  out->wHour = static_cast<WORD>(utc.tm_hour);
  out->wMinute = static_cast<WORD>(utc.tm_min);
  out->wSecond = static_cast<WORD>(utc.tm_sec);
  out->wMilliseconds = static_cast<WORD>(ms % 1000);
}

}  // namespace

void GetSystemTime(SYSTEMTIME* time) {
  if (time == nullptr) return;
  SystemTimeSource source;
  {
    std::lock_guard<std::mutex> guard(g_sourceLock);
    source = g_source;
  }
  if (source)
    source(time);
  else
    ReadRealClock(time);
}

SystemTimeSource SetSystemTimeSourceForTesting(SystemTimeSource source) {
  std::lock_guard<std::mutex> guard(g_sourceLock);
  SystemTimeSource previous = std::move(g_source);
  g_source = std::move(source);
  return previous;
}
