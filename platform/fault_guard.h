// Guarded calls into code the system does not own (the functions of the
// libraries that scripts load): a processor fault inside the call (SIGSEGV,
// SIGBUS, SIGFPE, SIGILL) or an abort() (SIGABRT, as a failed assert
// raises it) ends the call instead of the process. Such a signal that
// another process sends (kill -ABRT) is not the call's: it keeps its
// disposition, as everywhere outside a guard.
//
// How: one handler per fault signal, installed at the first guarded call,
// runs on a per-thread alternate stack (so a call that overflowed its stack
// is caught too) and jumps back to the guard armed by the call on that
// thread. Arming and disarming touch only a thread-local pointer: no system
// call is made per call while nothing faults (the alternate stack is set up
// once per thread). A fault on a thread with no armed guard gets the
// disposition that was in place before the handler (by default the end of
// the process with a core), as if the handler had never been installed.
//
// What a fault leaves behind (locks the code held, memory it allocated) is
// lost: the guard only gives the thread back. Under AddressSanitizer the
// handlers take effect only with allow_user_segv_handler=1 and ASan's own
// handle_segv, handle_sigbus, handle_sigfpe, handle_sigill and
// handle_abort off (the last is off by default).
//
// Thread rules: any thread, any number at once; guards nest on a thread.
#ifndef VTTEL_PLATFORM_FAULT_GUARD_H_
#define VTTEL_PLATFORM_FAULT_GUARD_H_

namespace platform {

// Runs body(context) on the calling thread under a guard: 0 when body
// returned, or the number of the fault signal that ended it. An exception
// thrown by body passes through (the guard is disarmed).
int RunFaultGuarded(void (*body)(void*), void* context);

// "SIGSEGV", "SIGBUS", "SIGFPE", "SIGILL", "SIGABRT", or "signal" for
// another number.
const char* FaultSignalName(int signal_number);

}  // namespace platform

#endif  // VTTEL_PLATFORM_FAULT_GUARD_H_
