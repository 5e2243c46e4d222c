#include "platform/CString.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "platform/string_table.h"

CString::CString(const char* text) : m_text(text != nullptr ? text : "") {}

CString::CString(const char* text, int length) {
  if (text != nullptr && length > 0) m_text.assign(text, strnlen(text, static_cast<size_t>(length)));
}

CString::CString(char ch, int repeat) : m_text(repeat > 0 ? static_cast<size_t>(repeat) : 0, ch) {}

CString& CString::operator=(const char* text) {
  m_text = text != nullptr ? text : "";
  return *this;
}

CString& CString::operator=(const std::string& text) {
  m_text = text;
  return *this;
}

namespace {

std::string FormatToString(const char* format, va_list args) {
  if (format == nullptr) return {};
  va_list probe;
  va_copy(probe, args);
  int needed = vsnprintf(nullptr, 0, format, probe);
  va_end(probe);
  if (needed <= 0) return {};
  std::string text(static_cast<size_t>(needed), '\0');
  vsnprintf(text.data(), text.size() + 1, format, args);  // the terminator lands on the string's own
  return text;
}

}  // namespace

void CString::FormatV(const char* format, va_list args) { m_text = FormatToString(format, args); }

void CString::Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  FormatV(format, args);
  va_end(args);
}

void CString::AppendFormat(const char* format, ...) {
  va_list args;
  va_start(args, format);
  m_text += FormatToString(format, args);
  va_end(args);
}

BOOL CString::LoadString(UINT id) {
  const char* text = FindStringResource(id);
  if (text == nullptr) return FALSE;
  m_text = text;
  return TRUE;
}

CString& CString::operator+=(const CString& other) {
  m_text += other.m_text;
  return *this;
}

CString& CString::operator+=(const char* text) {
  if (text != nullptr) m_text += text;
  return *this;
}

CString& CString::operator+=(char ch) {
  m_text += ch;
  return *this;
}

int CString::Compare(const char* text) const { return strcmp(m_text.c_str(), text != nullptr ? text : ""); }

int CString::CompareNoCase(const char* text) const { return strcasecmp(m_text.c_str(), text != nullptr ? text : ""); }

int CString::Find(const char* sub, int start) const {
  if (sub == nullptr || start < 0 || start > GetLength()) return -1;
  size_t at = m_text.find(sub, static_cast<size_t>(start));
  return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::Find(char ch, int start) const {
  if (start < 0 || start > GetLength()) return -1;
  size_t at = m_text.find(ch, static_cast<size_t>(start));
  return at == std::string::npos ? -1 : static_cast<int>(at);
}

CString CString::Left(int count) const {
  count = std::clamp(count, 0, GetLength());
  return CString(m_text.substr(0, static_cast<size_t>(count)));
}

CString CString::Mid(int first) const { return Mid(first, GetLength()); }

CString CString::Mid(int first, int count) const {
  first = std::clamp(first, 0, GetLength());
  count = std::clamp(count, 0, GetLength() - first);
  return CString(m_text.substr(static_cast<size_t>(first), static_cast<size_t>(count)));
}

CString CString::Right(int count) const {
  count = std::clamp(count, 0, GetLength());
  return CString(m_text.substr(m_text.size() - static_cast<size_t>(count)));
}

CString& CString::Trim() {
  auto blank = [](char c) { return isspace(static_cast<unsigned char>(c)) != 0; };
  size_t begin = 0;
  while (begin < m_text.size() && blank(m_text[begin])) ++begin;
  size_t end = m_text.size();
  while (end > begin && blank(m_text[end - 1])) --end;
  m_text = m_text.substr(begin, end - begin);
  return *this;
}

char* CString::GetBuffer(int minLength) {
  if (minLength > GetLength()) m_text.resize(static_cast<size_t>(minLength));
  return m_text.data();
}

void CString::ReleaseBuffer(int newLength) {
  size_t length =
      newLength < 0 ? strnlen(m_text.c_str(), m_text.size()) : std::min(static_cast<size_t>(newLength), m_text.size());
  m_text.resize(length);
}

CString operator+(const CString& a, const CString& b) { return CString(a.str() + b.str()); }
CString operator+(const CString& a, const char* b) { return CString(a.str() + (b != nullptr ? b : "")); }
CString operator+(const char* a, const CString& b) { return CString((a != nullptr ? a : "") + b.str()); }
CString operator+(const CString& a, char b) { return CString(a.str() + b); }

bool operator==(const CString& a, const CString& b) { return a.str() == b.str(); }
bool operator==(const CString& a, const char* b) { return a.Compare(b) == 0; }
bool operator==(const char* a, const CString& b) { return b.Compare(a) == 0; }
bool operator!=(const CString& a, const CString& b) { return !(a == b); }
bool operator!=(const CString& a, const char* b) { return !(a == b); }
bool operator!=(const char* a, const CString& b) { return !(a == b); }
