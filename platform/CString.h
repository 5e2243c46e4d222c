// CString: the MFC string class as the component uses it, a narrow text
// value with formatting, comparison and loading from the string table.
#pragma once

#include <cstdarg>
#include <string>

#include "platform/wintypes.h"

class CString {
 public:
  CString() = default;
  CString(const char* text);  // null gives an empty string
  CString(const char* text, int length);
  CString(char ch, int repeat = 1);
  CString(const std::string& text) : m_text(text) {}
  CString(const CString&) = default;
  CString(CString&&) noexcept = default;
  CString& operator=(const CString&) = default;
  CString& operator=(CString&&) noexcept = default;
  CString& operator=(const char* text);
  CString& operator=(const std::string& text);

  int GetLength() const { return static_cast<int>(m_text.size()); }
  BOOL IsEmpty() const { return m_text.empty() ? TRUE : FALSE; }
  void Empty() { m_text.clear(); }

  // printf-style; replaces the content.
  void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void FormatV(const char* format, va_list args);
  void AppendFormat(const char* format, ...) __attribute__((format(printf, 2, 3)));

  // Loads text `id` from the component's string table; FALSE (content
  // unchanged) when the table has no such id.
  BOOL LoadString(UINT id);

  CString& operator+=(const CString& other);
  CString& operator+=(const char* text);
  CString& operator+=(char ch);

  int Compare(const char* text) const;
  int CompareNoCase(const char* text) const;

  // Zero for an index outside the text.
  char GetAt(int index) const { return index >= 0 && index < GetLength() ? m_text[static_cast<size_t>(index)] : '\0'; }
  char operator[](int index) const { return GetAt(index); }
  int Find(const char* sub, int start = 0) const;
  int Find(char ch, int start = 0) const;
  CString Left(int count) const;
  CString Mid(int first) const;
  CString Mid(int first, int count) const;
  CString Right(int count) const;
  CString& Trim();

  // Writable buffer of at least minLength characters; ReleaseBuffer takes
  // the new length (-1: up to the first zero byte).
  char* GetBuffer(int minLength = 0);
  void ReleaseBuffer(int newLength = -1);

  const char* GetString() const { return m_text.c_str(); }
  operator const char*() const { return m_text.c_str(); }
  const std::string& str() const { return m_text; }

 private:
  std::string m_text;
};

CString operator+(const CString& a, const CString& b);
CString operator+(const CString& a, const char* b);
CString operator+(const char* a, const CString& b);
CString operator+(const CString& a, char b);

bool operator==(const CString& a, const CString& b);
bool operator==(const CString& a, const char* b);
bool operator==(const char* a, const CString& b);
bool operator!=(const CString& a, const CString& b);
bool operator!=(const CString& a, const char* b);
bool operator!=(const char* a, const CString& b);
