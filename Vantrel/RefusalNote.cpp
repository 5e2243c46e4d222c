#include "Vantrel/RefusalNote.h"

#include <cstdarg>
#include <cstdio>

#include "Vantrel/VantrelTrace.h"

namespace {

// The record of the operation running on this thread, and whether a note
// of its scope stands already.
thread_local RefusalReason* t_record = nullptr;

std::string Format(const char* format, va_list args) {
  char text[512];
  std::vsnprintf(text, sizeof text, format, args);
  return text;
}

void Note(const char* what, int input, std::string why) {
  if (t_record == nullptr || t_record->IsSet()) return;
  t_record->what = what;
  t_record->input = input;
  t_record->why = why.empty() ? std::string("refused") : std::move(why);
}

}  // namespace

RefusalScope::RefusalScope(RefusalReason* record, bool clearFirst) : m_previous(t_record) {
  if (clearFirst) *record = RefusalReason{};
  t_record = record;
}

RefusalScope::~RefusalScope() { t_record = m_previous; }

void NoteRefusal(const char* what, int input, const char* format, ...) {
  if (t_record == nullptr) return;
  va_list args;
  va_start(args, format);
  Note(what, input, Format(format, args));
  va_end(args);
}

void TraceRefusal(const char* what, int input, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string why = Format(format, args);
  va_end(args);
  VANTREL_TRACE(TRACE_ORDINARY, "%s(), ERROR: %s\n", what, why.c_str());
  Note(what, input, why);
}
