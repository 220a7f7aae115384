// The demo as a user tries it: vttel runs demo/demo.vts on several lines of
// the simulated board and demo/caller.py calls them all at once, each
// caller leaving a message. The demo's spoken voices are replaced by short
// tones made by sox.
#include <filesystem>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/vttel/vttel_fixture.h"

namespace vttel_test {
namespace {

const std::string kDemo = std::string(VTTEL_SOURCE_DIR) + "/demo";
constexpr int kCallers = 4;
// The caller speaks one second of A-law at 8000 bytes a second.
constexpr size_t kSpokenBytes = 8000;

// The demo's prompts as 0.1 s tones in the program folder's "voc/en".
void MakeDemoVoices(const TempDir& home) {
  std::filesystem::create_directories(home.File("voc/en"));
  std::vector<std::string> names = {"welcome", "menu", "yournumber", "record", "thanks",
                                    "goodbye"};
  for (int d = 0; d <= 9; ++d) names.push_back(std::to_string(d));
  int hertz = 500;
  for (const std::string& name : names) {
    std::string out;
    ASSERT_EQ(RunToEnd("/usr/bin/sox", {"-n", "-r", "8000", "-c", "1", "-e", "a-law", "-b", "8",
                                        "-t", "wav", home.File("voc/en/" + name + ".WAV"),
                                        "synth", "0.1", "sine", std::to_string(hertz += 50)},
                       &out),
              0)
        << out;
  }
}

// The samples of a WAV file: what follows its "data" chunk header.
std::string WavData(const std::string& wav) {
  const size_t chunk = wav.find("data");
  return chunk == std::string::npos ? std::string() : wav.substr(chunk + 8);
}

// Callers on several lines at once: every line records into a file of its
// own, which sox reads as a whole second or more of that line's caller,
// from its first sample on.
TEST_F(VttelTest, DemoCallersAtOnceEachLeaveAMessageOfTheirOwn) {
  WriteProgramFolder("0-" + std::to_string(kCallers - 1) + "=demo.vts\n");
  std::filesystem::copy_file(kDemo + "/demo.vts", home_.File("demo.vts"));
  MakeDemoVoices(home_);
  ASSERT_TRUE(Start());
  for (int line = 0; line < kCallers; ++line) ASSERT_TRUE(WaitForRun(line)) << MainLog();
  std::string out;
  ASSERT_EQ(RunToEnd(kPython, {kDemo + "/caller.py", "--socket", home_.File("simboard.sock"),
                               "--calls", std::to_string(kCallers), "--menu", "2", "--together"},
                     &out, 60000),
            0)
      << out;
  for (int line = 0; line < kCallers; ++line) {
    SCOPED_TRACE(line);
    const std::string file = home_.File("voc/en/message" + std::to_string(line) + ".WAV");
    std::string seconds;
    ASSERT_EQ(RunToEnd("/usr/bin/soxi", {"-D", file}, &seconds), 0) << seconds;
    EXPECT_GE(std::stod(seconds), 1.0);
    const std::string spoken =
        ReadFile(home_.File("caller_tone" + std::to_string(line) + ".raw")).value_or("");
    ASSERT_EQ(spoken.size(), kSpokenBytes);
    EXPECT_TRUE(WavData(ReadFile(file).value_or("")).starts_with(spoken));
  }
  EXPECT_EQ(Ctl("quit"), 0);
  EXPECT_EQ(vttel_.Wait(kQuitMs), 0);
}

}  // namespace
}  // namespace vttel_test
