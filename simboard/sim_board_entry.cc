#include "simboard/sim_board_entry.h"

#include <cstring>

namespace simboard {

SimBoard::Entry::~Entry() {
  if (journaled_) {
    entry_.ordinal = ordinal_;
    entry_.library = library_;
    entry_.role = role_;
    if (entry_.result.empty()) entry_.result.assign(1, '-');
    entry_.thread = std::this_thread::get_id();
    board_.journal_.Add(std::move(entry_));
  }
  if (board_.stopped_records_.empty()) return;
  std::vector<StoppedRecord> stopped;
  stopped.swap(board_.stopped_records_);
  hold_.unlock();
  board_.FinishStoppedRecords(std::move(stopped));
}

// The calls the drive's destructor makes, without the board lock, while
// the board closes.
bool SimBoard::Entry::IsClosingEntry() const {
  int32_t n = ordinal_;
  if (std::strcmp(library_, kLibTup) == 0) return n == 10;
  if (std::strcmp(library_, kLibFsk) == 0) return n == 7;
  return n == 173 || n == 365 || n == 289 || n == 2;
}

void SimBoard::Entry::Check() {
  // Opening the board, and opening the signalling, which the drive does
  // whatever the board's opening gave.
  bool is_open_entry = (std::strcmp(library_, kLibE1) == 0 && ordinal_ == 1) ||
                       (std::strcmp(library_, kLibTup) == 0 && ordinal_ == 9);
  if (is_open_entry || IsClosingEntry()) return;
  std::string call = std::string(library_) + ":" + std::to_string(ordinal_) + " " + role_;
  Phase phase = board_.phase_;
  if (phase == Phase::kNotOpen) {
    board_.Violation(call + " called before the board was opened");
  } else if (phase == Phase::kClosed) {
    board_.Violation(call + " called after the board was closed");
  } else if (phase == Phase::kOpen && board_.watched_ != nullptr &&
             !board_.watched_->HeldByCurrentThread()) {
    board_.Violation(call + " called without the board lock");
  }
}

}  // namespace simboard
