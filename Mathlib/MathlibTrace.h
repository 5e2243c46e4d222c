// The math layer's own debug trace: every call writes one line to the
// debugger output, prefixed "(PID=0x..,TID=0x..):<counter>: VavoverIVIZ32O: ".
// It is not gated by the component's trace mask. The stream argument is
// accepted for the callers' sake and ignored. Lines are bounded as every
// trace line is (platform/trace_line.h).
#pragma once
#include <cstdint>
#include <cstdio>

void MathlibTrace(FILE* stream, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Number of lines written so far (the next line carries this number).
uint32_t MathlibTraceCounter();
void MathlibTraceResetCounterForTesting();
