// CString behaviour the component relies on, and the string table.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/CString.h"
#include "resources/string_ids.h"

namespace {

TEST(CString, BuildsComparesAndConcatenates) {
  CString empty;
  CString null(static_cast<const char*>(nullptr));
  EXPECT_TRUE(empty.IsEmpty());
  EXPECT_TRUE(null.IsEmpty());

  CString place = "CDelayBufferImpl";
  CString copy = place;
  copy += ", ";
  copy += CString("AllocateBuffers()");
  EXPECT_EQ("CDelayBufferImpl", place);  // the copy is independent
  EXPECT_EQ(CString("CDelayBufferImpl, AllocateBuffers()"), copy);
  EXPECT_EQ(35, copy.GetLength());
  EXPECT_TRUE("a" + CString("b") + 'c' == "abc");
  EXPECT_TRUE(CString("abc") != "abd");
  EXPECT_LT(CString("abc").Compare("abd"), 0);
  EXPECT_EQ(0, CString("ABC").CompareNoCase("abc"));
  EXPECT_STREQ("abc", static_cast<const char*>(CString("abc")));
}

TEST(CString, FormatsAnyLength) {
  CString text;
  text.Format("%s=%d (0x%lX)", "level", 1040, 0x410ul);
  EXPECT_EQ("level=1040 (0x410)", text);
  std::string longText(20000, 'x');
  text.Format("[%s]", longText.c_str());
  EXPECT_EQ(20002, text.GetLength());
  text.AppendFormat("%d", 7);
  EXPECT_EQ('7', text[20002]);
}

TEST(CString, LoadsTheComponentsStrings) {
  struct Case {
    UINT id;
    const char* text;
  } cases[] = {
      {IDS_TIME_EVENT_NAME, "Start and End Time"},
      {IDS_OUT_OF_MEMORY, "Out of memory. Close some applications and restart program."},
      {IDS_UNDEFINED_ERROR, "Undefined Error"},
      {IDS_REFERENCE_SIGNAL, "Reference Signal"},
      {IDS_UNIT_MS, "ms"},
      {IDS_UNIT_BIN, "bin"},
      {IDS_TEST_SIGNAL, "Test Signal"},
      {IDS_NOISE_SIGNAL, "Noise Signal"},
      {IDS_DUMMY, "Dummy"},
  };
  for (const Case& c : cases) {
    CString text;
    EXPECT_TRUE(text.LoadString(c.id)) << c.id;
    EXPECT_EQ(CString(c.text), text);
  }
  CString kept = "kept";
  EXPECT_FALSE(kept.LoadString(9999));
  EXPECT_EQ("kept", kept);
}

TEST(CString, SubstringsAndBuffersStayInBounds) {
  CString text = "  Start and End  ";
  EXPECT_EQ("Start and End", CString(text).Trim());
  CString s = "abcdef";
  EXPECT_EQ("ab", s.Left(2));
  EXPECT_EQ("abcdef", s.Left(99));
  EXPECT_EQ("", s.Left(-1));
  EXPECT_EQ("cde", s.Mid(2, 3));
  EXPECT_EQ("", s.Mid(10));
  EXPECT_EQ("ef", s.Right(2));
  EXPECT_EQ(2, s.Find("cd"));
  EXPECT_EQ(-1, s.Find('z'));
  EXPECT_EQ(-1, s.Find('a', 99));

  char* buffer = s.GetBuffer(32);
  strcpy(buffer, "xyz");
  s.ReleaseBuffer();
  EXPECT_EQ("xyz", s);
  EXPECT_EQ(3, s.GetLength());
}

}  // namespace
