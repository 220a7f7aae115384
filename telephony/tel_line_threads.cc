#include "telephony/tel_line_threads.h"

#include <exception>
#include <string>
#include <utility>

#include "frame/cpu_load.h"
#include "frame/log.h"
#include "frame/monitor.h"
#include "platform/clock.h"
#include "platform/message_service.h"

namespace telephony {
namespace {

constexpr int32_t kRunModeLine = 1;

std::atomic<int32_t> g_loaded_lines{0};

bool Sleep(uint32_t ms, const LineRunFlags& flags) {
  return platform::GetClock().Sleep(ms, &flags.halt) && !flags.halt.load();
}

// A new main script of the line from its script file, run mode 1, with the
// line as its reload target.
std::shared_ptr<engine::TagTelBasic> CompileFor(TagTelLine& line) {
  auto script = std::make_shared<engine::TagTelBasic>(line.ScriptFile(), line.lineNo(),
                                                      &line.call(), kRunModeLine, nullptr);
  script->reloadTarget.store(&line);
  return script;
}

void ReportCompileFailure(const TagTelLine& line, const engine::TagTelBasic& script) {
  if (script.initResult != 0) frame::SetLineStatus(line.lineNo(), kLoadFailedStatus);
}

// Waits for the loading pass to end; false when the lines are stopping.
bool WaitStarted(const LineRunFlags& flags) {
  while (!flags.started.load()) {
    if (!Sleep(kStartedPollMs, flags)) return false;
  }
  return !flags.halt.load();
}

void RunLoop(TagTelLine& line, std::shared_ptr<LineRunFlags> flags,
             std::shared_ptr<engine::TagTelBasic> script) {
  const int32_t n = line.lineNo();
  for (;;) {
    frame::WriteRawLogF("pBasic->initRet=%d", script->initResult);
    if (script->initResult != 0) return;
    if (!WaitStarted(*flags)) return;
    if (!Sleep(static_cast<uint32_t>(n % 10) * kRunStaggerMs, *flags)) return;
    if (!WaitCpuQuiet(kRunGateTries, kRunGateMs, flags->halt)) return;
    script->Run();
    if (script->reloadRequest.load() == 0 || script->reloadTarget.load() == nullptr) {
      if (script->runError.empty() || script->IsQuit()) return;
      // A fault ended the run (logged by the run): the call in progress is
      // given up and the line runs its script again, ready for the next.
      if (line.call().callState.load() == engine::kCallConnected) line.call().Hangup();
      if (!Sleep(kFaultRestartPauseMs, *flags)) return;
      continue;
    }
    if (!Sleep(kReloadPauseMs, *flags)) return;
    if (!WaitCpuQuiet(kRunGateTries, kRunGateMs, flags->halt)) return;
    // The old script goes when its last reader lets go of it.
    line.TakeScript();
    script.reset();
    script = CompileFor(line);
    line.SetScript(script);
    ReportCompileFailure(line, *script);
    frame::WriteRawLogF("LineRunThread: %d.", n);
  }
}

// The count of loaded lines; no progress print (the standard streams are
// the operator's).
void CountLoaded() { ++g_loaded_lines; }

// Compiles and attaches the script; false when the thread must end at once.
bool LoadScript(TagTelLine& line, const std::shared_ptr<LineRunFlags>& flags) {
  const int32_t n = line.lineNo();
  const std::string file = line.ScriptFile();
  try {
    auto script = CompileFor(line);
    line.SetScript(script);
    frame::WriteRawLogF("%d: new TagTelBasic(%s) OK. ret=%d", n, file.c_str(),
                        script->initResult);
    frame::LogMsgF("%d: new TagTelBasic(%s) OK. ret=%d", n, file.c_str(), script->initResult);
    ReportCompileFailure(line, *script);
    if (script->initResult == 0 && !flags->halt.load()) {
      // The run thread holds the script only in RunLoop, which lets go of it
      // at a reload.
      line.runThread().Start("line run " + std::to_string(n), platform::kLineThreadStackBytes,
                             [&line, flags, script]() mutable {
                               RunLoop(line, flags, std::move(script));
                             });
    }
  } catch (const std::exception& e) {
    platform::ShowMessage(e.what(), "加载脚本错误...", platform::MessageIcon::kError);
    frame::LogAlways(e.what());
    return false;
  } catch (...) {
    platform::ShowMessage("TagTelDrive::LineLoadThread()", "Error",
                          platform::MessageIcon::kError);
  }
  return true;
}

void LoadLoop(TagTelLine& line, std::shared_ptr<LineRunFlags> flags) {
  const int32_t n = line.lineNo();
  frame::SetLineScript(n, line.ScriptFile());
  frame::SetLineStatus(n, kLoadingStatus);
  frame::LogMsgF("%d Loading...", n);
  frame::WriteRawLogF("%d Loading...", n);
  if (n != 0 && !WaitCpuQuiet(kCompileGateTries, kCompileGateMs, flags->halt)) return;
  if (flags->halt.load()) return;
  if (!LoadScript(line, flags)) return;
  CountLoaded();
  frame::WriteRawLogF("%d Loaded.", n);
}

}  // namespace

bool StartLineLoad(TagTelLine& line, std::shared_ptr<LineRunFlags> flags) {
  return line.loadThread().Start("line load " + std::to_string(line.lineNo()),
                                 platform::kLineThreadStackBytes,
                                 [&line, flags] { LoadLoop(line, flags); });
}

void ResetLoadedLineCount() { g_loaded_lines.store(0); }
int32_t LoadedLineCount() { return g_loaded_lines.load(); }

bool WaitCpuQuiet(int tries, int ms, const std::atomic<bool>& stop) {
  for (int reading = 0; reading < tries * 10; ++reading) {
    if (stop.load()) return false;
    if (frame::CpuMeter().GetPercentage() < frame::kCpuIdlePercent) {
      return ms <= 0 || platform::GetClock().Sleep(static_cast<uint32_t>(ms), &stop);
    }
    if (!platform::GetClock().Sleep(frame::kCpuBusyWaitMs, &stop)) return false;
  }
  return !stop.load();
}

}  // namespace telephony
