// The process's signal dispositions, set once at start by a program's main
// before any thread is started.
#ifndef VTTEL_PLATFORM_PROCESS_SIGNALS_H_
#define VTTEL_PLATFORM_PROCESS_SIGNALS_H_

namespace platform {

// A write to a closed pipe or socket fails with EPIPE instead of ending
// the process.
void IgnoreBrokenPipe();

// handler runs on the end of the user's session or an interrupt (SIGINT,
// SIGTERM, SIGHUP). It runs in signal context: it may only touch atomics
// and async-signal-safe calls.
void OnSessionEndSignals(void (*handler)(int));

}  // namespace platform

#endif  // VTTEL_PLATFORM_PROCESS_SIGNALS_H_
