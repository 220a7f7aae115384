#include "platform/fault_guard.h"

#include <unistd.h>

#include <csetjmp>
#include <csignal>
#include <cstdlib>
#include <mutex>

namespace platform {
namespace {

constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
// Room for the handler, which only jumps (or restores a disposition).
constexpr size_t kAltStackBytes = 64 * 1024;

struct Guard {
  sigjmp_buf resume;
};

// The guard armed on this thread (the handler reads it: a plain pointer,
// no thread-local constructor).
constinit thread_local Guard* armed = nullptr;

// The dispositions found at installation, by signal number.
struct sigaction previous_actions[NSIG];

// True when the signal came from the code this thread runs: a processor
// fault (raised by the kernel), or a signal sent from inside this process
// (abort() sends SIGABRT to its own thread). One that another process sent
// (kill -ABRT, kill -SEGV) is for the whole process, not for a call.
bool RaisedByTheCall(const siginfo_t* info) {
  return info != nullptr && (info->si_code > 0 || info->si_pid == ::getpid());
}

void OnFault(int signal_number, siginfo_t* info, void*) {
  Guard* const guard = armed;
  if (guard != nullptr && RaisedByTheCall(info)) {
    armed = nullptr;
    siglongjmp(guard->resume, signal_number);
  }
  // Not a guarded call: the disposition from before takes over. A fault
  // runs its instruction again and faults under it; a signal someone sent
  // is sent again.
  ::sigaction(signal_number, &previous_actions[signal_number], nullptr);
  if (info == nullptr || info->si_code <= 0) ::raise(signal_number);
}

void InstallHandlers() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct sigaction action {};
    action.sa_sigaction = &OnFault;
    // SA_NODEFER: the signal stays unblocked after the jump back, which
    // then needs no call to restore the mask.
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    for (int s : kFaultSignals) ::sigaction(s, &action, &previous_actions[s]);
  });
}

// The alternate signal stack of a thread: set up at the thread's first
// guarded call unless the thread has one, taken down when the thread ends.
class AltStack {
 public:
  AltStack() {
    stack_t current{};
    if (::sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE) == 0 &&
        current.ss_size >= kAltStackBytes) {
      return;
    }
    memory_ = std::malloc(kAltStackBytes);
    if (memory_ == nullptr) return;
    stack_t stack{};
    stack.ss_sp = memory_;
    stack.ss_size = kAltStackBytes;
    if (::sigaltstack(&stack, nullptr) != 0) {
      std::free(memory_);
      memory_ = nullptr;
    }
  }
  ~AltStack() {
    if (memory_ == nullptr) return;
    stack_t off{};
    off.ss_flags = SS_DISABLE;
    ::sigaltstack(&off, nullptr);
    std::free(memory_);
  }
  AltStack(const AltStack&) = delete;
  AltStack& operator=(const AltStack&) = delete;

 private:
  void* memory_ = nullptr;
};

void EnsureAltStack() { static thread_local AltStack stack; }

}  // namespace

int RunFaultGuarded(void (*body)(void*), void* context) {
  InstallHandlers();
  EnsureAltStack();
  Guard guard;
  Guard* const outer = armed;
  const int fault = sigsetjmp(guard.resume, 0);
  if (fault != 0) {
    armed = outer;
    return fault;
  }
  armed = &guard;
  try {
    body(context);
  } catch (...) {
    armed = outer;
    throw;
  }
  armed = outer;
  return 0;
}

const char* FaultSignalName(int signal_number) {
  switch (signal_number) {
    case SIGSEGV:
      return "SIGSEGV";
    case SIGBUS:
      return "SIGBUS";
    case SIGFPE:
      return "SIGFPE";
    case SIGILL:
      return "SIGILL";
    case SIGABRT:
      return "SIGABRT";
    default:
      return "signal";
  }
}

}  // namespace platform
