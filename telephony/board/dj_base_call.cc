#include "telephony/board/dj_base_call.h"

#include <cstdio>
#include <string>

#include "frame/log.h"
#include "platform/clock.h"
#include "platform/gbk.h"
#include "platform/host_path.h"
#include "telephony/board/channel_wait.h"

namespace telephony {
namespace {

constexpr uint32_t kFaxStartPauseMs = 100;
constexpr uint32_t kFaxPollMs = 120;

// The first max_bytes bytes of a GBK text, never half a character.
std::string GbkPrefix(std::string_view text, size_t max_bytes) {
  size_t end = 0;
  while (end < text.size()) {
    size_t next = end + platform::GbkCharLength(text, end);
    if (next > max_bytes) break;
    end = next;
  }
  return std::string(text.substr(0, end));
}

}  // namespace

TagDjBaseCall::TagDjBaseCall(int32_t line_no, TagDjDigitDrive* drive_of_line,
                             const BoardLinePacing& pacing)
    : digitDrive(drive_of_line),
      confLine_(std::make_unique<TagConfLine>(drive_of_line, line_no, this)),
      pacing_(pacing) {
  lineNo = line_no;
  drive = drive_of_line;
}

TagDjBaseCall::~TagDjBaseCall() {
  stopFlag.store(1, std::memory_order_relaxed);
  if (digitDrive != nullptr && digitDrive->calls.at(lineNo) == this) {
    digitDrive->calls[lineNo] = nullptr;
  }
  confLine_.reset();
}

void TagDjBaseCall::ErrorLog(std::string_view text) {
  std::string line = "lcnt=" + std::to_string(lineNo) + ", ";
  line.append(text);
  frame::LogAlways(line);
}

// --- The change wait. ---

uint32_t TagDjBaseCall::ChangeCount() {
  board::ChannelChanges* changes = digitDrive->changes();
  if (changes == nullptr) return TagVtCall::ChangeCount();
  return changes->ChangeCount(digitDrive->MemberType(lineNo), digitDrive->MemberNumber(lineNo));
}

void TagDjBaseCall::WaitChange(uint32_t seen, uint32_t timeout_ms) {
  board::ChannelChanges* changes = digitDrive->changes();
  if (changes == nullptr) {
    TagVtCall::WaitChange(seen, timeout_ms);
    return;
  }
  ChannelChangeSource channel(*changes, digitDrive->MemberType(lineNo),
                              digitDrive->MemberNumber(lineNo));
  digitDrive->BeginChannelWait();
  platform::GetClock().WaitChange(channel, seen, timeout_ms);
  digitDrive->EndChannelWait();
}

uint8_t TagDjBaseCall::ToldChanges() {
  if (digitDrive->changes() == nullptr || !WatchdogIdle()) return 0;
  std::lock_guard<std::recursive_mutex> media(mediaLock_);
  return loopPlaying != 0 ? 0 : engine::kToldOnline;
}

void TagDjBaseCall::WakeStopWait() {
  if (board::ChannelChanges* changes = digitDrive->changes()) {
    changes->Nudge(digitDrive->MemberType(lineNo), digitDrive->MemberNumber(lineNo));
  }
}

bool TagDjBaseCall::IsPlayingOrRecording() {
  std::lock_guard<std::recursive_mutex> media(mediaLock_);
  return playing != 0 || recording != 0;
}

// --- Fax. ---

void TagDjBaseCall::SetFaxLocalId(std::string_view text) {
  faxLocalId = GbkPrefix(text, kFaxLocalIdMax);
}

int32_t TagDjBaseCall::GetFaxResource(int32_t& total, int32_t& busy) {
  return digitDrive->FaxResources(total, busy);
}

int32_t TagDjBaseCall::SendFax(std::string_view file) { return RunFax(file, true); }

int32_t TagDjBaseCall::RecvFax(std::string_view file) { return RunFax(file, false); }

int32_t TagDjBaseCall::RunFax(std::string_view file, bool send) {
  StopPlay();
  platform::GetClock().Sleep(kFaxStartPauseMs);
  faxId = digitDrive->AcquireFax(lineNo);
  if (faxId < 0) {
    const int32_t failed = faxId;
    faxId = -1;
    return failed;  // -1 none free, -2 could not be attached (left free)
  }
  if (send) digitDrive->SetFaxLocalId(faxId, faxLocalId);
  const std::string host = platform::ToHostPath(file).value_or(std::string());
  const int32_t started = host.empty() ? 0
                          : send       ? digitDrive->StartFaxSend(faxId, host)
                                       : digitDrive->StartFaxReceive(faxId, host);
  if (started <= 0) {
    digitDrive->ReleaseFax(faxId, lineNo);
    faxId = -1;
    return -3;
  }
  int32_t result = WaitFax();
  if (!send && result > 0) result = digitDrive->FaxReceiveResult(faxId);
  digitDrive->ReleaseFax(faxId, lineNo);
  faxId = -1;
  return result;
}

int32_t TagDjBaseCall::WaitFax() {
  int32_t state = 0;
  while (stopFlag.load() == 0) {
    PollBoard();
    state = digitDrive->FaxState(faxId);
    if (state == 1 || state < 0) break;
    if (pacing_.faxWatchesOnline && !IsOnline()) {
      TraceLog("IsOnline(): false");
      break;
    }
    platform::GetClock().Sleep(kFaxPollMs);
  }
  return state;
}

// --- Links. ---

void TagDjBaseCall::LinkTrace(const char* what, int32_t line, int32_t mode) {
  char text[96];
  snprintf(text, sizeof text, "[%d] : %s(%d, %d)", LinkTraceId(), what, line, mode);
  TraceLog(text);
}

void TagDjBaseCall::StopLinkedLineMedia(int32_t line, uint32_t pause_ms, bool only_when_busy) {
  // The other line's play or recording is stopped from this thread; its
  // media lock keeps that from racing with the other line's own thread.
  TagDjBaseCall* other = digitDrive->calls.at(line);
  const bool stop =
      other != nullptr && other != this && (!only_when_busy || other->IsPlayingOrRecording());
  if (stop) other->StopPlay();
  if (stop || !only_when_busy) platform::GetClock().Sleep(pause_ms);
}

int32_t TagDjBaseCall::UnlinkAll() {
  char text[48];
  snprintf(text, sizeof text, "[%d] : UnlinkAll()", LinkTraceId());
  TraceLog(text);
  confLine().UnlinkAll();
  return 0;
}

int32_t TagDjBaseCall::GetLinkList(std::vector<int32_t>& lines,
                                   std::vector<int32_t>& listen_only,
                                   std::vector<int32_t>& values) {
  return confLine().GetLinkList(lines, listen_only, values);
}

}  // namespace telephony
