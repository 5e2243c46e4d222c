// Diagnostics texts of the math layer: the processor report (type, clock,
// running variant set's version) and the layer's own version.
#pragma once

// Writes at most size-1 bytes and terminates the text. Returns the result of
// the last section (negative when the text was cut); -1 and nothing written for
// a null buffer or a size of 0 or less. Measures the clock (two to three
// seconds unless a probe is installed, see MathlibClock.h).
int MathlibProcessorReport(char* buffer, int size);

// "MathLib = 1.2 ( <build date>  <build time> )" into text and "1.2" into
// version, each bounded by its size; returns bit 0 when the text did not fit,
// bit 1 when the version did not.
int MathlibVersion(char* text, int textSize, char* version, int versionSize);

// The name printed for a processor type code.
const char* MathlibProcessorName(int typeCode);
