// The string, encoding, time, message, shared-memory and ACD statements run
// from script files through the real vtsrun: each script prints its results
// to stdout ("Print(" after SetPrintTo("")) and the test reads the
// "0 : <text>" lines back.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/services/vtsrun_script.h"
#include "tests/test_support.h"
#include "tests/vtsrun_runner.h"

namespace {

using testing_support::TempDir;
using testing_support::WriteFile;

using Outcome = testing_support::VtsrunOutcome;

using services_test::Printed;
using services_test::RunScript;
using services_test::RunScriptCases;
using services_test::ScriptCase;

TEST(StatementsVtsrun, ScriptsPrintTheStatementsResults) {
  const ScriptCase cases[] = {
      {"conversions",
       "v = 0\ng = 0\nd = \"\"\nt = 0\n"
       "r = Int(\"0x1F\", v)\nPrint(r)\nPrint(v)\n"
       "f = Float(\"1,234.5\", g)\nPrint(_retVal)\nPrint(f)\nPrint(g)\n"
       "s = Str(5, 6, 2, d)\nPrint(s)\nPrint(d)\n"
       "Type(1.5, t)\nPrint(t)\nHex(255, 4, d)\nPrint(d)\n",
       {"31", "31", "1234.5", "1234.5", "1234.5", "  5.00", "  5.00", "3", "00ff"}},
      {"cutting and searching",
       "y = \"\"\nm = 0\np = 0\nc = \"\"\n"
       "x = Substr(\"hello\", 3, 10, y)\nPrint(x)\nPrint(y)\n"
       "r = Substr(\"hello\", 5, 1, y)\nPrint(_retVal)\n"
       "n = Strlen(\"中文\", m)\nPrint(n)\n"
       "r = Strstr(\"abcabc\", \"abc\", p)\nPrint(r)\nr = StrstrEx(\"abcabc\", 2, \"abc\", p)\n"
       "Print(p)\nr = Asc(\"ab\", 2, p)\nPrint(r)\nr = Asc(\"ab\", -1, p)\nPrint(r)\n"
       "r = Strcmp(\"ABC\", \"abc\", 0, 1)\nPrint(r)\nc = Chr(65, y)\nPrint(c)\n",
       {"lo", "lo", "", "4", "1", "4", "0", "-1", "0", "A"}},
      {"changing in place",
       "t = \"  ab  \"\nu = \"ab癮cd丄\"\nw = \"\"\nv = \"abcde\"\n"
       "Trim(t)\nPrint(t)\nUpper(u)\nPrint(u)\nLower(u)\nPrint(u)\n"
       "Repeatstr(w, 42, 3)\nPrint(w)\nr = Repeatstr(w, \"abcd\", 2147483647)\nPrint(r)\n"
       "Replstr(v, 1, 2, \"XY\")\nPrint(v)\n",
       {"ab", "AB癮CD丄", "ab癮cd丄", "***", "-3", "aXYde"}},
      {"maps",
       "mp = 0\nk = 0\nkey = 0\nval = 0\n"
       "n = AnlyStr(\"a,,b\", \",\", mp)\nPrint(n)\nLen(mp, k)\nPrint(k)\n"
       "r = GetMapItem(mp, 2, key, val)\nPrint(r)\nPrint(key)\nPrint(val)\n",
       {"3", "3", "2", "2", "b"}},
      {"encodings",
       "b = \"\"\nu = \"\"\nnet = \"\"\nx = 0\n"
       "r = StrToUnicode(\"abc\", 4, b)\nPrint(r)\nPrint(b)\n"
       "r = StrToUnicode(\"a b+中\", 3, b)\nPrint(b)\n"
       "r = StrToUnicode(\"中文\", 1, u)\nPrint(r)\nr = UnicodeToStr(1, u, b)\nPrint(r)\nPrint(b)\n"
       "IntToNetstr(258, 4, net)\nr = StrToUnicode(net, 4, b)\nPrint(r)\nPrint(b)\n"
       "r = NetstrToInt(net, 2, 2, x)\nPrint(x)\nr = NetstrToInt(net, -1, 2, x)\nPrint(r)\n"
       "r = UnicodeToStr(3, \"100%\", b)\nPrint(b)\n",
       {"4", "YWJj", "a%20b%2B%D6%D0", "7", "4", "中文", "8", "AAABAg==", "258", "-3", "100%"}},
      {"time",
       "dd = \"\"\nds = \"\"\n"
       "r = AfterDaysDate(\"20040228\", 1, dd)\nPrint(r)\nPrint(dd)\n"
       "r = AfterDaysDate(20041301, 1, dd)\nPrint(r)\n"
       "GetDateStr(\"%Y-%m-%d %T\", 0, 1, ds)\nPrint(ds)\n"
       "t = 0\nt2 = 0\nGetTick(t)\nSleep(0.1)\nGetTick(t2)\nr = t2 - t\n"
       "x = 0\nif(r >= 100)\n{\nx = 1\n}\nPrint(x)\n"
       "r = MakeTime(2014, 3, 5, 8, 15, 0)\nc = Time()\nx = 0\nif(c > r)\n{\nx = 1\n}\nPrint(x)\n",
       {"20040229", "20040229", "-1", "1970-01-01 00:00:00", "1", "1"}},
      {"messages to the line itself and through a process-wide queue",
       "s = 0\nt = 0\nf = 0\nc = 0\ngot = 0\n"
       "SetMsgField(0, \"one\")\nr = SendMsg(0, 7, \"greet\", 1)\nPrint(r)\n"
       "r = SendMsg(1, 7, \"x\", 1)\nPrint(r)\nr = SendMsg(-1, 7, \"pw\", 1)\nPrint(r)\n"
       "r = RecvMsg(0, 7, s, t, f, c, got)\nPrint(t)\nPrint(f)\nPrint(s)\n"
       "r = RecvMsg(-1, 7, s, t, f, c, got)\nPrint(t)\n"
       "r = RecvMsg(0, 7, s, t, f, c, got)\nPrint(got)\n",
       {"1", "-2", "1", "greet", "one", "0", "pw", "0"}},
      {"shared memory and an ACD group",
       "v = 0\nr = SetShareMem(0, \"k\", 5)\nPrint(r)\nr = IncShareMem(0, \"k\", 2, v)\nPrint(v)\n"
       "r = GetShareMem(1, \"k\", v)\nPrint(r)\nr = SetShareMem(-1, 1, \"p\")\nPrint(r)\n"
       "r = FindShareMem(\"k\", 7, \"taken\")\nPrint(r)\nr = GetShareMem(0, \"k\", v)\nPrint(v)\n"
       "SetMsgField(0, \"call\")\nr = AcdListSend(\"q\", 1)\nPrint(r)\n"
       "r = AcdListRecv(0, \"call\")\nPrint(r)\nr = AcdListNum(\"q\")\nPrint(r)\n",
       {"1", "7", "-2", "1", "0", "taken", "1", "1", "0"}},
  };
  RunScriptCases(cases);
}

// "Rand(" draws from the line's generator, seeded when the run starts.
TEST(StatementsVtsrun, RandStaysInRange) {
  TempDir dir;
  const Outcome o = RunScript(
      dir,
      "i = 0\nbad = 0\nv = 0\nwhile(i < 1000)\n{\nr = Rand(v)\nif(r < 0)\n{\nbad = bad + 1\n}\n"
      "if(r > 32767)\n{\nbad = bad + 1\n}\ni = i + 1\n}\nPrint(bad)\n");
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, Printed({"0"}));
}

}  // namespace
