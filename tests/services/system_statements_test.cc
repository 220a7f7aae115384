// The system statements run in-process ("Exec(", "GetMemInfo(",
// "DispInfo(") and the server-page conversion, as data and through real
// files; the converted page also runs through vtsrun.
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/memory_counters.h"
#include "services/files/server_page.h"
#include "services/memory_report.h"
#include "tests/services/statement_harness.h"
#include "tests/services/vtsrun_script.h"
#include "tests/test_support.h"

namespace services_test {
namespace {

constexpr char kHead[] =
    "_RawHtml = 0;\n"
    "GetShareMem(_lineNo, \"_RawHtml\", _RawHtml);\n"
    "_GET = 0;\n"
    "GetShareMem(_lineNo, \"_GET\", _GET);\n"
    "_POST = 0;\n"
    "GetShareMem(_lineNo, \"_POST\", _POST);\n"
    "_COOKIE = 0;\n"
    "GetShareMem(_lineNo, \"_COOKIE\", _COOKIE);\n";
constexpr char kEnd[] = "return(0);\n";

struct PageCase {
  const char* label;
  const char* page;
  const char* body;  // the script between the head and the return line
  std::vector<std::string> pieces;
};

TEST(ServerPage, ConvertsPagesIntoPrintLinesAndCode) {
  const PageCase cases[] = {
      {"no opening mark", "<p>hi</p>\n", "Print(_RawHtml[0]);\n", {"<p>hi</p>\n"}},
      {"empty page text after the code", "a<%x=1;\n%>",
       "Print(_RawHtml[0]);\nx=1;\nPrint(_RawHtml[1]);\n", {"a", ""}},
      {"a page starting with a mark", "<%x=1;\n%>b",
       "Print(_RawHtml[0]);\nx=1;\nPrint(_RawHtml[1]);\n", {"", "b"}},
      {"a closing mark in a string", "<%s=\"%>\";\n%>z",
       "Print(_RawHtml[0]);\ns=\"%>\";\nPrint(_RawHtml[1]);\n", {"", "z"}},
      {"an escaped quote in a string", "<%s=\"\\\"%>\";\n%>z",
       "Print(_RawHtml[0]);\ns=\"\\\"%>\";\nPrint(_RawHtml[1]);\n", {"", "z"}},
      {"a closing mark in a line comment", "<%x=1; // %> not yet\n%>z",
       "Print(_RawHtml[0]);\nx=1; // %> not yet\nPrint(_RawHtml[1]);\n", {"", "z"}},
      {"a closing mark in a block comment", "<%/* %> */x=1;\n%>z",
       "Print(_RawHtml[0]);\n/* %> */x=1;\nPrint(_RawHtml[1]);\n", {"", "z"}},
      {"a block never closed", "a<%x=1;\ny=2;",
       "Print(_RawHtml[0]);\nx=1;\ny=2;\n", {"a"}},
      // A code block without a line end of its own gets one, so the next
      // print line is a statement of its own and not part of a comment.
      {"code without a line end", "<% x = 1; %>text",
       "Print(_RawHtml[0]);\n x = 1; \nPrint(_RawHtml[1]);\n", {"", "text"}},
      {"code ending in a comment", "<%x=1; // note %>t",
       "Print(_RawHtml[0]);\nx=1; // note %>t\n", {""}},
      {"comment closed before the mark", "<%x=1; /* c */%>t",
       "Print(_RawHtml[0]);\nx=1; /* c */\nPrint(_RawHtml[1]);\n", {"", "t"}},
      {"two blocks", "a<%x=1;%>b<%y=2;%>c",
       "Print(_RawHtml[0]);\nx=1;\nPrint(_RawHtml[1]);\ny=2;\nPrint(_RawHtml[2]);\n",
       {"a", "b", "c"}},
  };
  for (const PageCase& c : cases) {
    SCOPED_TRACE(c.label);
    std::string script;
    std::vector<std::string> pieces;
    services::ConvertServerPage(c.page, &script, &pieces);
    EXPECT_EQ(script, std::string(kHead) + c.body + kEnd);
    EXPECT_EQ(pieces, c.pieces);
  }
}

// Runs "MspToVts(" in dir on page into out; the result.
int32_t RunMsp(Call& call, const std::string& page, const std::string& out) {
  return call.Text(0, page).Text(1, out).Run();
}

TEST(ServerPage, ReadsAndWritesInTextModeAndFillsThePieceMap) {
  testing_support::TempDir dir;
  testing_support::ScopedChdir in(dir.path());
  testing_support::WriteFile("p.msp", "<html>\r\n<%x=1;\r\n%>end\r\n");
  Call call("MspToVts(");
  // Elements the map held before stay.
  engine::TagVar key;
  key.SetInt(7);
  call.arg(2).Element(key)->AssignString("kept");
  ASSERT_EQ(RunMsp(call, "p.msp", "p.vts"), 0);
  std::string expected = std::string(kHead) + "Print(_RawHtml[0]);\nx=1;\nPrint(_RawHtml[1]);\n" + kEnd;
  std::string crlf;
  for (char ch : expected) crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
  EXPECT_EQ(testing_support::ReadFile("p.vts"), crlf);
  const std::pair<int32_t, const char*> pieces[] = {{0, "<html>\n"}, {1, "end\n"}, {7, "kept"}};
  EXPECT_EQ(call.arg(2).Length(), 3);
  for (const auto& [n, text] : pieces) {
    key.SetInt(n);
    EXPECT_EQ(call.arg(2).GetElement(key)->ToText(), text) << n;
  }
}

TEST(ServerPage, FailuresGiveTheirResults) {
  testing_support::TempDir dir;
  testing_support::ScopedChdir in(dir.path());
  testing_support::WriteFile("empty.msp", "");
  testing_support::WriteFile("p.msp", "x");
  struct {
    const char* page;
    const char* out;
    int32_t result;
  } cases[] = {
      {"missing.msp", "o.vts", -1},
      {"empty.msp", "o.vts", -2},
      {"p.msp", "no-folder/o.vts", -3},
  };
  for (const auto& c : cases) {
    Call call("MspToVts(");
    EXPECT_EQ(RunMsp(call, c.page, c.out), c.result) << c.page;
  }
  Call not_text("MspToVts(");
  EXPECT_EQ(not_text.Int(0, 1).Text(1, "o.vts").Run(), -1);
  EXPECT_FALSE(testing_support::ReadFile("o.vts").has_value()) << "nothing written on failure";
}

TEST(ServerPage, TheConvertedPageRunsWithTheRequestFromSharedMemory) {
  testing_support::TempDir dir;
  testing_support::WriteFile(dir.File("page.msp"),
                             "<b><%Print(_GET[\"name\"]);%></b>\n<i><%Print(_COOKIE[\"c\"]);\n%></i>");
  const ScriptCase cases[] = {
      {"page",
       "raw = 0\ng = 0\nc = 0\n"
       "r = MspToVts(\"page.msp\", \"page.vts\", raw)\n"
       "Print(r)\n"
       "g[\"name\"] = \"Ann\"\n"
       "c[\"c\"] = 42\n"
       "SetShareMem(_lineNo, \"_RawHtml\", raw)\n"
       "SetShareMem(_lineNo, \"_GET\", g)\n"
       "SetShareMem(_lineNo, \"_POST\", 0)\n"
       "SetShareMem(_lineNo, \"_COOKIE\", c)\n"
       "RunVts(\"page.vts\")\n"
       "r = MspToVts(\"none.msp\", \"x.vts\", raw)\n"
       "Print(r)\n",
       {"0", "<b>", "Ann", "</b>\n<i>", "42", "</i>", "Open error", "-1"}},
  };
  for (const ScriptCase& c : cases) {
    const testing_support::VtsrunOutcome o = RunScript(dir, c.script);
    EXPECT_EQ(o.status, 0) << o.err;
    std::string expected;
    for (size_t i = 0; i < c.printed.size(); ++i) {
      // The error text is printed with line number 0 like the others.
      expected += "0 : " + c.printed[i] + "\n";
    }
    EXPECT_EQ(o.out, expected);
  }
}

// The value in kB of a field of /proc/self/status.
int64_t StatusKib(const char* field) {
  std::ifstream in("/proc/self/status");
  std::stringstream text;
  text << in.rdbuf();
  const platform::MemoryCounters c = platform::ParseMemoryStatus(text.str());
  const std::string f = field;
  if (f == "VmRSS") return c.workingSetKib;
  if (f == "VmHWM") return c.peakWorkingSetKib;
  return c.pageFileKib;
}

TEST(SystemStatements, MemoryCountersAgreeWithTheProcessStatus) {
  const platform::MemoryCounters parsed = platform::ParseMemoryStatus(
      "Name:\tx\nVmHWM:\t  900 kB\nVmRSS:\t  800 kB\nRssAnon:\t 300 kB\nVmSwap:\t 20 kB\n");
  EXPECT_EQ(parsed.workingSetKib, 800);
  EXPECT_EQ(parsed.peakWorkingSetKib, 900);
  EXPECT_EQ(parsed.pageFileKib, 320);

  const int64_t peak_before = StatusKib("VmHWM");
  Call call("GetMemInfo(");
  const int32_t r = call.Run();
  const int64_t peak_after = StatusKib("VmHWM");
  // The counters move a little between two readings.
  constexpr int64_t kSlackKib = 4096;
  EXPECT_EQ(r, call.arg(0).GetInt());
  EXPECT_NEAR(r, StatusKib("VmRSS"), kSlackKib);
  EXPECT_GE(call.arg(1).GetInt(), peak_before);
  EXPECT_LE(call.arg(1).GetInt(), peak_after);
  EXPECT_NEAR(call.arg(2).GetInt(), StatusKib("page file"), kSlackKib);
  EXPECT_GE(call.arg(3).GetInt(), call.arg(2).GetInt());
  // An AddressSanitizer build reserves terabytes: the counters stay 32-bit.
  EXPECT_EQ(services::ClampMemoryCounter(int64_t{1} << 40, "page file"), INT32_MAX);
  EXPECT_EQ(services::ClampMemoryCounter(INT32_MAX, "page file"), INT32_MAX);
  EXPECT_EQ(services::ClampMemoryCounter(12345, "page file"), 12345);
}

TEST(SystemStatements, DispInfoWithoutALineFails) {
  Call disp("DispInfo(");
  EXPECT_EQ(disp.Int(0, 0).Text(1, "x").Run(), -1);
  Call color("SetDispColor(");
  EXPECT_EQ(color.Int(0, 1).Int(1, 2).Run(), 0);
}

std::string Tool(const char* name) { return std::string(VTTEL_TEST_TOOLS_DIR) + "/" + name; }

TEST(SystemStatements, ExecRunsProgramsWithoutAShell) {
  Call ended("Exec(");
  EXPECT_EQ(ended.Text(0, "sh -c \"exit 3\"").Int(1, 5).Run(), 0);
  EXPECT_EQ(ended.arg(2).GetInt(), 3);
  Call signalled("Exec(");
  EXPECT_EQ(signalled.Text(0, "sh -c \"kill -TERM $$\"").Int(1, 5).Run(), 0);
  EXPECT_EQ(signalled.arg(2).GetInt(), 128 + 15);
  Call missing("Exec(");
  EXPECT_EQ(missing.Text(0, "no-such-program.exe a b").Int(1, 5).Run(), -1);
  Call empty("Exec(");
  EXPECT_EQ(empty.Text(0, "  ").Int(1, 5).Run(), -1);
}

TEST(SystemStatements, ExecPassesArgumentsAndOnlyTheStandardDescriptors) {
  testing_support::TempDir dir;
  // Descriptors the system holds, opened without close-on-exec: a
  // listening socket and an open file.
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(listen(listener, 1), 0);
  const int file = open(dir.File("held").c_str(), O_CREAT | O_RDWR, 0644);
  ASSERT_GE(file, 0);

  const std::string out = dir.File("probe.txt");
  Call exec("Exec(");
  const std::string line = "\"" + Tool("exec_probe") + "\" " + out +
                           " \"a b\" c\\\"d e\\\\\\\\\"f g\" \"h\"\"i\"";
  EXPECT_EQ(exec.Text(0, line).Int(1, 10).Run(), 0);
  EXPECT_EQ(exec.arg(2).GetInt(), 0);
  EXPECT_EQ(testing_support::ReadFile(out), "a b\nc\"d\ne\\\\f g\nh\"i\nfds: 0 1 2\n");
  close(file);
  close(listener);
}

// A program started from a line of a system that runs on a terminal
// reads that terminal as its standard input, as it always could: vtsrun
// runs on a pseudo-terminal (python3's pty) whose other end types "go".
TEST(SystemStatements, ExecProgramsReadTheSystemsTerminal) {
  testing_support::TempDir dir;
  testing_support::WriteFile(dir.File("reader.sh"),
                             "read x\ntest \"$x\" = go && exit 7\nexit 5\n");
  testing_support::WriteFile(dir.File("s.vts"),
                             "SetPrintTo(\"\")\nf = 1\nr = Exec(\"sh reader.sh\", 3, f)\n"
                             "Print(r)\nPrint(f)\nreturn(0)\n");
  const std::string program =
      "import os, pty, sys\n"
      "os.chdir('" + dir.path() + "')\n"
      "vtsrun = '" + VTTEL_TOOLS_DIR + "/vtsrun'\n"
      "pid, fd = pty.fork()\n"
      "if pid == 0:\n"
      "    os.execv(vtsrun, [vtsrun, 's.vts'])\n"
      "os.write(fd, b'go\\n')\n"
      "out = b''\n"
      "while True:\n"
      "    try:\n"
      "        chunk = os.read(fd, 4096)\n"
      "    except OSError:\n"
      "        break\n"
      "    if not chunk:\n"
      "        break\n"
      "    out += chunk\n"
      "status = os.waitpid(pid, 0)[1]\n"
      "sys.stdout.write(out.decode('latin-1').replace('\\r', ''))\n"
      "print('status', os.waitstatus_to_exitcode(status))\n";
  const std::string out = Python(program);
  EXPECT_NE(out.find("0 : 0\n0 : 7\nstatus 0\n"), std::string::npos) << out;
}

}  // namespace
}  // namespace services_test
