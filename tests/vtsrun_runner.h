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

// Waits at most wait_ms for the tool to end.
inline VtsrunOutcome RunVtsrun(const std::string& dir, const std::vector<std::string>& args,
                               int wait_ms = 20000) {
  SpawnedProgram program;
  {
    ScopedChdir cd(dir);
    if (!program.Start(std::string(VTTEL_TOOLS_DIR) + "/vtsrun", args)) return {};
  }
  VtsrunOutcome o;
  o.status = program.Wait(wait_ms);
  o.out = program.stdout_text();
  o.err = program.stderr_text();
  return o;
}

}  // namespace testing_support

#endif  // VTTEL_TESTS_VTSRUN_RUNNER_H_
