// The display timer's pass: the heartbeat of the frame. Every DISP_DELAY ms
// the window thread runs one pass, which in this order
//   1. shows the clock;
//   2. answers "VtTel Show" (shows the window);
//   3. stops here while the frame is closing or a pass is running;
//   4. brings the lines' blocked and connected states into the monitor
//      table, sets the tray state from the problem count and copies the
//      changed cells into the grid;
//   5. flushes the log (when it is not written immediately);
//   6-7. counts the connected and dialing lines and puts the count text
//      into the window and the monitor server's summary;
//   8. answers "VtTel Quit" (posts the quit message);
//   9. ends (timer_busy cleared on every way out of the pass).
// The monitor table is the process-wide one (ProcessMonitor()).
//
// Ownership: the window, the flags, the facts, the summary target and the
// events are the caller's and must outlive the pass or be removed from it
// first. Thread rules: Run and the setters on the window thread only; the
// pass never waits for a line (the facts must not block, see
// line_facts.h), only up to platform::kEventByteWaitMs on each event.
#ifndef VTTEL_FRAME_DISPLAY_PASS_H_
#define VTTEL_FRAME_DISPLAY_PASS_H_

#include <atomic>
#include <cstdint>
#include <string>

#include "frame/line_facts.h"
#include "frame/monitor.h"
#include "frame/run_cfg.h"
#include "frame/window_view.h"
#include "platform/named_event.h"

namespace frame {

// The frame's flags. closing: the frame is inactive (set at start, cleared
// when the lines are handed out, set again when the shutdown begins).
// timer_busy: a display pass is running (the shutdown waits for it).
struct FrameFlags {
  std::atomic<bool> closing{true};
  std::atomic<bool> timer_busy{false};
};

// The first channel of every E1 trunk is the line whose blocked state shows.
inline constexpr int kTrunkChannels = 30;

// The run configuration the pass follows (copied once, at start-up).
struct DisplayOptions {
  bool english = false;        // LANGUAGE_TYPE 1
  bool talk_time = false;      // IS_DISP_TALKTIME
  bool immediate_log = true;   // IS_IMMEDIATE_LOG
};
DisplayOptions DisplayOptionsFrom(const TagRunCfg& cfg);

// Line counts for the count text.
struct LineCounts {
  int32_t connected = 0, dialing = 0;
  int32_t external = 0, external_dialing = 0;
  int32_t internal = 0, virtual_lines = 0;
  int32_t ip = 0, ip_dialing = 0;
  int32_t reload_pending = 0;
};
// The drive's counts (all 0 without facts).
LineCounts CountLines(const LineDriveFacts* facts);
// "Connected:..." / "连通数:..." with " Waiting Reload Num:%d" when reloads
// are pending.
std::string CountText(const LineCounts& counts, bool english);
// The status word of a connected line: "连通" or "连通 m:ss".
std::string ConnectedText(int32_t talk_seconds, bool talk_time);
// The tray tip for the state.
std::string TrayTip(bool ok, bool english);

class DisplayPass {
 public:
  DisplayPass(WindowView* window, FrameFlags* flags, const DisplayOptions& options);
  DisplayPass(const DisplayPass&) = delete;
  DisplayPass& operator=(const DisplayPass&) = delete;

  // nullptr: no line drive (not built, failed or deleted).
  void SetLineFacts(const LineDriveFacts* facts) { facts_ = facts; }
  void SetSummaryTarget(SummaryTarget* summary) { summary_ = summary; }
  // The events "VtTel Show" and "VtTel Quit" this process owns (nullptr:
  // not created).
  void SetEvents(platform::NamedEvent* show, platform::NamedEvent* quit);

  // One pass as described above.
  void Run();

 private:
  bool Closing() const { return flags_->closing.load(std::memory_order_relaxed); }
  void ShowClock();
  void AnswerShowRequest();
  // Step 4; false when the frame began closing during it.
  bool UpdateLines(TagMonitor& monitor);
  // One line's blocked and connected state; true when it has a problem.
  bool UpdateLine(TagMonitor& monitor, int line);
  void UpdateConnected(TagMonitor& monitor, int line);
  void ShowCounts();
  void AnswerQuitRequest();

  WindowView* window_;
  FrameFlags* flags_;
  const DisplayOptions options_;
  const LineDriveFacts* facts_ = nullptr;
  SummaryTarget* summary_ = nullptr;
  platform::NamedEvent* show_ = nullptr;
  platform::NamedEvent* quit_ = nullptr;
  int32_t last_problems_ = 0;
};

}  // namespace frame

#endif  // VTTEL_FRAME_DISPLAY_PASS_H_
