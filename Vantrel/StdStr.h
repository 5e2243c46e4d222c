// CStdStr: a standard string that, built from a character pointer, takes a
// null pointer as empty text and a pointer whose value fits in 16 bits as a
// string-resource id (the MAKEINTRESOURCE convention), loading that text.
#pragma once

#include <cstdint>
#include <string>

#include "platform/string_table.h"

template <class CharT>
class CStdStr : public std::basic_string<CharT> {
 public:
  using Base = std::basic_string<CharT>;

  CStdStr() = default;
  CStdStr(const Base& text) : Base(text) {}
  CStdStr(const CharT* text) { Assign(text); }

 private:
  void Assign(const CharT* text) {
    if (text == nullptr) return;
    const uintptr_t value = reinterpret_cast<uintptr_t>(text);
    if ((value >> 16) == 0) {
      const char* resource = FindStringResource(static_cast<UINT>(value));
      if (resource != nullptr)
        for (const char* p = resource; *p != 0; ++p)
          this->push_back(static_cast<CharT>(static_cast<unsigned char>(*p)));
      return;
    }
    Base::assign(text);
  }
};
