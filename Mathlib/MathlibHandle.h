// Per-client state of the math layer. Each client creates its handle with
// MathlibInit and releases it with MathlibFree; the process-wide count of
// live handles is kept under the named mutex "RoviRidAzuvuruvEdureZoro", and
// the handle created while the count is 0 runs the primitives' processor
// detection (before that every primitive runs its generic set).
#pragma once
#include <cstdint>

struct REALFFTSPEC;

// A handle's one cached, prepared real FFT. A spec serves only the variant
// set that built it, so the record also notes the set running when it was
// made. The spec's scratch is kept with it, so that a transform does not
// allocate (and fault in) its own on every call.
struct MathlibFftCache {
  int32_t order;        // N = 2^order
  int32_t elementBits;  // 32 or 64
  REALFFTSPEC* spec;    // null in a new record and after a failed build
  int32_t variantSet;   // the running set when the record was created
  uint8_t* work;        // the spec's scratch; null while none is held
};

struct MathlibHandle {
  MathlibFftCache* cache;  // first field: the FFT functions take its address
  int64_t timerStart[5];
  int32_t cpuMhz;  // 0: timers off
};

// A new handle, or null (traced) when memory is exhausted; the count only
// grows on success.
MathlibHandle* MathlibInit();
// Releases *handle and sets it to null; a null *handle gives a warning line.
void MathlibFree(MathlibHandle** handle);

// Number of live handles in this process.
int32_t MathlibInstanceCount();

// `where` is the handle's cache field. Create replaces it with a new empty
// record for the given precision and the running set (it stays null when
// memory is exhausted); Free releases the prepared transform, its scratch
// and the record.
void MathlibFftCacheCreate(MathlibFftCache** where, int32_t elementBits);
void MathlibFftCacheFree(MathlibFftCache** where);

// Time-stamp-counter timers in five slots. Calibrate measures the clock
// (blocks two to three seconds) and turns the timers on. A null handle is a
// no-op returning 0.
int MathlibTimerCalibrate(MathlibHandle* handle);
int MathlibTimerStart(MathlibHandle* handle, int slot);
int MathlibTimerRead(MathlibHandle* handle, int slot, uint32_t* ticks, double* seconds);
