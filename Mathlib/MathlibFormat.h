// Bounded formatting with the truncation rule the layer's reports rely on:
// at most `size` bytes are written; a shorter text is terminated; a text that
// fills `size` exactly is stored without terminator and counts as fitting; a
// longer one is cut and gives -1. A size of 0 or less writes nothing.
#pragma once
#include <cstdarg>

int MathlibFormat(char* buffer, int size, const char* format, ...) __attribute__((format(printf, 3, 4)));
int MathlibFormatV(char* buffer, int size, const char* format, va_list args);
