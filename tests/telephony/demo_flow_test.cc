// The demo's call flow (demo/demo.vts) on an E1 line of the simulated
// board, the test as the caller: the greeting and the menu are heard, "1#"
// reads the caller's number back digit by digit, "2#" records what the
// caller says into the line's own file and plays it back, and the line hangs
// up after its goodbye. The voices are short tones made by sox in place of
// the spoken ones.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "telephony/statements/telephony_statements.h"
#include "tests/telephony/script_on_line.h"
#include "tests/telephony/tup_call_fixture.h"

namespace telephony {
namespace {

constexpr int kWaitMs = 5000;

// A voice of the demo: 0.1 s of a tone, as 8 kHz A-law WAV.
void MakeVoice(const std::string& path, int hertz) {
  const std::string command = "sox -n -r 8000 -c 1 -e a-law -b 8 -t wav '" + path +
                              "' synth 0.1 sine " + std::to_string(hertz) + " 2>/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

class DemoFlowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterTelephonyStatements();
    const std::string dir = line_.File("voc/en");
    ASSERT_EQ(std::system(("mkdir -p '" + dir + "'").c_str()), 0);
    int hertz = 300;
    for (const char* name : {"welcome", "menu", "yournumber", "record", "thanks", "goodbye"}) {
      MakeVoice(dir + "/" + name + ".WAV", hertz += 50);
    }
    for (int d = 0; d <= 9; ++d) MakeVoice(dir + "/" + std::to_string(d) + ".WAV", 1000 + d * 50);
    demo_ = testing_support::ReadFile(std::string(VTTEL_SOURCE_DIR) + "/demo/demo.vts")
                .value_or("");
    ASSERT_FALSE(demo_.empty());
  }

  // The file of the next PLAY event of the line.
  std::string NextPlay() {
    std::string args = EventArgs(line_.far().Wait("PLAY", "E3", kWaitMs));
    return args.substr(0, args.rfind(' '));
  }
  static std::string Name(const std::string& path) { return path.substr(path.rfind('/') + 1); }

  TupLine line_;
  std::string demo_;
};

TEST_F(DemoFlowTest, ReadsTheCallersNumberBack) {
  ScriptOnLine demo(demo_, line_.call(), "demo.vts");
  ASSERT_TRUE(demo.compiled()) << demo.Errors();
  demo.Start();
  ASSERT_EQ(line_.far().Call("E3", "8675", "100"), "OK");
  EXPECT_EQ(EventArgs(line_.far().Wait("ANSWER", "E3", kWaitMs)), "1");
  EXPECT_EQ(Name(NextPlay()), "welcome.WAV");
  EXPECT_EQ(Name(NextPlay()), "menu.WAV");
  ASSERT_EQ(line_.far().Keys("E3", "1#", 50), "OK");
  EXPECT_EQ(Name(NextPlay()), "yournumber.WAV");
  EXPECT_EQ(Name(NextPlay()), "t3.WAV");  // the digits joined in the line's play file
  EXPECT_EQ(Name(NextPlay()), "goodbye.WAV");
  EXPECT_EQ(EventArgs(line_.far().Wait("RELEASE", "E3", kWaitMs)), "12");
  EXPECT_FALSE(demo.Wait(300).has_value());  // it waits for the next call
}

TEST_F(DemoFlowTest, RecordsTheCallersMessage) {
  ScriptOnLine demo(demo_, line_.call(), "demo.vts");
  ASSERT_TRUE(demo.compiled()) << demo.Errors();
  demo.Start();
  ASSERT_EQ(line_.far().Call("E3", "8675", "100"), "OK");
  EXPECT_EQ(Name(NextPlay()), "welcome.WAV");
  EXPECT_EQ(Name(NextPlay()), "menu.WAV");
  ASSERT_EQ(line_.far().Keys("E3", "2#", 50), "OK");
  EXPECT_EQ(Name(NextPlay()), "record.WAV");
  const std::string said(2000, '\x42');
  testing_support::WriteFile(line_.File("said.raw"), said);
  ASSERT_EQ(line_.far().Inject("E3", "said.raw"), "OK");
  // Into the line's own file: callers on other lines record at the same time.
  const std::string recording = EventArgs(line_.far().Wait("RECORD", "E3", kWaitMs));
  EXPECT_EQ(Name(recording.substr(0, recording.rfind(' '))), "message3.WAV");
  // The caller speaks (8000 bytes a second reach the recording), then
  // presses "#": not before the whole message is in.
  std::this_thread::sleep_for(std::chrono::milliseconds(2 * said.size() * 1000 / 8000 + 100));
  ASSERT_EQ(line_.far().Keys("E3", "#", 0), "OK");  // done speaking
  EXPECT_EQ(Name(NextPlay()), "thanks.WAV");
  EXPECT_EQ(Name(NextPlay()), "message3.WAV");  // played back to the caller
  EXPECT_EQ(Name(NextPlay()), "goodbye.WAV");
  EXPECT_TRUE(line_.far().Wait("RELEASE", "E3", kWaitMs));
  const std::string message =
      testing_support::ReadFile(line_.File("voc/en/message3.WAV")).value_or("");
  ASSERT_GT(message.size(), 46u + said.size());
  EXPECT_EQ(message.substr(0, 4), "RIFF");
  EXPECT_EQ(message.substr(46, said.size()), said);
  EXPECT_FALSE(demo.Wait(300).has_value());
}

}  // namespace
}  // namespace telephony
