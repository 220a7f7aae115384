// Other programs started by scripts ("Exec("), without a shell.
//
// The command line is split as the system's command lines always were
// split (SplitCommandLine). The program, its first word, is looked for as
// the system's process creation did: a name with a folder in it at that
// script path (ToHostPath); a bare name in the program folder, then in the
// working folder, then along PATH; a name ending in ".exe" (any case) that
// is found nowhere is looked for again without that ending. The child gets
// the process's environment and working folder and only the descriptors
// 0, 1 and 2: listeners, database connections and the instance lock stay
// with the system.
//
// Every child leads a process group of its own, in a session of its own,
// so that Kill ends what it started too (a shell's background jobs). The
// session, not only the group: a group of its own in the system's session
// would be a background job of the system's terminal, stopped (SIGTTIN)
// as soon as it read its standard input from there; in a session of its
// own that terminal is no controlling terminal of the child, which reads
// and writes it as before. The terminal's signals (an interrupt typed
// there, its hang-up) reach the system, not its children.
//
// A ChildProcess owns its child until it is waited for, killed, or the
// object is destroyed; a child still running then is left to run, and a
// detached thread of the process waits for it and collects it when it
// ends, so no zombie is left.
//
// Thread rules: one ChildProcess is used by one thread at a time; the
// functions here are thread-safe.
#ifndef VTTEL_PLATFORM_PROCESS_H_
#define VTTEL_PLATFORM_PROCESS_H_

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The exit code of a child ended by signal s is kSignalExitBase + s.
inline constexpr int kSignalExitBase = 128;

// Splits a command line by the rules of the system's command lines:
//  - words are separated by runs of blanks (space, tab) outside quotes;
//  - the first word (the program) ends at the first blank outside quotes,
//    its quotes are removed and backslashes are kept as they are;
//  - in the other words a double quote opens or closes a quoted part and
//    is removed; inside a quoted part two double quotes give one;
//  - 2n backslashes before a double quote give n backslashes and the quote
//    acts as above; 2n+1 give n backslashes and a literal quote;
//    backslashes before anything else are kept as they are.
std::vector<std::string> SplitCommandLine(std::string_view command_line);

// The host path of the program a command line's first word names, found as
// the header says; nullopt when it is not found or not executable.
std::optional<std::string> FindProgram(std::string_view program);

class ChildProcess {
 public:
  enum class WaitEnd { kEnded, kTimedOut, kStopped };

  // The exit code of a copy (Fork) in which exit() was called.
  static constexpr int kForkExitCalled = 125;

  // Starts the command line; null when it is empty, the program is not
  // found, or the start failed.
  static std::unique_ptr<ChildProcess> Start(std::string_view command_line);
  // Runs body(context) in a copy of this process (fork), which ends with
  // _exit of body's result and never runs the process's exit handlers: an
  // exit() inside body ends it with kForkExitCalled. The copy holds only
  // the calling thread, so body must not wait for anything another thread
  // holds (the C library's allocator and loader are made ready for it).
  // Null when no copy could be made.
  static std::unique_ptr<ChildProcess> Fork(int (*body)(void*), void* context);

  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Waits up to ms for the child to end, and ends early when *stop (may
  // be null) becomes non-zero (seen within kStopCheckMs). kEnded sets
  // *exit_code (the child's exit status, or kSignalExitBase + the signal)
  // and the child is reaped (a wait that fails ends too, with -1).
  WaitEnd Wait(uint32_t ms, const std::atomic<uint8_t>* stop, int* exit_code);
  // Kills the child and its process group (SIGKILL) and reaps the child.
  void Kill();

  pid_t pid() const { return pid_; }

 private:
  ChildProcess(pid_t pid, int pidfd) : pid_(pid), pidfd_(pidfd) {}
  // Owns the child pid (with a pidfd when the kernel gives one).
  static std::unique_ptr<ChildProcess> Adopt(pid_t pid);
  // Reaps the child when it has ended; true then with *exit_code set.
  bool TryReap(int* exit_code);

  pid_t pid_;
  int pidfd_;  // -1 when the kernel gives no process descriptors
  bool reaped_ = false;
};

}  // namespace platform

#endif  // VTTEL_PLATFORM_PROCESS_H_
