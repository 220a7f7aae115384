// Fax on the E1 channel through one of the drive's fax resources.
#include <optional>

#include "platform/clock.h"
#include "platform/gbk.h"
#include "platform/host_path.h"
#include "telephony/board/dj_digit_call.h"

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

void TagDjDigitCall::SetFaxLocalId(std::string_view text) {
  faxLocalId = GbkPrefix(text, kFaxLocalIdMax);
}

int32_t TagDjDigitCall::GetFaxResource(int32_t& total, int32_t& busy) {
  return digitDrive->FaxResources(total, busy);
}

int32_t TagDjDigitCall::SendFax(std::string_view file) { return RunFax(file, true); }

int32_t TagDjDigitCall::RecvFax(std::string_view file) { return RunFax(file, false); }

int32_t TagDjDigitCall::RunFax(std::string_view file, bool send) {
  StopPlay();
  platform::GetClock().Sleep(kFaxStartPauseMs);
  faxId = digitDrive->AcquireFax(channel);
  if (faxId < 0) {
    const int32_t failed = faxId;
    faxId = -1;
    return failed;  // -1 none free, -2 could not be attached
  }
  if (send) digitDrive->SetFaxLocalId(faxId, faxLocalId);
  const std::string host = platform::ToHostPath(file).value_or(std::string());
  const int32_t started = host.empty() ? 0
                          : send       ? digitDrive->StartFaxSend(faxId, host)
                                       : digitDrive->StartFaxReceive(faxId, host);
  if (started <= 0) {
    digitDrive->ReleaseFax(faxId, channel);
    faxId = -1;
    return -3;
  }
  int32_t result = WaitFax();
  if (!send && result > 0) result = digitDrive->FaxReceiveResult(faxId);
  digitDrive->ReleaseFax(faxId, channel);
  faxId = -1;
  return result;
}

int32_t TagDjDigitCall::WaitFax() {
  int32_t state = 0;
  while (stopFlag.load() == 0) {
    Pump();
    state = digitDrive->FaxState(faxId);
    if (state == 1 || state < 0) break;
    if (!IsOnline()) {
      TraceLog("IsOnline(): false");
      break;
    }
    platform::GetClock().Sleep(kFaxPollMs);
  }
  return state;
}

}  // namespace telephony
