// A line whose script nests too deep, in the running program: its run ends
// with a log line and its call is released; the program and the other lines
// go on, and the line answers its next call.
#include <string>

#include "engine/run_fault.h"
#include "gtest/gtest.h"
#include "tests/vttel/vttel_fixture.h"

namespace vttel_test {
namespace {

// Answers a call, then calls itself far past the depth limit.
constexpr char kDeepScript[] =
    "function f(n)\n{\nif(n > 0)\n{\nf(n - 1)\n}\n}\n"
    "WaitRing(1)\n"
    "f(100000)\n";

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST_F(VttelTest, ADeepScriptEndsItsRunNotTheProgram) {
  WriteProgramFolder("0=deep.vts\n1=answer.vts\n");
  WriteFile(home_.File("deep.vts"), kDeepScript);
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitForRun(0)) << MainLog();
  ASSERT_TRUE(WaitForRun(1)) << MainLog();
  std::string out;
  // Line 0 answers and fails: its call is released. Line 1 still answers
  // and takes a key. Line 0, started again, answers the next call.
  EXPECT_EQ(FarEnd("c.call('E0', '13900000000', '8000')\n"
                   "need(c.wait('ANSWER', 'E0', 10000), 'answer on line 0')\n"
                   "need(c.wait('RELEASE', 'E0', 10000), 'release of line 0')\n"
                   "c.call('E1', '13900000001', '8001')\n"
                   "need(c.wait('ANSWER', 'E1', 10000), 'answer on line 1')\n"
                   "c.keys('E1', '5')\n"
                   "need(c.wait('RELEASE', 'E1', 10000), 'release of line 1')\n"
                   "c.call('E0', '13900000002', '8000')\n"
                   "need(c.wait('ANSWER', 'E0', 20000), 'second answer on line 0')\n"
                   "need(c.wait('RELEASE', 'E0', 10000), 'second release of line 0')\n",
                   &out),
            0)
      << out << MainLog();
  const std::string fault =
      "0 Run ended: script calls nested deeper than " + std::to_string(engine::kMaxScriptDepth) +
      " levels [FILE=deep.vts:LINE=5:f(n - 1)]";
  EXPECT_TRUE(WaitFor([&] { return Count(MainLog(), fault) == 2; }, 5000)) << MainLog();
  EXPECT_EQ(Ctl("quit"), 0);
  EXPECT_EQ(vttel_.Wait(kQuitMs), 0) << vttel_.stderr_text();
}

}  // namespace
}  // namespace vttel_test
