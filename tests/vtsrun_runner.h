// Runs the real vtsrun tool as a process in a folder (its program folder)
// and collects its exit status and output.
#ifndef VTTEL_TESTS_VTSRUN_RUNNER_H_
#define VTTEL_TESTS_VTSRUN_RUNNER_H_

#include <string>
#include <vector>

#include "tests/platform/spawned_program.h"
#include "tests/test_support.h"

namespace testing_support {

struct VtsrunOutcome {
  int status = SpawnedProgram::kTimedOut;
  std::string out;
  std::string err;
};

// Runs program (a vtsrun, or a program that starts one) in dir; waits at
// most wait_ms for it to end.
inline VtsrunOutcome RunProgramIn(const std::string& dir, const std::string& program,
                                  const std::vector<std::string>& args, int wait_ms = 20000) {
  SpawnedProgram p;
  {
    ScopedChdir cd(dir);
    if (!p.Start(program, args)) return {};
  }
  VtsrunOutcome o;
  o.status = p.Wait(wait_ms);
  o.out = p.stdout_text();
  o.err = p.stderr_text();
  return o;
}

// The vtsrun of the test build.
inline VtsrunOutcome RunVtsrun(const std::string& dir, const std::vector<std::string>& args,
                               int wait_ms = 20000) {
  return RunProgramIn(dir, std::string(VTTEL_TOOLS_DIR) + "/vtsrun", args, wait_ms);
}

}  // namespace testing_support

#endif  // VTTEL_TESTS_VTSRUN_RUNNER_H_
