// "Ereg(", "EregRepl(" and "EregSplit(" run from script files through the
// real vtsrun, on its 512 KiB line thread, with the engine's limits
// reported in its log.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/services/vtsrun_script.h"
#include "tests/test_support.h"

namespace {

using services_test::Printed;
using services_test::RunScript;
using services_test::RunScriptCases;
using services_test::ScriptCase;
using testing_support::TempDir;

TEST(RegexStatementsVtsrun, MatchReplaceAndSplit) {
  const ScriptCase cases[] = {
      {"match and capture",
       "a = 0\nr = Ereg(\"abc\", 1, \"b(c)\", a)\nPrint(r)\nPrint(a[0])\nPrint(a[1])\n"
       "a[1] = \"kept\"\nr = Ereg(\"b\", 0, \"(x)?b\", a)\nPrint(r)\nPrint(a[0])\nPrint(a[1])\n"
       "r = Ereg(\"abc\", 0, \"z\", a)\nPrint(r)\n",
       {"2", "bc", "c", "1", "b", "kept", "0"}},
      {"counts",
       "t = \"a-b-c\"\nr = EregRepl(t, \"-\", \"+\", 1)\nPrint(t)\n"
       "t = \"a-b-c\"\nr = EregRepl(t, \"-\", \"+\", -1)\nPrint(t)\n"
       "t = \"a-b-c\"\nr = EregRepl(t, \"-\", \"+\", 0)\nPrint(t)\nPrint(r)\n",
       {"a+b-c", "a+b+c", "a-b-c", "1"}},
      {"references",
       "w = 0\nw[0] = \"[$&]\"\nw[1] = \"$`\"\nw[2] = \"$'\"\nw[3] = \"$_\"\nw[4] = \"$$\"\n"
       "i = 0\nwhile(i < 5)\n{\nt = \"abc\"\nr = EregRepl(t, \"b\", w[i], -1)\nPrint(t)\n"
       "i = i + 1\n}\n"
       "t = \"ab\"\nr = EregRepl(t, \"(a)(b)\", \"$12 $9 ${x} ${1}\", -1)\nPrint(t)\n",
       {"a[b]c", "aac", "acc", "aabcc", "a$c", "a2 $9 ${x} ${1}"}},
      {"pieces",
       "a = 0\nn = EregSplit(\"a,b,,c\", \",\", a)\nPrint(n)\nPrint(a[0])\nPrint(a[1])\n"
       "Print(a[2])\nPrint(a[3])\nn = EregSplit(\"abc\", \",\", a)\nPrint(n)\nPrint(a[0])\n"
       "n = EregSplit(\"abc\", \"x*\", a)\nPrint(n)\nPrint(a[1])\nPrint(a[3])\nPrint(a[4])\n"
       "n = EregSplit(\"a b\", \"\\s*\", a)\nPrint(n)\n",
       {"4", "a", "b", "", "c", "1", "abc", "5", "a", "c", "", "5"}},
      {"replacement in its text form",
       "t = \"abc\"\nr = EregRepl(t, \"b\", 5, -1)\nPrint(r)\nPrint(t)\n", {"1", "a5c"}},
      {"arguments that are also the result",
       "s = \"a,b\"\nn = EregSplit(s, \",\", s)\nPrint(n)\nPrint(s[1])\n"
       "s = \"xabc\"\nr = Ereg(s, 0, \"b(c)\", s)\nPrint(r)\nPrint(s[1])\n"
       "p = \"(b)\"\nr = Ereg(\"abc\", 0, p, p)\nPrint(p[1])\n"
       "s = \"a.b\"\nr = EregRepl(s, s, \"<$&>\", -1)\nPrint(s)\n",
       {"2", "b", "3", "c", "b", "<a.b>"}},
      {"pattern variable changing between runs",
       "p = \"a\"\ni = 0\nwhile(i < 3)\n{\nt = \"abc\"\nr = EregRepl(t, p, \"_\", -1)\n"
       "Print(t)\nif(i == 0)\n{\np = \"b\"\n}\nif(i == 1)\n{\np = \"[ac]\"\n}\ni = i + 1\n}\n",
       {"_bc", "a_c", "_b_"}},
      {"binary strings",
       "net = \"\"\nw = \"\"\nc = \"\"\nb1 = \"\"\nb2 = \"\"\na = 0\nk = 0\n"
       "IntToNetstr(258, 4, net)\nRepeatstr(w, net, 256)\nStrToUnicode(w, 4, b1)\n"
       "r = EregRepl(w, \"x\", \"y\", -1)\nPrint(r)\nStrToUnicode(w, 4, b2)\nsame = 0\n"
       "if(b1 == b2)\n{\nsame = 1\n}\nPrint(same)\nLen(w, k)\nPrint(k)\n"
       "Chr(2, c)\nn = EregSplit(w, c, a)\nPrint(n)\nr = Ereg(w, 5, c, a)\nPrint(r)\n"
       "r = EregRepl(w, c, \"\", -1)\nLen(w, k)\nPrint(k)\n",
       {"1", "1", "1024", "257", "8", "768"}},
  };
  RunScriptCases(cases);
}

// What the engine could not decide, or could not hold, is logged and leaves
// the script's values as they were.
TEST(RegexStatementsVtsrun, LimitsLeaveValuesUnchangedAndAreLogged) {
  TempDir dir;
  const testing_support::VtsrunOutcome o = RunScript(
      dir,
      // $_ over 1 MB: the result would pass 2^31 - 2 bytes.
      "t = \"\"\nk = 0\nRepeatstr(t, \"a\", 1048576)\nr = EregRepl(t, \"a\", \"$_\", -1)\n"
      "Print(r)\nLen(t, k)\nPrint(k)\n"
      // Steps: a pattern that backtracks exponentially.
      "a = 0\na[0] = \"kept\"\ns = \"\"\nRepeatstr(s, \"a\", 40)\ns = s + \"b\"\n"
      "r = Ereg(s, 0, \"^(a|aa)+$\", a)\nPrint(r)\n"
      "u = s\nr = EregRepl(u, \"^(a|aa)+$\", \"x\", -1)\nPrint(r)\nLen(u, k)\nPrint(k)\n"
      // Nesting: a recursion as deep as the text, on the line thread.
      "o = \"\"\nc = \"\"\nRepeatstr(o, \"(\", 100000)\nRepeatstr(c, \")\", 100000)\n"
      "d = o + c\nr = EregRepl(d, \"\\((?:[^()]|(?R))*\\)\", \"x\", -1)\nPrint(r)\n"
      "Len(d, k)\nPrint(k)\nr = EregSplit(d, \"\\((?:[^()]|(?R))*\\)\", a)\nPrint(r)\n"
      "Print(a[0])\n");
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, Printed({"0", "1048576", "0", "0", "41", "0", "200000", "0", "kept"}));
  const std::string log = testing_support::ReadFile(dir.File("msg_log.txt")).value_or("");
  EXPECT_NE(log.find("EregRepl(: the result passes 2147483646 bytes"), std::string::npos) << log;
  EXPECT_NE(log.find("regex: step limit reached, pattern \"^(a|aa)+$\""), std::string::npos)
      << log;
  EXPECT_NE(log.find("regex: nesting depth limit reached"), std::string::npos) << log;
}

}  // namespace
