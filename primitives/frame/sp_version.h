// Version records of the variant sets, the processor clock measurement and
// the x87 control-word helpers used around double-to-integer conversions.
#pragma once
#include <cstdint>

#include "primitives/frame/entries.h"
#include "primitives/frame/sp_status.h"

// One constant record per variant set (eight 32-bit words on the original
// 32-bit target; the text fields are pointers here).
struct spVersionRecord {
  int32_t major;            // 5
  int32_t minor;            // 1
  int32_t build;            // 133
  int32_t revision;         // 274
  int32_t targetCode;       // two ASCII letters, first in the low byte: "g0", "s1" .. "s4"
  const char* libraryName;  // "vantrel_sp_" and the set's name: "vantrel_sp_sse2"
  const char* versionText;  // "5.1.1"
  const char* buildDate;    // "Jun 17 2006"; the generic set "Jun 18 2006"
};

// The record of the running variant set (dispatched; never fails).
#define SP_VERSION_ENTRIES(X) X(const spVersionRecord*, spGetVersionRecord, (), ())
SP_DECLARE_ENTRIES(SP_VERSION_ENTRIES)

// Measures the processor clock over two whole wall-clock seconds (after one
// wait for a second boundary): blocks 2 to 3 s. Null pointer: -8 at once.
spStatus spGetCpuMhz(int32_t* mhz);
// The time-stamp counter.
uint64_t spRdtsc();
uint64_t spReadTsc();

// Sets (old & ~mask) | (value & mask) as the calling thread's x87 control
// word, loading it only when the masked bits differ; returns the old word.
uint32_t spX87SetControl(uint32_t value, uint32_t mask);
// Loads the low 16 bits of a word returned by spX87SetControl.
void spX87RestoreControl(uint32_t saved);
