#include "telephony/board/channel_wait.h"

#include "platform/clock.h"
#include "telephony/board/dj_digit_drive.h"

namespace telephony {

ChannelWait::ChannelWait(TagDjDigitDrive& drive, int32_t type, int32_t number, uint32_t poll_ms)
    : drive_(drive),
      changes_(drive.changes()),
      type_(type),
      number_(number),
      poll_(poll_ms),
      safety_(kSafetyMs) {
  if (changes_ != nullptr) drive_.BeginChannelWait();
}

ChannelWait::~ChannelWait() {
  if (changes_ != nullptr) drive_.EndChannelWait();
}

void ChannelWait::BeforeLook() {
  if (changes_ != nullptr) seen_ = changes_->ChangeCount(type_, number_);
}

void ChannelWait::Pause() {
  if (changes_ == nullptr) {
    poll_.Pause();
    return;
  }
  const uint32_t now = platform::GetClock().TickCount();
  changes_->WaitChange(type_, number_, seen_, safety_.StartFrom(now) - now);
}

}  // namespace telephony
