// A program linking the shared library may define globals of its own under
// the names the library uses inside (theApp, g_TraceMask, g_TraceCounter,
// spDispatchIndex): the library neither writes them nor reads them, and
// keeps its own.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "Vantrel/DebugTrace.h"
#include "Vantrel/MeasurementApp.h"
#include "Vantrel/Registry.h"
#include "primitives/vector/sp_arith.h"
#include "support/registry_sandbox.h"

namespace {
constexpr unsigned char kFill = 0x5A;
struct Bytes {
  unsigned char bytes[4096];
};
constexpr Bytes Filled() {
  Bytes b{};
  for (unsigned char& c : b.bytes) c = kFill;
  return b;
}
}  // namespace

// The program's own, constant-initialised before the library loads; larger
// than any application object, so an overlay would show.
Bytes theApp = Filled();
volatile uint32_t g_TraceMask = 0xFFFFFFFFu;
volatile uint32_t g_TraceCounter = 7;
volatile int32_t spDispatchIndex = 99;  // no variant set has this index

namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(ProgramGlobals, TheLibraryLeavesThemAlone) {
  // The library has loaded (and read its trace mask) before main.
  for (unsigned char c : theApp.bytes) ASSERT_EQ(kFill, c);
  EXPECT_EQ(0xFFFFFFFFu, g_TraceMask);
  EXPECT_EQ(7u, g_TraceCounter);
  EXPECT_NE(static_cast<const void*>(&GetMeasurementApp()), static_cast<const void*>(&theApp));

  // The primitives dispatch on the library's own variant index.
  const float a[3] = {1, 2, 3}, b[3] = {10, 20, 30};
  float sum[3] = {};
  EXPECT_EQ(0, spAddF32(a, b, sum, 3));
  EXPECT_EQ(33.0f, sum[2]);
  EXPECT_EQ(99, spDispatchIndex);

  // The program's all-ones variable does not switch the library's trace on:
  // the library's mask is still the one it loaded (0, nothing stored).
  RegistrySandbox sandbox;
  const std::string traceFile = sandbox.Folder() + "-trace.txt";
  setenv("VANTREL_TRACE", traceFile.c_str(), 1);
  EXPECT_EQ(0u, GetTraceMask());
  EXPECT_EQ(0, WriteToRegistry("HKCU\\Software\\VantrelTest", "value", 1u));  // traces under TRACE_REGISTRY
  EXPECT_EQ("", ReadText(traceFile));

  // Lines the library writes count on its own counter.
  DebugTrace("counted\n");
  EXPECT_NE(std::string::npos, ReadText(traceFile).find("counted\n"));
  EXPECT_EQ(7u, g_TraceCounter);
  unsetenv("VANTREL_TRACE");
  std::remove(traceFile.c_str());
}

}  // namespace
