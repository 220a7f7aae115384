// A line whose script nests too deep or runs out of memory, in the running
// program: its run ends with a log line and its call is released; the
// program and the other lines go on, and the line answers its next call.
#include <unistd.h>

#include <string>

#include "engine/run_fault.h"
#include "gtest/gtest.h"
#include "tests/vttel/vttel_fixture.h"

namespace vttel_test {
namespace {

// The plain (unsanitized) program of build/plain: AddressSanitizer cannot run
// under an address-space limit.
const std::string kReleaseVttel = std::string(VTTEL_RELEASE_PROGRAM_DIR) + "/vttel";
// The program's address space under the limit: Qt, the lines' threads
// and some room for the map to fill.
constexpr long long kAddressSpaceLimit = 1024LL << 20;

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

struct FaultCase {
  const char* label;
  const char* script;  // answers a call, then fails
  std::string fault;   // the log line's text
  bool memory_limit;   // runs the plain program under the address-space limit
};

class LineFaultTest : public VttelTest {
 protected:
  // Line 0 runs the failing script, line 1 answers. Line 0 answers and
  // fails: its call is released. Line 1 still answers and takes a key.
  // Line 0, started again, answers the next call.
  void RunCase(const FaultCase& c) {
    WriteProgramFolder("0=fault.vts\n1=answer.vts\n");
    WriteFile(home_.File("fault.vts"), c.script);
    if (c.memory_limit) {
      ASSERT_TRUE(vttel_.Start("/usr/bin/prlimit",
                               {"--as=" + std::to_string(kAddressSpaceLimit), kReleaseVttel}));
    } else {
      ASSERT_TRUE(Start());
    }
    ASSERT_TRUE(WaitForRun(0)) << MainLog();
    ASSERT_TRUE(WaitForRun(1)) << MainLog();
    std::string out;
    EXPECT_EQ(FarEnd("c.call('E0', '13900000000', '8000')\n"
                     "need(c.wait('ANSWER', 'E0', 10000), 'answer on line 0')\n"
                     "need(c.wait('RELEASE', 'E0', 30000), 'release of line 0')\n"
                     "c.call('E1', '13900000001', '8001')\n"
                     "need(c.wait('ANSWER', 'E1', 10000), 'answer on line 1')\n"
                     "need(key_until_release('E1'), 'release of line 1')\n"
                     "c.call('E0', '13900000002', '8000')\n"
                     "need(c.wait('ANSWER', 'E0', 20000), 'second answer on line 0')\n"
                     "need(c.wait('RELEASE', 'E0', 30000), 'second release of line 0')\n",
                     &out),
              0)
        << out << MainLog();
    EXPECT_TRUE(WaitFor([&] { return Count(MainLog(), "0 " + c.fault) == 2; }, 5000))
        << MainLog();
    EXPECT_EQ(Ctl("quit"), 0);
    EXPECT_EQ(vttel_.Wait(kQuitMs), 0) << vttel_.stderr_text();
  }

  // glibc gives every thread an arena of its own, 64 MiB of address space
  // each: a few arenas keep the limit about the data.
  ScopedEnv arenas_{"MALLOC_ARENA_MAX", std::string("2")};
};

TEST_F(LineFaultTest, ADeepScriptEndsItsRunNotTheProgram) {
  RunCase({"deep", "function f(n)\n{\nif(n > 0)\n{\nf(n - 1)\n}\n}\nWaitRing(1)\nf(100000)\n",
           "Run ended: script calls nested deeper than " +
               std::to_string(engine::kMaxScriptDepth) +
               " levels [FILE=fault.vts:LINE=5:f(n - 1)]",
           false});
}

TEST_F(LineFaultTest, AScriptOutOfMemoryEndsItsRunNotTheProgram) {
  if (access(kReleaseVttel.c_str(), X_OK) != 0) {
    GTEST_SKIP() << "no plain vttel at " << kReleaseVttel
                 << " (./vttel.sh test builds it; AddressSanitizer cannot run under a limit)";
  }
  RunCase({"memory", "WaitRing(1)\ni = 0\nwhile(1)\n{\nm[i] = i\ni = i + 1\n}\n",
           "Run ended: out of memory [FILE=fault.vts:LINE=5:m[i] = i]", true});
}

}  // namespace
}  // namespace vttel_test
