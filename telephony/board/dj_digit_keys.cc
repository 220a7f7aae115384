// Keys of the E1 channel: the board's key FIFO and DTMF sending.
#include "platform/clock.h"
#include "telephony/board/dj_digit_call.h"

namespace telephony {
namespace {

constexpr uint32_t kDtmfPollMs = 100;

}  // namespace

int32_t TagDjDigitCall::BoardKey() { return board().ChannelKey(channel); }

void TagDjDigitCall::BoardClearKeys() { board().ClearChannelKeys(channel); }

int32_t TagDjDigitCall::SetKeys(std::string_view digits) {
  {
    std::lock_guard<board::BoardLock> hold(boardLock());
    board().SendDtmf(channel, digits);
  }
  while (stopFlag.load() == 0 && IsOnline()) {
    int32_t sent;
    {
      std::lock_guard<board::BoardLock> hold(boardLock());
      sent = board().IsDtmfSent(channel);
    }
    if (sent != 0) break;
    platform::GetClock().Sleep(kDtmfPollMs);
  }
  return 0;
}

}  // namespace telephony
