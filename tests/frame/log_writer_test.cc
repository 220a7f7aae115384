#include "frame/log_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "frame/log.h"
#include "frame/settings.h"
#include "platform/clock.h"
#include "platform/thread_id.h"
#include "tests/test_support.h"

namespace frame {
namespace {

using testing_support::FileExists;
using testing_support::ReadFile;
using testing_support::ScopedChdir;
using testing_support::TempDir;
using testing_support::WriteFile;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  size_t start = 0;
  for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1) {
    out.push_back(text.substr(start, nl - start));
  }
  if (start < text.size()) out.push_back(text.substr(start));
  return out;
}

// The expected line for a text written at the fake clock's time.
std::string Expected(const std::string& text, const char* time = "2014-03-05 08:15:00.123") {
  char tid[16];
  std::snprintf(tid, sizeof tid, "0x%x", platform::CurrentThreadId());
  return std::string(time) + " " + tid + " [" + text + "]";
}

std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class LogWriterTest : public ::testing::Test {
 protected:
  void SetUp() override { GetSettings().log_level = 0; }
  void TearDown() override {
    CloseProcessLog();
    GetSettings().log_level = 0;
  }

  TempDir dir_;
  ScopedChdir cd_{dir_.path()};
  platform::FakeClock clock_;
  platform::ScopedClock scoped_clock_{&clock_};
};

TEST_F(LogWriterTest, LineFormatAndFrame) {
  {
    TagWriteLog log("msg_log.txt", 1 << 20, /*immediate=*/true, /*single_file=*/true);
    log.Write("Driver OK.");
  }
  EXPECT_EQ(*ReadFile("msg_log.txt"),
            "\nSystem Start...\n" + Expected("Driver OK.") + "\nSystem Closed.\n");
}

TEST_F(LogWriterTest, TextIsCutAt127Bytes) {
  std::string text(200, 'a');
  text[126] = 'b';
  text[127] = 'c';
  {
    TagWriteLog log("msg_log.txt", 1 << 20, true, true);
    log.Write(text);
  }
  auto lines = Lines(*ReadFile("msg_log.txt"));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[2], Expected(text.substr(0, 127)));
}

TEST_F(LogWriterTest, BuffersUntilFlushAndFlushesAtThe41stLine) {
  TagWriteLog log("msg_log.txt", 1 << 20, /*immediate=*/false, true);
  for (int i = 0; i < 40; ++i) log.Write("line " + std::to_string(i));
  EXPECT_EQ(Lines(*ReadFile("msg_log.txt")).size(), 2u);  // only the start banner
  log.Write("line 40");  // the ring is full: the first 40 go out first
  auto lines = Lines(*ReadFile("msg_log.txt"));
  ASSERT_EQ(lines.size(), 42u);
  EXPECT_EQ(lines[2], Expected("line 0"));
  EXPECT_EQ(lines[41], Expected("line 39"));
  EXPECT_EQ(log.Flush(), 1);
  EXPECT_EQ(Lines(*ReadFile("msg_log.txt")).back(), Expected("line 40"));
  EXPECT_EQ(log.Flush(), 0);
}

TEST_F(LogWriterTest, SingleFileMovesAnOversizedLogToBak) {
  WriteFile("msg_log.txt", std::string(3000, 'o'));
  TagWriteLog log("msg_log.txt", 2000, true, true);
  EXPECT_EQ(ReadFile("msg_log.txt.bak")->size(), 3000u);
  EXPECT_EQ(*ReadFile("msg_log.txt"), "\nSystem Start...\n");
}

TEST_F(LogWriterTest, SingleFileAppendsToASmallLog) {
  WriteFile("msg_log.txt", "old\n");
  { TagWriteLog log("msg_log.txt", 2000, true, true); }
  EXPECT_EQ(*ReadFile("msg_log.txt"), "old\n\nSystem Start...\nSystem Closed.\n");
  EXPECT_FALSE(FileExists("msg_log.txt.bak"));
}

TEST_F(LogWriterTest, SingleFileWrapsToItsStartAndKeepsItsLength) {
  TagWriteLog log("msg_log.txt", 300, true, true);
  std::string text(60, 'x');
  int n = 0;
  while (ReadFile("msg_log.txt")->size() <= 300) log.Write(text + std::to_string(n++));
  const size_t full = ReadFile("msg_log.txt")->size();
  log.Write("after the wrap");
  std::string now = *ReadFile("msg_log.txt");
  EXPECT_EQ(now.size(), full);  // overwritten from the start, not grown
  EXPECT_EQ(now.rfind(Expected("after the wrap") + "\n", 0), 0u) << now;
}

TEST_F(LogWriterTest, DatedModeNamesTheFileAfterItsStart) {
  { TagWriteLog log("msg_log.txt", 1 << 20, true, /*single_file=*/false); }
  EXPECT_EQ(FilesIn(dir_.path()), std::vector<std::string>{"msg_log20140305_081500.txt"});
  { TagWriteLog log("logname", 1 << 20, true, false); }  // no extension
  EXPECT_TRUE(FileExists("logname20140305_081500"));
}

TEST_F(LogWriterTest, DatedModeExtensionIsSearchedInTheLastComponentOnly) {
  std::filesystem::create_directory("a.d");
  { TagWriteLog log("a.d/run", 1 << 20, true, false); }
  EXPECT_TRUE(FileExists("a.d/run20140305_081500"));
}

TEST_F(LogWriterTest, DatedModeRotatesWhenTheLimitIsPassed) {
  TagWriteLog log("msg_log.txt", 400, true, false);
  const std::string first = log.current_path();
  clock_.Advance(2000);
  for (int i = 0; i < 6; ++i) log.Write(std::string(70, 'r'));
  const std::string second = log.current_path();
  EXPECT_NE(first, second);
  EXPECT_EQ(std::filesystem::path(second).filename(), "msg_log20140305_081502.txt");
  EXPECT_GT(ReadFile(first)->size(), 400u);
}

TEST_F(LogWriterTest, DatedRotationWithinOneSecondLosesNothing) {
  TagWriteLog log("msg_log.txt", 400, true, false);
  for (int i = 0; i < 12; ++i) log.Write("line " + std::to_string(i) + std::string(60, '.'));
  size_t total = 0;
  for (const std::string& name : FilesIn(dir_.path())) {
    for (const std::string& line : Lines(*ReadFile(name))) {
      if (line.find(" [line ") != std::string::npos) ++total;
    }
  }
  EXPECT_EQ(total, 12u);
  EXPECT_GE(FilesIn(dir_.path()).size(), 2u);
}

TEST_F(LogWriterTest, UnwritableFolderGoesOnWithoutALog) {
  TagWriteLog log("no/such/folder/msg_log.txt", 1 << 20, false, true);
  EXPECT_FALSE(log.has_file());
  for (int i = 0; i < 100; ++i) log.Write("dropped");  // full rings drop, never crash
  EXPECT_EQ(log.Flush(), -1);
}

TEST_F(LogWriterTest, FrontEndsFollowTheLogLevel) {
  OpenProcessLog(std::make_unique<TagWriteLog>("msg_log.txt", 1 << 20, true, true));
  LogAlways("always 0");
  LogMsg("msg 0");
  LogMsg2("msg2 0");
  LogAudio("audio 0");
  WriteRawLog("raw 0");
  GetSettings().log_level = 1;
  LogMsg("msg 1");
  WriteRawLog("raw 1");
  GetSettings().log_level = 2;
  WriteRawLog("raw 2");
  LogAlways("always 2");
  GetSettings().log_level = 3;
  LogAlwaysF("always %d", 3);
  CloseProcessLog();
  LogAlways("after close");
  auto main = Lines(*ReadFile("msg_log.txt"));
  std::vector<std::string> expected = {"", "System Start...", Expected("always 0"),
                                       Expected("msg 1"), Expected("always 2"),
                                       Expected("always 3"), "System Closed."};
  EXPECT_EQ(main, expected);
  auto raw = Lines(*ReadFile(kRawLogName));
  // The raw trace does not depend on the main log: the line after the close
  // still reaches it at level 3.
  std::vector<std::string> raw_expected = {Expected("raw 2"), Expected("always 3"),
                                           Expected("after close")};
  EXPECT_EQ(raw, raw_expected);
}

TEST_F(LogWriterTest, RawTraceIsNeverCut) {
  GetSettings().log_level = 2;
  std::string text(300, 'z');
  WriteRawLog(text);
  EXPECT_EQ(Lines(*ReadFile(kRawLogName)), std::vector<std::string>{Expected(text)});
}

TEST_F(LogWriterTest, LevelZeroWritesNoRawTrace) {
  OpenProcessLog(std::make_unique<TagWriteLog>("msg_log.txt", 1 << 20, true, true));
  LogAlways("x");
  WriteRawLog("y");
  CloseProcessLog();
  EXPECT_FALSE(FileExists(kRawLogName));
}

}  // namespace
}  // namespace frame
