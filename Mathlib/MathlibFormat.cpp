#include "Mathlib/MathlibFormat.h"

#include <cstdio>
#include <cstring>
#include <vector>

int MathlibFormatV(char* buffer, int size, const char* format, va_list args) {
  if (!buffer || size <= 0 || !format) return -1;
  va_list measure;
  va_copy(measure, args);
  const int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (length < 0) return -1;
  if (length < size) return std::vsnprintf(buffer, static_cast<size_t>(size), format, args);
  // Exact fit or cut: the stored bytes carry no terminator.
  std::vector<char> full(static_cast<size_t>(length) + 1);
  std::vsnprintf(full.data(), full.size(), format, args);
  std::memcpy(buffer, full.data(), static_cast<size_t>(size));
  return length == size ? length : -1;
}

int MathlibFormat(char* buffer, int size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int result = MathlibFormatV(buffer, size, format, args);
  va_end(args);
  return result;
}
