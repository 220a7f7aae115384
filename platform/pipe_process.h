// Child processes whose output the system itself reads (the speech engine;
// programs that scripts start are process.h's ChildProcess): a program
// started with posix_spawn (no shell), given bytes on its standard input
// and read to the end of its standard output;
// it inherits only descriptors 0-2 (its stderr is ours). The wait sleeps in
// poll on the pipes and on a descriptor of the child (pidfd), never in a
// loop of its own; a stop request kills the child, which is always reaped.
//
// Thread-safe: each call owns its child.
#ifndef VTTEL_PLATFORM_PIPE_PROCESS_H_
#define VTTEL_PLATFORM_PIPE_PROCESS_H_

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// How often a running child's caller is asked whether to stop.
inline constexpr int kProcessStopCheckMs = 100;

struct ProcessResult {
  bool started = false;  // false: the program could not be run (errno-like code in error)
  int error = 0;
  bool stopped = false;    // killed on a stop request
  int exit_status = -1;    // the exit code; -1 killed by a signal or not started
};

// Runs argv[0] (a path, or a name looked up in PATH) with the arguments,
// writes input to its standard input (then closes it) and collects its
// standard output into *output (when not null; else it is discarded).
// should_stop (may be empty) is asked every kProcessStopCheckMs while the
// child runs; true kills it.
ProcessResult RunProcess(const std::vector<std::string>& argv, std::string_view input,
                         std::string* output, const std::function<bool()>& should_stop = {});

// The full path of a program name from PATH (a name holding '/' is
// returned as it is when it is executable); empty when none.
std::string FindProgramOnPath(const std::string& name);

}  // namespace platform

#endif  // VTTEL_PLATFORM_PIPE_PROCESS_H_
