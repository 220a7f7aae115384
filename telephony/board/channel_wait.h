// ChannelWait: the pauses of an idle line's loop that looks at its board
// channel (an E1 line waiting for a call). On a board that offers the wait
// for a channel's changes (board::ChannelChanges) the line sleeps until its
// channel changes, until its stop (which nudges the channel) or until a
// safety instant, and its board's pump timer pumps the board meanwhile;
// the safety instants are common to all lines (whole multiples of
// kSafetyMs), so lines that hear nothing wake together. On a board without
// it the line polls on its PollSchedule.
//
// The loop: BeforeLook, test the stop flag, look at the channel, Pause.
// A change that comes after BeforeLook ends the next Pause at once, so no
// change is missed between the look and the sleep.
//
// One object per waiting loop, on the line's thread only. The drive must
// outlive it.
#ifndef VTTEL_TELEPHONY_BOARD_CHANNEL_WAIT_H_
#define VTTEL_TELEPHONY_BOARD_CHANNEL_WAIT_H_

#include <cstdint>

#include "board/binding.h"
#include "platform/change_bell.h"
#include "telephony/poll_schedule.h"

namespace telephony {

class TagDjDigitDrive;

// A board channel's change count (board::ChannelChanges) as a change
// source, so that a line's waits on it go through the installed clock.
// changes must outlive it.
class ChannelChangeSource : public platform::ChangeSource {
 public:
  ChannelChangeSource(board::ChannelChanges& changes, int32_t type, int32_t number)
      : changes_(&changes), type_(type), number_(number) {}
  uint32_t Count() const override { return changes_->ChangeCount(type_, number_); }
  void WaitFor(uint32_t seen, uint32_t ms) override {
    changes_->WaitChange(type_, number_, seen, ms);
  }

 private:
  board::ChannelChanges* const changes_;
  const int32_t type_;
  const int32_t number_;
};

class ChannelWait {
 public:
  // Longest sleep without a change before the line looks anyway.
  static constexpr uint32_t kSafetyMs = 5000;

  // The channel (type, number) as binding.h addresses it; poll_ms is the
  // pause of the poll that a board without the wait keeps.
  ChannelWait(TagDjDigitDrive& drive, int32_t type, int32_t number, uint32_t poll_ms);
  ~ChannelWait();
  ChannelWait(const ChannelWait&) = delete;
  ChannelWait& operator=(const ChannelWait&) = delete;

  // Notes the channel's change count; call before each look.
  void BeforeLook();
  // Sleeps until the next look.
  void Pause();

  // True when the line sleeps until a change (the board has the wait).
  bool WaitsForChanges() const { return changes_ != nullptr; }

 private:
  TagDjDigitDrive& drive_;
  board::ChannelChanges* const changes_;
  const int32_t type_;
  const int32_t number_;
  uint32_t seen_ = 0;
  PollSchedule poll_;
  PollSchedule safety_;
};

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_BOARD_CHANNEL_WAIT_H_
