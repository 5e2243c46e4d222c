// The sound-device back ends start only with the first device use, and
// what they say goes to the back-end message sink, not to stderr. A
// process of its own: the first use loads them for the rest of it.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "wavio/DeviceCapture.h"

namespace {

std::mutex g_linesMutex;
std::vector<std::string> g_lines;

void Collect(const char* line) {
  std::lock_guard<std::mutex> lock(g_linesMutex);
  g_lines.emplace_back(line);
}

bool Loaded(const char* library) {
  void* handle = dlopen(library, RTLD_NOW | RTLD_NOLOAD);
  if (handle != nullptr) dlclose(handle);
  return handle != nullptr;
}

// What `run` writes to stderr (file descriptor 2).
template <class Run>
std::string StderrOf(Run run) {
  std::fflush(stderr);
  FILE* capture = std::tmpfile();
  const int saved = dup(2);
  dup2(fileno(capture), 2);
  run();
  std::fflush(stderr);
  dup2(saved, 2);
  close(saved);
  std::string text;
  std::rewind(capture);
  for (int c; (c = std::fgetc(capture)) != EOF;) text += char(c);
  std::fclose(capture);
  return text;
}

}  // namespace

TEST(SoundBackEnds, LoadOnlyWithTheFirstDeviceUseAndSpeakOnlyThroughTheSink) {
  for (const char* library : {"libportaudio.so.2", "libasound.so.2", "libjack.so.0"})
    EXPECT_FALSE(Loaded(library)) << library << " loaded before any device use";
  SetSoundBackEndMessageSink(&Collect);
  const std::string said = StderrOf([] {
    ListSoundInputDevices();
    ListSoundInputDevices();
  });
  SetSoundBackEndMessageSink(nullptr);
  EXPECT_EQ(said.find("ALSA lib"), std::string::npos) << said;
  EXPECT_EQ(said.find("jack"), std::string::npos) << said;
  std::lock_guard<std::mutex> lock(g_linesMutex);
  for (const std::string& line : g_lines) {
    EXPECT_TRUE(line.rfind("ALSA ", 0) == 0 || line.rfind("JACK ", 0) == 0) << line;
    EXPECT_EQ(line.back(), '\n') << line;
  }
}
