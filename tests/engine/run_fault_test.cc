// Faults that end a line's run instead of the process, through the real
// vtsrun on its 512 KiB line thread: script nesting past the depth limit,
// and memory that cannot be had under an address-space limit (prlimit; the
// plain vtsrun of the release build, which AddressSanitizer's cannot be).
#include <gtest/gtest.h>

#include <string>
#include <unistd.h>
#include <vector>

#include "engine/run_fault.h"
#include "tests/test_support.h"
#include "tests/vtsrun_runner.h"

namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;
using Outcome = testing_support::VtsrunOutcome;

// The exit status of vtsrun when a fault ended the run.
constexpr int kRunFault = 4;
const std::string kDepthText =
    "Run ended: script calls nested deeper than " + std::to_string(engine::kMaxScriptDepth) +
    " levels [FILE=s.vts:LINE=";

// A function that calls itself n levels deep below its first call, twice
// (the depth is given back on the way out), then prints "done".
std::string SelfCall(int n) {
  return "function f(n)\n{\nif(n > 0)\n{\nf(n - 1)\n}\n}\n"
         "f(" + std::to_string(n) + ")\nf(" + std::to_string(n) +
         ")\nSetPrintTo(\"\")\nPrint(\"done\")\nreturn(0)\n";
}

class RunFaultTest : public ::testing::Test {
 protected:
  Outcome RunScript(const std::string& script, const std::string& program,
                    std::vector<std::string> args) {
    WriteFile(dir_.File("s.vts"), script);
    args.push_back("s.vts");
    return testing_support::RunProgramIn(dir_.path(), program, args, 60000);
  }
  std::string Log() const { return ReadFile(dir_.File("msg_log.txt")).value_or(""); }

  TempDir dir_;
};

struct FaultCase {
  const char* label;
  std::string script;
  int status;
  std::string out;    // the whole of stdout
  std::string fault;  // in stderr and in the log ("" none)
};

TEST_F(RunFaultTest, NestingPastTheLimitEndsTheRunWithALogLine) {
  const int limit = engine::kMaxScriptDepth;
  const FaultCase cases[] = {
      {"at the limit", SelfCall(limit - 1), 0, "0 : done\n", ""},
      {"one past the limit", SelfCall(limit), kRunFault, "", kDepthText + "5:f(n - 1)]"},
      {"the deep recursion of a probe", SelfCall(100000), kRunFault, "",
       kDepthText + "5:f(n - 1)]"},
      // a calls b through a variable: a function is known only below its
      // definition.
      {"mutual recursion",
       "next = 0\nfunction a(n)\n{\nnext(n)\n}\nfunction b(n)\n{\nif(n > 0)\n{\na(n - 1)\n}\n}\n"
       "next = b\na(100000)\nreturn(0)\n",
       kRunFault, "", kDepthText + "10:a(n - 1)]"},
      {"a script running itself", "RunVts(\"s.vts\")\nreturn(0)\n", kRunFault, "",
       kDepthText + "1:RunVts(\"s.vts\")]"},
      {"a line running itself", "t = \"RunLine(t)\"\nRunLine(t)\nreturn(0)\n", kRunFault, "",
       kDepthText + "2:RunLine(t)]"},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.label);
    Outcome o = RunScript(c.script, std::string(VTTEL_TOOLS_DIR) + "/vtsrun", {});
    EXPECT_EQ(o.status, c.status) << o.err;
    EXPECT_EQ(o.out, c.out);
    if (c.fault.empty()) {
      EXPECT_EQ(o.err, "");
    } else {
      EXPECT_NE(o.err.find("vtsrun: 0 " + c.fault), std::string::npos) << o.err;
      EXPECT_NE(Log().find("0 " + c.fault), std::string::npos) << Log();
    }
  }
}

// "RunVts(" counts kCompiledLevelCost levels: a chain of scripts, each
// running the next, fits up to the limit.
TEST_F(RunFaultTest, RunVtsChainsFitUpToTheLimit) {
  const int fitting = engine::kMaxScriptDepth / engine::kCompiledLevelCost;
  for (int runs : {fitting, fitting + 1}) {
    SCOPED_TRACE(runs);
    // s.vts runs c0.vts, which runs c1.vts ... up to the deepest.
    for (int i = 0; i + 1 < runs; ++i) {
      WriteFile(dir_.File("c" + std::to_string(i) + ".vts"),
                "RunVts(\"c" + std::to_string(i + 1) + ".vts\")\nreturn(0)\n");
    }
    WriteFile(dir_.File("c" + std::to_string(runs - 1) + ".vts"),
              "SetPrintTo(\"\")\nPrint(\"deepest\")\nreturn(0)\n");
    Outcome o = RunScript("RunVts(\"c0.vts\")\nreturn(0)\n",
                          std::string(VTTEL_TOOLS_DIR) + "/vtsrun", {});
    if (runs == fitting) {
      EXPECT_EQ(o.status, 0) << o.err;
      EXPECT_EQ(o.out, "0 : deepest\n");
    } else {
      EXPECT_EQ(o.status, kRunFault) << o.err;
      EXPECT_EQ(o.out, "");
      EXPECT_NE(o.err.find("[FILE=c" + std::to_string(runs - 2) + ".vts:LINE=1:"),
                std::string::npos)
          << o.err;
    }
  }
}

// Under a limit of the address space, a script that fills a map or doubles
// a string ends its run with the log line; the process lives to report it.
TEST_F(RunFaultTest, MemoryExhaustionEndsTheRunWithALogLine) {
  const std::string vtsrun = std::string(VTTEL_RELEASE_TOOLS_DIR) + "/vtsrun";
  if (access(vtsrun.c_str(), X_OK) != 0) {
    GTEST_SKIP() << "no plain vtsrun at " << vtsrun
                 << " (./vttel.sh test builds it; AddressSanitizer cannot run under a limit)";
  }
  const FaultCase cases[] = {
      {"a map filled without end", "i = 0\nwhile(1)\n{\nm[i] = i\ni = i + 1\n}\n", kRunFault,
       "", "Run ended: out of memory [FILE=s.vts:LINE=4:m[i] = i]"},
      {"a string doubled without end", "s = \"0123456789\"\nwhile(1)\n{\ns = s + s\n}\n",
       kRunFault, "", "Run ended: out of memory [FILE=s.vts:LINE=4:s = s + s]"},
      {"a string repeated past the memory", "s = \"x\" * 1500000000\nreturn(0)\n", kRunFault,
       "", "Run ended: out of memory [FILE=s.vts:LINE=1:s = \"x\" * 1500000000]"},
  };
  // Address space for the program and its threads, and some room to fill.
  const std::string limit = "--as=" + std::to_string(300 << 20);
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.label);
    Outcome o = RunScript(c.script, "/usr/bin/prlimit", {limit, vtsrun, "--timeout", "30"});
    EXPECT_EQ(o.status, c.status) << o.err;
    EXPECT_NE(o.err.find("vtsrun: 0 " + c.fault), std::string::npos) << o.err;
    EXPECT_NE(Log().find("0 " + c.fault), std::string::npos) << Log();
  }
}

}  // namespace
