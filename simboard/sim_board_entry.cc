#include "simboard/sim_board_entry.h"

#include <cstring>

namespace simboard {

SimBoard::Entry::Entry(SimBoard& board, const char* library, int32_t ordinal, const char* role,
                       std::string args)
    : board_(board), hold_(board.mutex_) {
  entry_.ordinal = ordinal;
  entry_.library = library;
  entry_.role = role;
  entry_.args = std::move(args);
  entry_.result.assign(1, '-');
  entry_.thread = std::this_thread::get_id();
  if (board_.strict_) Check();
}

SimBoard::Entry::~Entry() { board_.journal_.Add(std::move(entry_)); }

// The calls the drive's destructor makes, without the board lock, while
// the board closes.
bool SimBoard::Entry::IsClosingEntry() const {
  const std::string& lib = entry_.library;
  int32_t n = entry_.ordinal;
  if (lib == kLibTup) return n == 10;
  if (lib == kLibFsk) return n == 7;
  return n == 173 || n == 365 || n == 289 || n == 2;
}

void SimBoard::Entry::Check() {
  // Opening the board, and opening the signalling, which the drive does
  // whatever the board's opening gave.
  bool is_open_entry = (entry_.library == kLibE1 && entry_.ordinal == 1) ||
                       (entry_.library == kLibTup && entry_.ordinal == 9);
  if (is_open_entry || IsClosingEntry()) return;
  std::string call = entry_.Ordinal() + " " + entry_.role;
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
