// The script runner vtsrun, run as a real process in a fresh program
// folder: its exit statuses, its files and its standard output and error.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/codepage.h"
#include "tests/test_support.h"
#include "tests/vtsrun_runner.h"

namespace {

using testing_support::FileExists;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

using Outcome = testing_support::VtsrunOutcome;

class VtsrunTest : public ::testing::Test {
 protected:
  // Runs vtsrun with args in the test's folder (its program folder).
  Outcome Run(const std::vector<std::string>& args) {
    return testing_support::RunVtsrun(dir_.path(), args);
  }
  Outcome RunScript(const std::string& script, std::vector<std::string> args = {}) {
    WriteFile(dir_.File("s.vts"), script);
    args.push_back("s.vts");
    return Run(args);
  }
  std::string FileText(const std::string& name) const {
    return ReadFile(dir_.File(name)).value_or("<none>");
  }

  TempDir dir_;
};

struct EndCase {
  const char* label;
  std::vector<std::string> args;
  const char* script;
  int status;
  const char* out;  // the whole of stdout
};

// How a run ends, and the console form of "Print(": "<line> : <text>" and
// an LF, the text in the system's bytes (GBK).
TEST_F(VtsrunTest, RunsEndWithTheirExitStatus) {
  const EndCase cases[] = {
      {"return ends the run", {}, "SetPrintTo(\"\")\nPrint(\"你好\")\nreturn(0)\n", 0,
       "0 : 你好\n"},
      {"Exit runs the quit handler", {},
       "x = 0\nwhile(1)\n{\nx = x + 1\nif(x == 50)\n{\nExit(0)\n}\n}\n"
       "OnSysQuit()\nSetPrintTo(\"\")\nPrint(x)\nreturn(0)\n",
       0, "0 : 50\n"},
      {"Exit without a handler", {}, "Exit(0)\nSetPrintTo(\"\")\nPrint(\"after\")\n", 0, ""},
      {"timeout runs the quit handler", {"--timeout", "0.2", "--line", "2"},
       "x = 0\nwhile(1)\n{\nx = 1\n}\nOnSysQuit()\nSetPrintTo(\"\")\nPrint(\"quit\")\nreturn(0)\n",
       3, "2 : quit\n"},
      {"timeout without a handler", {"--timeout", "0.2"}, "x = 0\nwhile(1)\n{\nx = 1\n}\n", 3,
       ""},
  };
  for (const EndCase& c : cases) {
    SCOPED_TRACE(c.label);
    Outcome o = RunScript(c.script, c.args);
    EXPECT_EQ(o.status, c.status) << o.err;
    EXPECT_EQ(o.out, c.out);
  }
}

// The runner's virtual line has no meeting-room operations: no room is
// made, and the other room statements find none.
TEST_F(VtsrunTest, TheVirtualLineJoinsNoMeetingRoom) {
  Outcome o = RunScript(
      "m = 0\nroom = 0\nl = 0\nj = JoinConf(\"r\", 0)\ne = ExitConf()\n"
      "p = PlayConf(\"r\", \"x\", 0)\nn = GetConfNum(\"r\", m)\ni = IsInConf(0, room, l)\n"
      "SetPrintTo(\"\")\nPrint(j)\nPrint(e)\nPrint(p)\nPrint(n)\nPrint(i)\nreturn(0)\n");
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "0 : -2\n0 : 0\n0 : -1\n0 : 0\n0 : 0\n");
}

TEST_F(VtsrunTest, PrintFileHasCrLfLineEndsAndTheLineNumber) {
  const char* script =
      "Print(\"a\\n\")\nPrint(\"b\")\nPrint(_lineNo)\nPrint(\",\")\nPrint(_linesCount)\n"
      "Print(\"\\n中\")\nreturn(0)\n";
  Outcome o = RunScript(script);
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(FileText("_stdout0.txt"), "a\r\nb0,1\r\n中");
  EXPECT_EQ(o.out, "");

  o = RunScript(script, {"--line", "7"});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(FileText("_stdout7.txt"), "a\r\nb7,8\r\n中");  // line 7 of a table of 8
}

TEST_F(VtsrunTest, CompileErrorsGoToTheErrorFileAndToStderrInUtf8) {
  const std::string message = "[Error]s.vts(2): 不可辨识的关键字";  // GBK bytes
  for (bool check : {false, true}) {
    SCOPED_TRACE(check ? "--check" : "run");
    Outcome o = RunScript("x = 1\nNoSuchThing(x)\nPrint(\"ran\")\n",
                          check ? std::vector<std::string>{"--check"} : std::vector<std::string>{});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(FileText("errmsg0.txt").find(message), std::string::npos) << FileText("errmsg0.txt");
    EXPECT_NE(o.err.find(platform::GbkToUtf8(message)), std::string::npos) << o.err;
    EXPECT_EQ(o.err.find(message), std::string::npos);  // no GBK on stderr
    EXPECT_FALSE(FileExists(dir_.File("_stdout0.txt")));
  }
}

// --check compiles in run mode 0: warnings are written, nothing runs.
TEST_F(VtsrunTest, CheckCompilesWithoutRunning) {
  Outcome o = RunScript("function f()\n{\nx = 1\n}\nPrint(\"ran\")\n", {"--check", "--line", "3"});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_NE(FileText("errmsg3.txt").find("该函数从来没有被调用过"), std::string::npos);
  EXPECT_FALSE(FileExists(dir_.File("_stdout3.txt")));
  EXPECT_EQ(o.err, "");

  // A run compiles in run mode 1: no error file for warnings alone.
  o = RunScript("function f()\n{\nx = 1\n}\nreturn(0)\n", {"--line", "3"});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_FALSE(FileExists(dir_.File("errmsg3.txt")));
}

TEST_F(VtsrunTest, BadUsageGivesStatusTwo) {
  WriteFile(dir_.File("s.vts"), "return(0)\n");
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"--line"},
      {"--line", "x", "s.vts"},
      {"--line", "-1", "s.vts"},
      {"--timeout", "soon", "s.vts"},
      {"--bogus", "s.vts"},
      {"s.vts", "s.vts"},
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(args.empty() ? std::string("no arguments") : args[0]);
    Outcome o = Run(args);
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.err.rfind("usage: vtsrun", 0), 0u) << o.err;
  }
}

// The program folder's "VtTelRun.cfg" is read: here it names the log.
TEST_F(VtsrunTest, ReadsTheRunConfigurationOfTheFolder) {
  WriteFile(dir_.File("VtTelRun.cfg"), "LOG_FILE = vtsrun_log.txt\r\n");
  Outcome o = RunScript("return(0)\n");
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_TRUE(FileExists(dir_.File("vtsrun_log.txt")));
  EXPECT_FALSE(FileExists(dir_.File("msg_log.txt")));
}

}  // namespace
