// Why an operation of CMsystem refused: Init, UpdateSysPara, Go and
// ProcessFrame return 0 for many reasons (a missing file, a file that is not
// sound, a record its files cannot serve, no sound device, a search that
// cannot fit in memory ...). The object keeps the reason of the last one,
// whatever the trace mask: a code to branch on and a line for people.
//     if (system.Go() == 0) {
//       if (system.LastRefusalCode() == RefusalCode::MissingFile) AskForAnotherFile();
//       std::fprintf(stderr, "%s\n", system.LastRefusal().Text().c_str());
//     }
#pragma once

#include <cstdint>
#include <string>

// What kind of cause refused. The values are stable: new kinds are added at
// the end, none is renumbered.
enum class RefusalCode : int32_t {
  None = 0,            // nothing was refused
  MissingFile = 1,     // an input file that is not there or cannot be opened
  NotSound = 2,        // an input file that is not sound a reader knows, or is damaged
  FormatMismatch = 3,  // the files' rates or channels disagree with each other or the record
  Device = 4,          // no such sound device, or it would not start
  Memory = 5,          // memory could not be had
  Range = 6,           // a setting outside what the record can mean (channels, routing, frame length, range ...)
  Offset = 7,          // an input offset beyond the files or the buffers
  Window = 8,          // a search window longer than the transforms or the memory allow
  MathFailure = 9,     // a transform or other math step failed
  LostStream = 10,     // a live input ended while it was read (its server went away)
  NotReady = 11,       // called out of order: no successful Init or Go, no record, no frame
  Unsupported = 12,    // an input kind this component does not have (telephone lines)
  Other = 13,          // a refusal that names no more particular cause
  DamagedFile = 14,    // an input file that stopped decoding before the length its header gives
};

// A short stable name of the code ("missing file", "not sound", ...).
const char* RefusalCodeName(RefusalCode code);

struct RefusalReason {
  RefusalCode code = RefusalCode::None;
  // The operation that refused, as the trace names it (for diagnostics).
  std::string what;
  // The physical input (0 or 1, the index into SYSPARA::inputPara) the
  // reason concerns; -1 when it concerns none.
  int32_t input = -1;
  // One line for people without its newline, naming the input or file it
  // concerns; empty when nothing was refused.
  std::string why;

  bool IsSet() const { return !why.empty(); }
  // The line for people; empty when nothing was refused.
  std::string Text() const { return why; }
};
