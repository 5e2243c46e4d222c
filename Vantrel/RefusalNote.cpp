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

void Note(RefusalCode code, const char* what, int input, std::string why) {
  if (t_record == nullptr || t_record->IsSet()) return;
  t_record->code = code;
  t_record->what = what;
  t_record->input = input;
  t_record->why = why.empty() ? std::string("refused") : std::move(why);
}

}  // namespace

const char* RefusalCodeName(RefusalCode code) {
  switch (code) {
    case RefusalCode::None: return "none";
    case RefusalCode::MissingFile: return "missing file";
    case RefusalCode::NotSound: return "not sound";
    case RefusalCode::FormatMismatch: return "format mismatch";
    case RefusalCode::Device: return "device";
    case RefusalCode::Memory: return "memory";
    case RefusalCode::Range: return "range";
    case RefusalCode::Offset: return "offset";
    case RefusalCode::Window: return "window";
    case RefusalCode::MathFailure: return "math failure";
    case RefusalCode::LostStream: return "lost stream";
    case RefusalCode::NotReady: return "not ready";
    case RefusalCode::Unsupported: return "unsupported";
    case RefusalCode::Other: return "other";
    case RefusalCode::DamagedFile: return "damaged file";
  }
  return "other";
}

RefusalScope::RefusalScope(RefusalReason* record, bool clearFirst) : m_previous(t_record) {
  if (clearFirst) *record = RefusalReason{};
  t_record = record;
}

RefusalScope::~RefusalScope() { t_record = m_previous; }

void NoteRefusal(RefusalCode code, const char* what, int input, const char* format, ...) {
  if (t_record == nullptr) return;
  va_list args;
  va_start(args, format);
  Note(code, what, input, Format(format, args));
  va_end(args);
}

void TraceRefusal(RefusalCode code, const char* what, int input, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string why = Format(format, args);
  va_end(args);
  VANTREL_TRACE(TRACE_ORDINARY, "%s(), ERROR: %s\n", what, why.c_str());
  Note(code, what, input, why);
}
