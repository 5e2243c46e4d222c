#include "Mathlib/MathlibReport.h"

#include <cstring>

#include "Mathlib/MathlibClock.h"
#include "Mathlib/MathlibFormat.h"
#include "primitives/frame/sp_cpu.h"
#include "primitives/frame/sp_version.h"

namespace {
constexpr const char* kLayerVersion = "1.2";

struct ProcessorName {
  int code;
  const char* name;
};
constexpr ProcessorName kProcessorNames[] = {
    {0x00, "Unknown processor"},
    {0x01, "Intel Pentium processor"},
    {0x02, "Intel Pentium with MMX technology"},
    {0x03, "Intel Pentium Pro processor"},
    {0x04, "Intel Pentium II processor"},
    {0x05, "Intel Pentium III processor or Intel Pentium III XeonTM processor"},
    {0x06, "Intel Pentium 4 processor or Intel Pentium 4 XeonTM processor"},
    {0x07, "Intel Pentium 4 processor with Hyper-Threading Technology"},
    {0x08, "Intel Pentium 4 Processor with Streaming SIMD Extensions 3"},
    {0x09, "Intel CentrinoTM mobile technology"},
    {0x0A, "Intel(R) Core(TM) Duo processor or Intel(R) Core(TM) Solo processor"},
    {0x10, "Intel Itanium processor"},
    {0x11, "Intel Itanium 2 processor"},
    {0x20, "IA-32 processor with Intel Extended Memory 64 Technology"},
    {0x21, "Intel(R) Core(TM) 2 Duo processor "},
    {0x22, "Intel(R) Core(TM) 2 Duo processor - next "},
    {0x40, "Processor supports Intel Pentium III processor instruction set"},
    {0x41, " Processor with Streaming SIMD Extensions 2 instruction set"},
    {0x42, "Processor with Streaming SIMD Extensions 3 instruction set"},
    {0x43, "Processor supports 64 bit extension"},
};

// Appends sections while room is left; a section that does not fit (or is empty)
// ends the report.
class ReportWriter {
 public:
  ReportWriter(char* buffer, int size) : m_buffer(buffer), m_room(size - 1) {}

  template <typename... Args>
  void Section(const char* format, Args... args) {
    m_result = MathlibFormat(m_buffer + m_used, m_room, format, args...);
    if (m_result <= 0) {
      if (m_room > 0 && m_result < 0) m_used += m_room;  // keep the cut text
      m_room = 0;
      return;
    }
    m_used += m_result;
    m_room -= m_result;
  }
  int Finish() {
    m_buffer[m_used] = '\0';
    return m_result;
  }

 private:
  char* m_buffer;
  int m_room;
  int m_used = 0;
  int m_result = -1;
};
}  // namespace

const char* MathlibProcessorName(int typeCode) {
  for (const auto& entry : kProcessorNames)
    if (entry.code == typeCode) return entry.name;
  return "Unknown processor Number ";
}

int MathlibProcessorReport(char* buffer, int size) {
  if (!buffer || size <= 0) return -1;
  ReportWriter report(buffer, size);

  const int type = spGetProcessorType();
  char name[101];
  std::strncpy(name, MathlibProcessorName(type), sizeof name - 1);
  name[sizeof name - 1] = '\0';
  report.Section(" Processor Type = (%d) %s \n\n", type, name);

  int32_t mhz = 0;
  MathlibMeasureCpuMhz(&mhz);
  const int64_t t0 = MathlibReadCounter();
  const int64_t t1 = MathlibReadCounter();
  report.Section("      CPU Clock = %d Mhz (%lf Hz) - %ld clock tics \n\n", static_cast<int>(mhz), mhz * 1000000.0,
                 static_cast<long>(static_cast<int32_t>(static_cast<uint32_t>(t1 - t0))));

  const spVersionRecord* version = spGetVersionRecord();
  report.Section("Vor Lib Version = %s %s %d.%d.%d.%d %s", version->libraryName, version->versionText,
                 static_cast<int>(version->major), static_cast<int>(version->minor), static_cast<int>(version->build),
                 static_cast<int>(version->revision), "(variable)");
  report.Section("( %s )", "DAD51_32Ori");
  return report.Finish();
}

int MathlibVersion(char* text, int textSize, char* version, int versionSize) {
  int result = 0;
  if (text && textSize > 0) {
    if (MathlibFormat(text, textSize, "MathLib = %s ( %s  %s )", kLayerVersion, __DATE__, __TIME__) < 0) result |= 1;
  }
  if (version) {
    if (versionSize <= 0 || MathlibFormat(version, versionSize, "%s", kLayerVersion) < 0) result |= 2;
  }
  return result;
}
