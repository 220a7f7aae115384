// External-library calls in scripts run by the real vtsrun: the records a
// library sees, what it may and may not give back, exceptions, bindings
// that cannot be called, and the compile messages of declared calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/services/extcall/extcall_lines.h"
#include "tests/test_support.h"
#include "tests/vtsrun_runner.h"

namespace services_test {
namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

// Loads the library and binds the functions the cases call.
constexpr char kPrologue[] =
    "SetPrintTo(\"\")\nh = 0\nr = 0\nn = 0\n"
    "DllLoad(\"testlib.dll\", h)\n"
    "DllFunction(h, \"echo_field\", 2)\n"
    "DllFunction(h, \"set_seven\", 2)\n"
    "DllFunction(h, \"upper_text\", 1)\n"
    "DllFunction(h, \"first_byte\", 1)\n"
    "DllFunction(h, \"claim_long\", 1)\n"
    "DllFunction(h, \"fake_map\", 1)\n"
    "DllFunction(h, \"throw_error\", 0)\n"
    "DllFunction(h, \"throw_int\", 0)\n"
    "DllFunction(h, \"no_such_function\", 0)\n";

class ExtcallVtsrunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_symlink(TestLibraryPath(), dir_.File("libtestlib.so"));
  }
  // Runs the prologue and body; the printed lines.
  std::vector<std::string> Run(const std::string& body) {
    WriteFile(dir_.File("s.vts"), kPrologue + body + "return(0)\n");
    const auto o = testing_support::RunVtsrun(dir_.path(), {"s.vts"});
    EXPECT_EQ(o.status, 0) << o.err;
    std::vector<std::string> lines;
    std::string line;
    for (char c : o.out) {
      if (c == '\n') {
        lines.push_back(line.starts_with("0 : ") ? line.substr(4) : line);
        line.clear();
      } else if (c != '\r') {
        line.push_back(c);
      }
    }
    return lines;
  }
  std::string Log() const { return ReadFile(dir_.File("msg_log.txt")).value_or(""); }

  TempDir dir_;
};

struct Case {
  const char* label;
  const char* body;
  std::vector<std::string> printed;
};

TEST_F(ExtcallVtsrunTest, RecordsAndWhatComesBack) {
  const Case cases[] = {
      {"a float arrives as its double at offset 24",
       "f = 2.5\nr = echo_field(3, f)\nPrint(r)\nr = echo_field(0, f)\nPrint(r)\n", {"250", "3"}},
      {"a string: kind 1, length + 1, its text",
       "s = \"abc\"\nr = echo_field(0, s)\nPrint(r)\nr = echo_field(2, s)\nPrint(r)\n"
       "r = echo_field(1, s)\nPrint(r)\n",
       {"1", "4", "97"}},
      {"an integer and a map",
       "i = -9\nr = echo_field(2, i)\nPrint(r)\nm[1] = 2\nr = echo_field(0, m)\nPrint(r)\n",
       {"-9", "4"}},
      {"a writable argument takes 7 back, a constant never",
       "w = \"text\"\nr = set_seven(w, 5)\nPrint(r)\nPrint(w)\ny = 5\nPrint(y)\n",
       {"2", "7", "5"}},
      {"a map set to an integer gives its map back",
       "m[1] = 2\nr = set_seven(m, m)\nPrint(m)\n", {"7"}},
      {"text written within its length; a constant's text is the library's copy",
       "t = \"hello\"\nr = upper_text(t)\nPrint(r)\nPrint(t)\nr = upper_text(\"abc\")\n"
       "c = \"abc\"\nPrint(c)\n",
       {"5", "HELLO", "abc"}},
      {"a string shortened; an integer made a string of no text",
       "t = \"hello\"\nr = first_byte(t)\nPrint(t)\nk = 12\nr = first_byte(k)\nr = Len(k, n)\n"
       "Print(n)\n",
       {"h", "0"}},
      {"a length past the buffer is cut to the string",
       "t = \"abc\"\nr = claim_long(t)\nPrint(t)\nr = Len(t, n)\nPrint(n)\n", {"abc", "3"}},
      {"a made-up map handle is refused",
       "k = 3\nr = fake_map(k)\nPrint(k)\nm[1] = \"x\"\nr = fake_map(m)\nPrint(m[1])\n",
       {"3", "x"}},
      {"exceptions give -100 and the script goes on",
       "r = throw_error()\nPrint(r)\nr = throw_int()\nPrint(r)\nPrint(\"on\")\n",
       {"-100", "-100", "on"}},
      {"a function not exported gives -1 at every call",
       "r = no_such_function()\nPrint(r)\nr = no_such_function()\nPrint(r)\n", {"-1", "-1"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run(c.body), c.printed) << c.label;
  }
}

TEST_F(ExtcallVtsrunTest, FailuresAreLogged) {
  Run("r = throw_error()\nr = throw_int()\nt = \"abc\"\nr = claim_long(t)\nk = 3\n"
      "r = fake_map(k)\n");
  const std::string log = Log();
  for (const char* line :
       {"'no_such_function' Not found for DLL.", "DllRun Err: throw_error(): the library gave up",
        "DllRun Err: throw_int()]", "DllRun Err: claim_long(): argument 1: length 1048575 cut to 3",
        "DllRun Err: fake_map(): argument 1: kind 4, value 12345 refused"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
  }
}

TEST_F(ExtcallVtsrunTest, LoadsAndCallsThatCannotBeMade) {
  WriteFile(dir_.File("text.dll"), "not a library\n");
  EXPECT_EQ(Run("g = 0\nr = DllLoad(\"testlib.dll\", g)\nPrint(g)\n"  // the same slot
                "r = DllLoad(\"text.dll\", g)\nPrint(r)\nPrint(g)\n"
                "r = DllLoad(\"missing.dll\", g)\nPrint(r)\n"
                // Declared with the count the variable holds while compiling (0),
                // bound with 2: the call is never made.
                "c = 2\nDllFunction(h, \"nothing\", c)\nr = nothing()\nPrint(r)\n"
                // After the slot is freed nothing is bound.
                "DllFree(h)\nr = upper_text(\"x\")\nPrint(r)\n"),
            (std::vector<std::string>{"0", "-1", "-1", "-1", "-1", "-1"}));
}

// A library whose load-time code crashes, aborts or exits is refused with
// -1 and a log line; the script runs on and the next library loads.
TEST_F(ExtcallVtsrunTest, ALibraryWhoseLoadGoesWrongIsRefused) {
  std::filesystem::create_symlink(VTTEL_EXTCALL_DEMO_LIB, dir_.File("libvtdemo.so"));
  for (const std::string way : {"null_write", "abort", "exit"}) {
    SCOPED_TRACE(way);
    std::filesystem::create_symlink(LoadFaultLibraryPath(way), dir_.File("lib" + way + ".so"));
    EXPECT_EQ(Run("b = 5\nr = DllLoad(\"" + way + ".dll\", b)\nPrint(r)\nPrint(b)\n"
                  "d = 0\nDllLoad(\"vtdemo.dll\", d)\nDllFunction(d, \"vt_sum\", 3)\n"
                  "total = 0\nr = vt_sum(total, 40, 2)\nPrint(d)\nPrint(total)\n"),
              (std::vector<std::string>{"-1", "-1", "1", "42"}));
    EXPECT_NE(Log().find("DllLoad('" + way + ".dll'): "), std::string::npos) << Log();
  }
}

// The compile messages of declared calls, as the error file's bytes.
TEST_F(ExtcallVtsrunTest, CompileMessages) {
  struct Message {
    const char* body;
    const char* entry;
  };
  const Message messages[] = {
      {"DllFunction(h, \"nothing\", 1)\nr = nothing(1, 2)\n",
       "[Error]s.vts(3): 操作参数太多, r = nothing(1, 2)\r\n"},
      {"DllFunction(h, \"nothing\", 1)\nnothing()\n", "[Error]s.vts(3): 操作参数不够, nothing()\r\n"},
      {"DllFunction(h, \"nothing\", 2)\nnothing(, 1)\n",
       "[Error]s.vts(3): 参数不可以为空, nothing(, 1)\r\n"},
      {"r = later(1)\nDllFunction(h, \"later\", 1)\n",
       "[Error]s.vts(2): 不可辨识的关键字, r = later(1)\r\n"},
      {"r = never(1)\n", "[Error]s.vts(2): 不可辨识的关键字, r = never(1)\r\n"},
      {"DllFunction(h, \"negative\", -1)\nr = negative(1, 2)\n",
       "[Warning]s.vts(2): 外部函数声明的参数个数小于0: 调用该函数的语句不带参数, 总是返回-1, "
       "DllFunction(h, \"negative\", -1)\r\n"},
  };
  for (const Message& m : messages) {
    WriteFile(dir_.File("s.vts"), std::string("h = 0\n") + m.body);
    testing_support::RunVtsrun(dir_.path(), {"--check", "s.vts"});
    const std::string errors = ReadFile(dir_.File("errmsg0.txt")).value_or("");
    EXPECT_NE(errors.find(m.entry), std::string::npos) << m.body << "\n" << errors;
  }
  // The call of a name declared with a negative count compiles without
  // arguments and is never made.
  EXPECT_EQ(Run("DllFunction(h, \"nothing\", -1)\nr = nothing(1, 2)\nPrint(r)\n"),
            std::vector<std::string>{"-1"});
}

// The example library of demo/ does what its comment shows.
TEST_F(ExtcallVtsrunTest, TheDemoLibrary) {
  std::filesystem::create_symlink(VTTEL_EXTCALL_DEMO_LIB, dir_.File("libvtdemo.so"));
  EXPECT_EQ(Run("d = 0\nDllLoad(\"vtdemo.dll\", d)\nDllFunction(d, \"vt_sum\", 3)\n"
                "DllFunction(d, \"vt_upper\", 1)\ntotal = 0\nr = vt_sum(total, 40, 2)\n"
                "Print(r)\nPrint(total)\nname = \"caller\"\nr = vt_upper(name)\nPrint(name)\n"),
            (std::vector<std::string>{"2", "42", "CALLER"}));
}

}  // namespace
}  // namespace services_test
