#include "frame/display_pass.h"

#include <cstdio>

#include "frame/log.h"
#include "platform/clock.h"

namespace frame {
namespace {

constexpr const char* kRunningWord = "运行";
constexpr const char* kBlockedWord = "堵塞";
constexpr const char* kConnectedWord = "连通";
constexpr const char* kQuitTrace = "HasQuitEvent!";
constexpr int kTextMax = 256;

// Marks cells 0-4 changed with the line's current status colours, so that
// readers repaint them after its connected state changed. The texts are
// left alone: rewriting them from a copy could undo a line thread's change
// (keys typed in between would be lost).
void RepaintStatusCells(TagMonitor& monitor, int line) {
  const ColorPair colors = monitor.GetStatusColors(line);
  monitor.SetColors(line, colors.font, colors.background);
}

// Clears timer_busy when the pass ends, by whichever way.
class BusyGuard {
 public:
  explicit BusyGuard(FrameFlags* flags) : flags_(flags) {
    flags_->timer_busy.store(true, std::memory_order_relaxed);
  }
  ~BusyGuard() { flags_->timer_busy.store(false, std::memory_order_relaxed); }
  BusyGuard(const BusyGuard&) = delete;
  BusyGuard& operator=(const BusyGuard&) = delete;

 private:
  FrameFlags* flags_;
};

// A line whose script did not compile. Its status word does not always
// say so ("加载不成功" after a load, "Initialize failed." in English mode
// set no state), so the line's own compile result is asked.
bool ScriptFailed(TagMonitor& monitor, int line) {
  LineInfoSource* source = monitor.Source();
  return source != nullptr && source->HasScript(line) && source->CompileResult(line) != 0;
}

}  // namespace

DisplayOptions DisplayOptionsFrom(const TagRunCfg& cfg) {
  return DisplayOptions{cfg.language == 1, cfg.disp_talk_time != 0, cfg.immediate_log != 0};
}

LineCounts CountLines(const LineDriveFacts* facts) {
  LineCounts n;
  if (facts == nullptr) return n;
  n.connected = facts->CountConnectedLines(&n.external, &n.internal, &n.virtual_lines, &n.ip);
  n.dialing = facts->CountDialingLines(&n.external_dialing, &n.ip_dialing);
  n.reload_pending = facts->CountReloadPending();
  return n;
}

std::string CountText(const LineCounts& n, bool english) {
  const char* format = english ? "Connected:%d.%d: Ex:%d.%d, In:%d, Vir:%d, Ip:%d.%d"
                               : "连通数:%d.%d: 外:%d.%d, 内:%d, 虚:%d, Ip:%d.%d";
  char text[kTextMax];
  std::snprintf(text, sizeof text, format, n.connected, n.dialing, n.external, n.external_dialing,
                n.internal, n.virtual_lines, n.ip, n.ip_dialing);
  std::string out = text;
  if (n.reload_pending > 0) {
    std::snprintf(text, sizeof text, " Waiting Reload Num:%d", n.reload_pending);
    out += text;
  }
  return out;
}

std::string ConnectedText(int32_t talk_seconds, bool talk_time) {
  if (!talk_time) return kConnectedWord;
  char text[kTextMax];
  std::snprintf(text, sizeof text, "%s %d:%02d", kConnectedWord, talk_seconds / 60,
                talk_seconds % 60);
  return text;
}

std::string TrayTip(bool ok, bool english) {
  if (ok) return english ? "Vantorel CTI Server" : "Vantorel语音平台";
  return english ? "Err: Lines Block or Quit!" : "注意: 脚本退出或线路堵塞";
}

DisplayPass::DisplayPass(WindowView* window, FrameFlags* flags, const DisplayOptions& options)
    : window_(window), flags_(flags), options_(options) {}

void DisplayPass::SetEvents(platform::NamedEvent* show, platform::NamedEvent* quit) {
  show_ = show;
  quit_ = quit;
}

void DisplayPass::Run() {
  ShowClock();
  AnswerShowRequest();
  if (Closing() || flags_->timer_busy.load(std::memory_order_relaxed)) return;
  BusyGuard busy(flags_);
  if (TagMonitor* monitor = ProcessMonitor(); monitor != nullptr && !UpdateLines(*monitor)) return;
  if (Closing()) return;
  if (!options_.immediate_log) FlushProcessLog();
  if (Closing()) return;
  ShowCounts();
  AnswerQuitRequest();
}

void DisplayPass::ShowClock() {
  const platform::WallTime now = platform::GetClock().Now();
  char text[kTextMax];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", now.hour, now.minute, now.second);
  window_->SetClockText(text);
}

void DisplayPass::AnswerShowRequest() {
  if (show_ == nullptr || !show_->IsSet()) return;
  show_->Reset();
  window_->ShowFromTray();
}

bool DisplayPass::UpdateLines(TagMonitor& monitor) {
  int32_t problems = 0;
  for (int line = 0; line < monitor.LineCount() && !Closing(); ++line) {
    if (UpdateLine(monitor, line)) ++problems;
  }
  if (problems != last_problems_) {
    const bool ok = problems == 0;
    window_->SetTrayIcon(ok ? kTrayIconOk : kTrayIconProblem, TrayTip(ok, options_.english));
    last_problems_ = problems;
  }
  if (Closing()) return false;
  const int copied = monitor.Refresh();
  if (copied > 0) window_->GridRefreshed(copied);
  return true;
}

bool DisplayPass::UpdateLine(TagMonitor& monitor, int line) {
  const int32_t blocked = facts_ != nullptr ? facts_->GetBlockState(line) : 0;
  const int state = monitor.State(line);
  const bool trunk_first = state == kStateRunning && line % kTrunkChannels == 0;
  if (trunk_first && blocked != monitor.Blocked(line)) {
    monitor.SetBlocked(line, blocked);
    SetLineStatus(line, blocked != 0 ? kBlockedWord : kRunningWord);
  }
  if (blocked == 0) UpdateConnected(monitor, line);
  // A blocked trunk stays a problem for as long as it is blocked.
  if (trunk_first) return monitor.Blocked(line) != 0;
  return state == kStateInitError || state == kStateEnded || ScriptFailed(monitor, line);
}

void DisplayPass::UpdateConnected(TagMonitor& monitor, int line) {
  int32_t seconds = 0;
  int32_t connect_time = 0;
  const bool connected =
      facts_ != nullptr && !Closing() && facts_->GetTalkTime(line, &seconds, &connect_time);
  if (connected != monitor.IsConnected(line)) {
    // Stored first, so that the status cell takes the colours of the new state.
    monitor.SetConnected(line, connected);
    SetLineStatus(line, connected ? ConnectedText(seconds, options_.talk_time) : kRunningWord);
    RepaintStatusCells(monitor, line);
  } else if (connected && options_.talk_time) {
    SetLineStatus(line, ConnectedText(seconds, true));
  }
}

void DisplayPass::ShowCounts() {
  const std::string text = CountText(CountLines(Closing() ? nullptr : facts_), options_.english);
  if (summary_ != nullptr) summary_->SetSummary(text);
  window_->SetCountText(text);
}

void DisplayPass::AnswerQuitRequest() {
  if (Closing() || quit_ == nullptr || !quit_->IsSet()) return;
  quit_->Reset();
  WriteRawLog(kQuitTrace);
  window_->PostQuit();
}

}  // namespace frame
