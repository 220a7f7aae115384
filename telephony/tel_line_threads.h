// The two threads of a line: the load thread compiles the line's script
// file and starts the run thread, which runs the script again and again
// and compiles it anew when a reload is pending. A run ended by a fault
// (the script's runError) does not stop the line: its connected call is
// released and the script runs again after kFaultRestartPauseMs.
//
// Both threads read the drive's state only through LineRunFlags, which they
// share, so a line whose thread outlives the drive's bounded waits touches
// nothing that the drive frees.
//
// Thread rules: StartLineLoad is called by the drive's loading pass, which
// owns the line's load thread; the load thread owns the run thread. The
// flags are atomics written by the drive and polled by the threads.
#ifndef VTTEL_TELEPHONY_TEL_LINE_THREADS_H_
#define VTTEL_TELEPHONY_TEL_LINE_THREADS_H_

#include <atomic>
#include <cstdint>
#include <memory>

#include "telephony/tel_line.h"

namespace telephony {

// Status of a line whose script did not compile (the same in English).
inline constexpr std::string_view kLoadFailedStatus = "加载不成功";
inline constexpr std::string_view kLoadingStatus = "加载...";

// Processor gates: (tries, ms) of the wait for a quiet processor before a
// compile and before a run.
inline constexpr int kCompileGateTries = 40;
inline constexpr int kCompileGateMs = 75;
inline constexpr int kRunGateTries = 20;
inline constexpr int kRunGateMs = 65;
// The run thread polls the started flag this often.
inline constexpr uint32_t kStartedPollMs = 200;
// Before a line's first run it waits (line number mod 10) x this.
inline constexpr uint32_t kRunStaggerMs = 100;
// Before a reload's compile.
inline constexpr uint32_t kReloadPauseMs = 35;
// Before a line runs its script again after a fault ended its run (so a
// script that fails at once does not fill the log).
inline constexpr uint32_t kFaultRestartPauseMs = 1000;

struct LineRunFlags {
  // Clear while the loading pass hands out lines: no script runs then.
  std::atomic<bool> started{true};
  // Set while the lines are being stopped (and for good at shutdown): no
  // thread starts a run or a compile, and their waits end early.
  std::atomic<bool> halt{false};
};

// Starts the line's load thread (512 KiB stack) on the line's script file.
// False when the thread could not be started.
bool StartLineLoad(TagTelLine& line, std::shared_ptr<LineRunFlags> flags);

// The process-wide count of lines whose load thread has finished.
void ResetLoadedLineCount();
int32_t LoadedLineCount();

// WaitCpuIdle that ends early when stop is set: up to tries x 10 readings
// kCpuBusyWaitMs apart; at the first quiet reading sleeps ms. False when
// stopped.
bool WaitCpuQuiet(int tries, int ms, const std::atomic<bool>& stop);

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_TEL_LINE_THREADS_H_
