// Why an operation of CMsystem refused: Init, UpdateSysPara, Go and
// ProcessFrame return 0 for many reasons (a missing file, a file that is not
// sound, a record its files cannot serve, no sound device, a search that
// cannot fit in memory ...). The object keeps the reason of the last one,
// whatever the trace mask:
//     if (system.Go() == 0) std::fprintf(stderr, "%s\n", system.LastRefusal().Text().c_str());
#pragma once

#include <cstdint>
#include <string>

struct RefusalReason {
  // The operation that refused, as the trace names it ("CInputMuxImpl::Open").
  std::string what;
  // The physical input (0 or 1, the index into SYSPARA::inputPara) the
  // reason concerns; -1 when it concerns none.
  int32_t input = -1;
  // One line without its newline, naming the input or file it concerns;
  // empty when nothing was refused.
  std::string why;

  bool IsSet() const { return !why.empty(); }
  // "<why> (<what>)"; empty when nothing was refused.
  std::string Text() const { return !IsSet() ? std::string() : what.empty() ? why : why + " (" + what + ")"; }
};
