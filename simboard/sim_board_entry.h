// SimBoard::Entry: the frame of every call the system makes into the
// simulated board. It takes the board's lock, checks the calling rules in
// strict mode, and at the end writes the call with its result into the
// journal (when the board keeps one), releases the lock and writes the last
// bytes of the recordings the call stopped. Private to the board's sources.
#ifndef VTTEL_SIMBOARD_SIM_BOARD_ENTRY_H_
#define VTTEL_SIMBOARD_SIM_BOARD_ENTRY_H_

#include <string>
#include <string_view>
#include <type_traits>

#include "simboard/sim_board.h"

namespace simboard {

inline constexpr const char* kLibE1 = "e1";
inline constexpr const char* kLibTup = "tup";
inline constexpr const char* kLibFsk = "fsk";

// The arguments of a call as journal text: numbers as they are, texts
// quoted: 3, "a.vox", 0, -1
template <typename... A>
std::string Args(const A&... args) {
  std::string out;
  [[maybe_unused]] auto one = [&out](const auto& a) {
    if (!out.empty()) out += ", ";
    using T = std::decay_t<decltype(a)>;
    if constexpr (std::is_integral_v<T>) {
      out += std::to_string(static_cast<int64_t>(a));
    } else {
      out += '"';
      out += std::string_view(a);
      out += '"';
    }
  };
  (one(args), ...);
  return out;
}

class SimBoard::Entry {
 public:
  // The call `role` (entry `ordinal` of `library`) with its arguments. The
  // journal record is built only when the board keeps a journal, so a call
  // costs no formatting when the journal is off.
  template <typename... A>
  Entry(SimBoard& board, const char* library, int32_t ordinal, const char* role,
        const A&... args)
      : board_(board),
        hold_(board.mutex_),
        library_(library),
        ordinal_(ordinal),
        role_(role),
        journaled_(board.journal_.Keeps()) {
    if (journaled_) entry_.args = Args(args...);
    if (board_.strict_) Check();
  }
  ~Entry();
  Entry(const Entry&) = delete;
  Entry& operator=(const Entry&) = delete;

  // Notes the result for the journal and returns it.
  template <typename T>
  T Done(T result) {
    if (journaled_) entry_.result = std::to_string(static_cast<int64_t>(result));
    return result;
  }

 private:
  bool IsClosingEntry() const;
  void Check();

  SimBoard& board_;
  std::unique_lock<OwnedMutex> hold_;
  const char* library_;
  int32_t ordinal_;
  const char* role_;
  const bool journaled_;  // the journal keeps entries: entry_ is filled
  JournalEntry entry_;    // args and result; the rest is filled at the end
};

}  // namespace simboard

#endif  // VTTEL_SIMBOARD_SIM_BOARD_ENTRY_H_
