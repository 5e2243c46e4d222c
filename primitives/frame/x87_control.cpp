// x87 control-word helpers (per thread: the word lives in the thread's FPU
// state).
#include "primitives/frame/sp_version.h"

namespace {
uint16_t ReadControlWord() {
  uint16_t word;
  __asm__ volatile("fnstcw %0" : "=m"(word));
  return word;
}

void LoadControlWord(uint16_t word) { __asm__ volatile("fldcw %0" : : "m"(word)); }
}  // namespace

uint32_t spX87SetControl(uint32_t value, uint32_t mask) {
  const uint16_t old = ReadControlWord();
  if ((old & mask) != (value & mask)) LoadControlWord(static_cast<uint16_t>((old & ~mask) | (value & mask)));
  return old;
}

void spX87RestoreControl(uint32_t saved) { LoadControlWord(static_cast<uint16_t>(saved & 0xffff)); }
