// The append files: the records of every mode (prefixes with the fake
// clock's time), the line-end rule, closing and reopening, two spellings of
// one file, a file that cannot be opened, the idle close at 601 s and not
// at 600, and two real vtsrun processes appending to one file.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "services/files/txt_append.h"
#include "tests/services/tcp_script_fixture.h"
#include "tests/vtsrun_runner.h"

namespace {

using services::TTxtAppend;
using testing_support::ReadFile;

// The text with every digit as 'D': the shape of a time stamp.
std::string Shape(std::string text) {
  for (char& c : text) {
    if (c >= '0' && c <= '9') c = 'D';
  }
  return text;
}

class TxtAppendTest : public services_test::TcpScriptTest {
 protected:
  // "TextFileAppend(" on the fixture's script (line 1) or a script of
  // another line.
  int32_t Append(const std::string& file, engine::TagVar* value, int32_t mode,
                 engine::TagTelBasic* script = nullptr) {
    return Exec(script != nullptr ? script : script_.get(), "TextFileAppend(",
                {Val(file), value, Val(mode)});
  }
  int32_t CloseFile(const std::string& file) { return Exec("TextFileClose(", {Val(file)}); }
};

TEST_F(TxtAppendTest, EachModeWritesItsRecordWithCrLf) {
  platform::FakeClock clock;  // 2014-03-05 08:15:00.123
  platform::ScopedClock use(&clock);
  engine::LineCallBase line5;
  line5.lineNo = 5;
  std::unique_ptr<engine::TagTelBasic> script5 = NewScript("empty.vts", line5);
  struct Case {
    int32_t mode;
    const char* written;
  };
  const Case cases[] = {
      {0, "a\r\nb"},
      {1, "a\r\nb\r\n"},
      {-3, "a\r\nb\r\n"},
      {2, "2014-03-05 08:15:00.123 : a\r\nb\r\n"},
      {3, "2014-03-05 08:15:00.123 [5]: a\r\nb\r\n"},
      {99, "2014-03-05 08:15:00.123 [5]: a\r\nb\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    const std::string name = "mode" + std::to_string(c.mode) + ".txt";
    EXPECT_EQ(Append(name, Val("a\nb"), c.mode, script5.get()), 0);
    EXPECT_EQ(ReadFile(name).value_or("<none>"), c.written);
    EXPECT_EQ(CloseFile(name), 0);
  }
  // A value that is not a string is written as its text form.
  EXPECT_EQ(Append("num.txt", Val(42), 1), 0);
  EXPECT_EQ(ReadFile("num.txt").value_or(""), "42\r\n");
  EXPECT_EQ(CloseFile("num.txt"), 0);
}

TEST_F(TxtAppendTest, RealClockPrefixesHaveTheirForm) {
  engine::LineCallBase line5;
  line5.lineNo = 5;
  std::unique_ptr<engine::TagTelBasic> script5 = NewScript("empty.vts", line5);
  Append("p.txt", Val("two"), 2, script5.get());
  Append("p.txt", Val("three"), 3, script5.get());
  CloseFile("p.txt");
  EXPECT_EQ(Shape(ReadFile("p.txt").value_or("")),
            "DDDD-DD-DD DD:DD:DD.DDD : two\r\nDDDD-DD-DD DD:DD:DD.DDD [D]: three\r\n");
}

TEST_F(TxtAppendTest, CloseForgetsTheStreamAndTheNextAppendOpensAgain) {
  EXPECT_EQ(CloseFile("never.txt"), -1);
  EXPECT_EQ(Append("c.txt", Val("one"), 1), 0);
  ASSERT_EQ(::unlink("c.txt"), 0);
  EXPECT_EQ(Append("c.txt", Val("lost"), 1), 0);  // the open stream writes to the removed file
  EXPECT_FALSE(testing_support::FileExists("c.txt"));
  EXPECT_EQ(CloseFile("c.txt"), 0);
  EXPECT_EQ(CloseFile("c.txt"), -1);
  EXPECT_EQ(Append("c.txt", Val("two"), 1), 0);
  EXPECT_EQ(ReadFile("c.txt").value_or(""), "two\r\n");
  EXPECT_EQ(CloseFile("c.txt"), 0);
}

TEST_F(TxtAppendTest, SpellingsDifferingInCaseAreTwoStreamsOnOneFile) {
  TTxtAppend appender;
  EXPECT_EQ(appender.Append("Log.txt", 1, "first", 1), 0);
  EXPECT_EQ(appender.Append("LOG.TXT", 1, "second", 1), 0);
  EXPECT_EQ(appender.Append("Log.txt", 1, "third", 1), 0);
  EXPECT_EQ(appender.size(), 2u);
  EXPECT_EQ(ReadFile("Log.txt").value_or(""), "first\r\nsecond\r\nthird\r\n");
  EXPECT_FALSE(testing_support::FileExists("LOG.TXT"));
}

TEST_F(TxtAppendTest, AFileThatCannotBeOpenedFailsUntilItsRecordCloses) {
  TTxtAppend appender;
  EXPECT_EQ(appender.Append("nodir/x.txt", 1, "a", 1), -1);
  EXPECT_EQ(appender.Append("nodir/x.txt", 1, "a", 1), -1);
  EXPECT_EQ(appender.size(), 1u);
  ASSERT_EQ(::mkdir("nodir", 0755), 0);
  EXPECT_EQ(appender.Append("nodir/x.txt", 1, "a", 1), -1);  // the record stays closed
  EXPECT_EQ(appender.Close("nodir/x.txt"), 0);
  EXPECT_EQ(appender.Append("nodir/x.txt", 1, "b", 1), 0);
  EXPECT_EQ(ReadFile("nodir/x.txt").value_or(""), "b\r\n");
}

TEST_F(TxtAppendTest, AStreamIdleFor601SecondsIsClosedNotAt600) {
  platform::FakeClock clock;
  platform::ScopedClock use(&clock);
  TTxtAppend appender;
  ASSERT_EQ(appender.Append("idle.txt", 1, "x", 1), 0);
  clock.Advance(600 * 1000);
  ASSERT_EQ(appender.Append("busy.txt", 1, "x", 1), 0);
  EXPECT_EQ(appender.size(), 2u);
  clock.Advance(1000);
  EXPECT_EQ(appender.CloseIdle(), 1);
  EXPECT_EQ(appender.size(), 1u);
  EXPECT_EQ(appender.Close("idle.txt"), -1);
  EXPECT_EQ(appender.Close("busy.txt"), 0);
  // The scan after every append closes what has idled: a write renews.
  ASSERT_EQ(appender.Append("a.txt", 1, "x", 1), 0);
  clock.Advance(300 * 1000);
  ASSERT_EQ(appender.Append("a.txt", 1, "x", 1), 0);
  clock.Advance(400 * 1000);
  ASSERT_EQ(appender.Append("b.txt", 1, "x", 1), 0);
  EXPECT_EQ(appender.size(), 2u);
  clock.Advance(301 * 1000);
  ASSERT_EQ(appender.Append("b.txt", 1, "x", 1), 0);
  EXPECT_EQ(appender.size(), 1u);
}

// Two processes append 10,000 lines each to one file: every line arrives
// whole.
TEST(TxtAppendProcesses, TwoVtsrunProcessesLeaveOnlyWholeLines) {
  constexpr int kLines = 10000;
  testing_support::TempDir dir;
  for (const char* who : {"p", "q"}) {
    testing_support::WriteFile(
        dir.File(std::string(who) + ".vts"),
        std::string("i = 0\nwhile(i < ") + std::to_string(kLines) + ")\n{\n"
            "TextFileAppend(\"shared.txt\", \"" + who +
            "-0123456789abcdefghijklmnopqrstuvwxyz-\" + i, 1)\ni = i + 1\n}\nreturn(0)\n");
  }
  testing_support::SpawnedProgram p, q;
  {
    testing_support::ScopedChdir cd(dir.path());
    const std::string vtsrun = std::string(VTTEL_TOOLS_DIR) + "/vtsrun";
    ASSERT_TRUE(p.Start(vtsrun, {"p.vts"}));
    ASSERT_TRUE(q.Start(vtsrun, {"q.vts"}));
  }
  EXPECT_EQ(p.Wait(120000), 0) << p.stderr_text();
  EXPECT_EQ(q.Wait(120000), 0) << q.stderr_text();
  const std::string bytes = ReadFile(dir.File("shared.txt")).value_or("");
  const std::string body = "-0123456789abcdefghijklmnopqrstuvwxyz-";
  std::vector<int> next(2, 0);
  size_t start = 0, lines = 0;
  while (start < bytes.size()) {
    const size_t end = bytes.find("\r\n", start);
    ASSERT_NE(end, std::string::npos) << "a last line without its line end";
    const std::string line = bytes.substr(start, end - start);
    const bool whole = line.size() > body.size() + 1 && (line[0] == 'p' || line[0] == 'q') &&
                       line.compare(1, body.size(), body) == 0 &&
                       line.find_first_not_of("0123456789", body.size() + 1) == std::string::npos;
    ASSERT_TRUE(whole) << "line " << lines << ": " << line;
    // Each process's lines arrive in its own order.
    EXPECT_EQ(std::stoi(line.substr(body.size() + 1)), next[line[0] == 'p' ? 0 : 1]++);
    ++lines;
    start = end + 2;
  }
  EXPECT_EQ(lines, 2u * kLines);
}

}  // namespace
