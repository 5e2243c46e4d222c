// The command line's edges: "--" ends the options, the trace mask has one
// written form, and --quiet leaves the summary alone.
#include <filesystem>
#include <string>

#include "host_command_fixture.h"

namespace {

TEST_F(HostCommandTest, AfterTheEndOfOptionsAFileMayBeginWithADash) {
  WritePair(1234, "-x.wav", "-y.wav");
  const HostRun run = Run("-- -x.wav -y.wav");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("Delay found: 1234 samples"), std::string::npos) << run.out;
  // Before it, the same name is still an unknown option.
  EXPECT_EQ(Run("-x.wav -y.wav").exitCode, 2);
}

TEST_F(HostCommandTest, TheTraceMaskHasOneWrittenForm) {
  struct Case {
    const char* mask;
    const char* stored;  // null: refused
  };
  for (const Case& c : {Case{"0x410", "0x410"}, Case{"0X1f", "0x1F"}, Case{"1040", "0x410"}, Case{"0", "0x0"},
                        Case{"0xFFFFFFFF", "0xFFFFFFFF"}, Case{"-0", nullptr}, Case{"010", nullptr},
                        Case{"' 16'", nullptr}, Case{"'16 '", nullptr}, Case{"+16", nullptr}, Case{"0x", nullptr},
                        Case{"0x100000000", nullptr}, Case{"4294967296", nullptr}, Case{"1e3", nullptr}}) {
    SCOPED_TRACE(c.mask);
    const HostRun run = RunPlain(std::string("--set-trace-mask ") + c.mask);
    if (c.stored != nullptr) {
      EXPECT_EQ(run.exitCode, 0) << run.err;
      EXPECT_NE(run.out.find(std::string("Trace mask ") + c.stored + " stored"), std::string::npos) << run.out;
    } else {
      EXPECT_EQ(run.exitCode, 2) << run.out;
      ASSERT_FALSE(run.errLines.empty());
      EXPECT_EQ(run.errLines.back().rfind("vantrel-host: ", 0), 0u) << run.err;
    }
  }
  RunPlain("--set-trace-mask 0");
}

TEST_F(HostCommandTest, QuietPrintsTheSummaryAlone) {
  WritePair(300, "ref.wav", "test.wav");
  for (const char* arguments : {"ref.wav test.wav", ""}) {  // a pair, and the demonstration pair
    SCOPED_TRACE(arguments);
    const HostRun run = Run(arguments);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Delay found"), std::string::npos) << run.out;
    for (const char* chatter : {"Reference:", "Test:", "Searching", "Demonstration pair"})
      EXPECT_EQ(run.out.find(chatter), std::string::npos) << run.out;
  }
}

}  // namespace
