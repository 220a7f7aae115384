// The line drive's passes: loading all lines, reloading, stopping.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/script_cache.h"
#include "frame/cpu_load.h"
#include "frame/line_list.h"
#include "frame/log.h"
#include "platform/clock.h"
#include "platform/host_path.h"
#include "platform/message_service.h"
#include "telephony/tel_drive.h"

namespace telephony {
namespace {

constexpr std::string_view kCaption = "Vantorel System";
constexpr uint32_t kRunEndPauseMs = 200;
constexpr int32_t kDefaultLoadDelayMs = 125;
// A run thread that is slow to end after endRun is asked again this often.
constexpr uint32_t kRunJoinPollMs = 50;
constexpr size_t kMessageMax = 600;

using SteadyClock = std::chrono::steady_clock;

// A line of the configuration file with blanks and tabs removed, the
// "//" comment cut (when it starts at the first '/') and the line end cut.
std::string CleanCfgLine(const char* raw) {
  std::string line;
  for (const char* p = raw; *p != '\0' && *p != '\n'; ++p) {
    if (*p != ' ' && *p != '\t') line += *p;
  }
  const size_t slash = line.find('/');
  if (slash != std::string::npos && slash + 1 < line.size() && line[slash + 1] == '/') {
    line.resize(slash);
  }
  return line;
}

std::string CutLineEnd(std::string text) {
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
  return text;
}

uint32_t MsLeft(SteadyClock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - SteadyClock::now()).count();
  return left > 0 ? static_cast<uint32_t>(left) : 0;
}

}  // namespace

uint32_t TagTelDrive::LoadPauseMs() const {
  const int32_t delay = cfg_ != nullptr ? cfg_->load_delay : kDefaultLoadDelayMs;
  return static_cast<uint32_t>(delay > 0 ? delay / 4 : 0) + kLoadPauseExtraMs;
}

bool TagTelDrive::PauseForLoad() const {
  return platform::GetClock().Sleep(LoadPauseMs(), &flags_->halt);
}

void TagTelDrive::BeginShutdown() {
  shutting_down_.store(true);
  flags_->halt.store(true);
  platform::WakeStopSleepers();
}

int32_t TagTelDrive::RunAllLines(std::string_view cfg_file) {
  std::lock_guard<std::mutex> pass(pass_mu_);
  if (shutting_down_.load()) return kRunShuttingDown;
  frame::WriteRawLog("CloseAllTelLine()...");
  CloseAllLinesLocked();
  frame::WriteRawLog("CloseAllTelLine().");
  engine::ScriptCache().Clear();
  if (line_count_ == 0) {
    platform::ShowMessage("Lines number is 0", kCaption, platform::MessageIcon::kError);
    return kRunNoLines;
  }
  frame::WriteRawLog("Run Start ...");
  frame::LogMsg("Run Start ...");
  FILE* file = platform::OpenHostFile(cfg_file, "rb");
  if (file == nullptr) {
    char text[kMessageMax];
    std::snprintf(text, sizeof text, "Open cfg file error: %.*s",
                  static_cast<int>(cfg_file.size()), cfg_file.data());
    platform::ShowMessage(text, kCaption, platform::MessageIcon::kError);
    return kRunNoFile;
  }
  flags_->started.store(false);
  ResetLoadedLineCount();
  HandOutLines(file, cfg_file);
  std::fclose(file);
  frame::LogMsgF("LOAD_DELAY = %d", cfg_ != nullptr ? cfg_->load_delay : kDefaultLoadDelayMs);
  frame::LogMsg("Run End.");
  frame::WriteRawLog("Run End.");
  platform::GetClock().Sleep(kRunEndPauseMs, &flags_->halt);
  flags_->started.store(true);
  return shutting_down_.load() ? kRunShuttingDown : kRunOk;
}

void TagTelDrive::HandOutLines(FILE* file, std::string_view cfg_file) {
  char raw[frame::kCfgLineMax + 1];
  while (!shutting_down_.load() && std::fgets(raw, sizeof raw, file) != nullptr) {
    std::string line = CleanCfgLine(raw);
    if (line.empty() || line[0] == '\r') continue;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    frame::WriteRawLog(line);
    const std::string list = line.substr(0, eq);
    const std::string script = CutLineEnd(line.substr(eq + 1));
    if (list.empty() || list[0] < '0' || list[0] > '9') continue;
    frame::WriteRawLog(list);
    const std::vector<int32_t> numbers = frame::ParseLineList(list);
    LogNumbersOutside(numbers, cfg_file, line);
    for (size_t i = 0; i < numbers.size() && !shutting_down_.load(); ++i) {
      frame::WriteRawLogF("%d:%d, '%s'", static_cast<int32_t>(numbers.size()),
                          static_cast<int32_t>(i), script.c_str());
      LoadLineLocked(numbers[i], script);
    }
  }
}

// One log line for the numbers of a list that name no line of the table
// (LoadLine refuses each of them).
void TagTelDrive::LogNumbersOutside(const std::vector<int32_t>& numbers,
                                    std::string_view cfg_file, std::string_view cfg_line) const {
  int32_t outside = 0, first = 0;
  for (int32_t n : numbers) {
    if (n >= 0 && n < line_count_) continue;
    if (outside++ == 0) first = n;
  }
  if (outside == 0) return;
  frame::LogAlwaysF("\"%.*s\": %.*s: %d line number(s) not in the line table of %d lines "
                    "(the first %d); not loaded.",
                    static_cast<int>(cfg_file.size()), cfg_file.data(),
                    static_cast<int>(cfg_line.size()), cfg_line.data(), outside, line_count_,
                    first);
}

int32_t TagTelDrive::LoadLine(int32_t line, std::string_view script_file) {
  std::lock_guard<std::mutex> pass(pass_mu_);
  if (shutting_down_.load()) return -1;
  return LoadLineLocked(line, script_file);
}

int32_t TagTelDrive::LoadLineLocked(int32_t line, std::string_view script_file) {
  TagTelLine* record = Line(line);
  if (record == nullptr) return -1;
  if (!record->TryTake()) {
    const auto script = record->Script();
    frame::LogMsgF("%d: the line is loaded already; '%.*s' is not loaded on it.", line,
                   static_cast<int>(script_file.size()), script_file.data());
    return script != nullptr ? script->initResult : 0;
  }
  record->SetScriptFile(script_file);
  if (!StartLineLoad(*record, flags_)) {
    frame::LogAlwaysF("%d: the line's load thread could not be started.", line);
    record->Free();
    return -1;
  }
  PauseForLoad();
  return 0;
}

void TagTelDrive::StartReload() {
  std::lock_guard<std::mutex> lock(reload_mu_);
  if (shutting_down_.load()) return;
  if (reload_thread_.joinable() && !reload_thread_.JoinFor(0)) {
    frame::LogMsg("Reload: a reload is still running.");
    return;
  }
  reload_thread_.Start("reload", platform::kLineThreadStackBytes, [this] { Reload(); });
}

bool TagTelDrive::WaitReload(uint32_t ms) {
  std::lock_guard<std::mutex> lock(reload_mu_);
  if (!reload_thread_.joinable()) return true;
  if (ms == UINT32_MAX) {
    reload_thread_.Join();
    return true;
  }
  return reload_thread_.JoinFor(ms);
}

void TagTelDrive::Reload() {
  std::unique_lock<std::mutex> pass(pass_mu_);
  if (shutting_down_.load()) return;
  if (NeedsRestart()) {
    pass.unlock();
    RunAllLines(kRunCfgFile);
    return;
  }
  engine::ScriptCache().Clear();
  RequestReloads();
}

// Sets the reload request; the script stops the line's wait only when the
// reload is pending at once: a connected call is not cut, and the run loop
// sees the request when the call is no longer connected.
void TagTelDrive::RequestReload(engine::TagTelBasic& script) { script.SetReload(1); }

bool TagTelDrive::NeedsRestart() const {
  for (int32_t i = 0; i < line_count_; ++i) {
    const auto script = lines_[static_cast<size_t>(i)]->Script();
    if (script == nullptr || script->call == nullptr) continue;
    if (script->notRunning.load() != 0 || script->initResult < 0) return true;
  }
  return false;
}

void TagTelDrive::RequestReloads() {
  for (int32_t i = 0; i < line_count_ && !shutting_down_.load(); ++i) {
    const auto script = lines_[static_cast<size_t>(i)]->Script();
    if (script == nullptr || script->call == nullptr) continue;
    RequestReload(*script);
    PauseForLoad();
  }
}

void TagTelDrive::CloseAllTelLine() {
  std::lock_guard<std::mutex> pass(pass_mu_);
  CloseAllLinesLocked();
}

// The whole pass is bounded: the loads and the runs share the wait of
// kCloseWaitMs, then endRun and kEndRunSettleMs, then the lines still
// running share kRunJoinMs, however many they are.
void TagTelDrive::CloseAllLinesLocked() {
  const uint32_t start = platform::GetClock().TickCount();
  flags_->halt.store(true);
  platform::WakeStopSleepers();
  JoinLoadThreads();
  RaiseStop(false);
  frame::WriteRawLog("CloseAllTelLine(): 1");
  WaitRunsEnded(start);
  frame::WriteRawLog("CloseAllTelLine(): 2");
  RaiseStop(true);
  frame::SleepTicks(kEndRunSettleMs);
  frame::WriteRawLog("CloseAllTelLine(): 3");
  JoinRunThreads();
  for (int32_t i = 0; i < line_count_; ++i) {
    TagTelLine& line = *lines_[static_cast<size_t>(i)];
    frame::WriteRawLogF("\tCloseAllTelLine()3: %d", i);
    if (line.abandoned()) continue;
    line.TakeScript();
    line.Free();
  }
  frame::WriteRawLog("CloseAllTelLine(): 4");
  flags_->halt.store(shutting_down_.load());
}

void TagTelDrive::JoinLoadThreads() {
  const auto deadline = SteadyClock::now() + std::chrono::milliseconds(kLoadJoinMs);
  for (int32_t i = 0; i < line_count_; ++i) {
    TagTelLine& line = *lines_[static_cast<size_t>(i)];
    if (!line.loadThread().joinable() || line.loadThread().JoinFor(MsLeft(deadline))) continue;
    frame::LogAlwaysF("%d: the line's load thread did not end; the line is left to it.", i);
    line.SetAbandoned(true);
  }
}

// Asks every line with a script to stop. Asked again while waiting, since
// a run that starts after the request clears it.
void TagTelDrive::RaiseStop(bool end_run) {
  for (int32_t i = 0; i < line_count_; ++i) {
    TagTelLine& line = *lines_[static_cast<size_t>(i)];
    const auto script = line.Script();
    if (script == nullptr || script->call == nullptr) continue;
    if (end_run) {
      script->call->RaiseStop();
      script->RequestEndRun();
    } else {
      script->RequestStop();
    }
  }
}

bool TagTelDrive::AllNotRunning() const {
  for (int32_t i = 0; i < line_count_; ++i) {
    const auto script = lines_[static_cast<size_t>(i)]->Script();
    if (script != nullptr && script->notRunning.load() == 0) return false;
  }
  return true;
}

void TagTelDrive::WaitRunsEnded(uint32_t start) {
  platform::Clock& clock = platform::GetClock();
  while (!AllNotRunning() && clock.TickCount() - start < kCloseWaitMs) {
    clock.Sleep(kCloseCheckMs);
    RaiseStop(false);
  }
}

void TagTelDrive::JoinRunThreads() {
  std::vector<TagTelLine*> running;  // in line order
  for (int32_t i = 0; i < line_count_; ++i) {
    TagTelLine& line = *lines_[static_cast<size_t>(i)];
    if (line.abandoned() && line.loadThread().joinable()) continue;  // its load still runs
    line.SetAbandoned(false);
    if (line.runThread().joinable()) running.push_back(&line);
  }
  // All of them together: each round waits a poll on the first and joins
  // whichever have ended.
  const auto deadline = SteadyClock::now() + std::chrono::milliseconds(kRunJoinMs);
  while (!running.empty() && MsLeft(deadline) > 0) {
    RaiseStop(true);
    uint32_t wait = std::min(kRunJoinPollMs, MsLeft(deadline));
    std::erase_if(running, [&wait](TagTelLine* line) {
      const bool ended = line->runThread().JoinFor(wait);
      wait = 0;
      return ended;
    });
  }
  for (TagTelLine* line : running) {
    frame::LogAlwaysF("%d: the line's run did not end; its script is left to its thread.",
                      line->lineNo());
    line->SetAbandoned(true);
  }
}

}  // namespace telephony
