// The line settings as the store of the line's script: what leaving the
// line removes of them on disk.
#include "telephony/line_settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/tel_basic.h"
#include "platform/clock.h"
#include "platform/message_service.h"
#include "tests/test_support.h"

namespace telephony {
namespace {

using engine::TagTelBasic;
using testing_support::FileExists;
using testing_support::WriteFile;

class LineSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { RegisterLineSettings(); }

  std::unique_ptr<TagTelBasic> Compile(const std::string& file) {
    return std::make_unique<TagTelBasic>(file, call_.lineNo, &call_, 1, nullptr);
  }
  // The voice directories of the script's own store (a child has one too,
  // though its statements act on its parent's).
  static std::string* VoiceDirs(TagTelBasic& script) {
    return static_cast<LineSettings*>(script.store(engine::StoreSlot::kLineSettings))
        ->voice.voiceDirs;
  }

  testing_support::TempDir dir_;
  testing_support::ScopedChdir cd_{dir_.path()};
  platform::FakeClock clock_;
  platform::ScopedClock scoped_clock_{&clock_};
  platform::RecordingMessageService messages_;
  platform::ScopedMessageService scoped_messages_{&messages_};
  engine::LineCallBase call_;
};

// The line's temporary play and speech files and its stop flag belong to
// the script on the line: freeing a script touches none of them (its last
// holder may free it while the line runs another script); leaving the line
// deletes the files in each voice directory and stops the line's wait.
TEST_F(LineSettingsTest, OnlyLeavingTheLineTouchesTheLinesFilesAndStopFlag) {
  WriteFile("main.vts", "x\n");
  call_.lineNo = 4;
  const std::vector<std::string> files = {"a/t4.WAV", "a/tts4.WAV", "b/t4.WAV", "b/tts4.WAV"};
  auto make_files = [&] {
    std::filesystem::create_directories("a");
    std::filesystem::create_directories("b");
    for (const std::string& f : files) WriteFile(f, "x");
  };
  auto count_files = [&] {
    int n = 0;
    for (const std::string& f : files) n += FileExists(f) ? 1 : 0;
    return n;
  };
  auto script = Compile("main.vts");
  VoiceDirs(*script)[0] = "a/";
  VoiceDirs(*script)[2] = "b/";
  make_files();
  script.reset();
  EXPECT_EQ(count_files(), 4);
  EXPECT_EQ(call_.stopFlag.load(), 0);

  script = Compile("main.vts");
  VoiceDirs(*script)[0] = "a/";
  VoiceDirs(*script)[2] = "b/";
  {
    TagTelBasic child("main.vts", 4, &call_, 1, script.get());
    VoiceDirs(child)[0] = "a/";
    child.LeaveLine();  // a child's run ends, the line goes on
  }
  EXPECT_EQ(count_files(), 4);
  EXPECT_EQ(call_.stopFlag.load(), 0);
  script->LeaveLine();
  EXPECT_EQ(count_files(), 0);
  EXPECT_EQ(call_.stopFlag.load(), 1);
  EXPECT_EQ(script->stopped.load(), 1);
  call_.stopFlag = 0;
  make_files();
  script.reset();  // freed later by its last holder: the next run's files stay
  EXPECT_EQ(count_files(), 4);
  EXPECT_EQ(call_.stopFlag.load(), 0);
}

}  // namespace
}  // namespace telephony
