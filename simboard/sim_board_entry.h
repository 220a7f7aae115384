// SimBoard::Entry: the frame of every call the system makes into the
// simulated board. It takes the board's lock, checks the calling rules in
// strict mode, and at the end writes the call with its result into the
// journal. Private to the board's sources.
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
  auto one = [&out](const auto& a) {
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
  Entry(SimBoard& board, const char* library, int32_t ordinal, const char* role,
        std::string args);
  ~Entry();
  Entry(const Entry&) = delete;
  Entry& operator=(const Entry&) = delete;

  // Notes the result for the journal and returns it.
  template <typename T>
  T Done(T result) {
    entry_.result = std::to_string(static_cast<int64_t>(result));
    return result;
  }

 private:
  bool IsClosingEntry() const;
  void Check();

  SimBoard& board_;
  std::unique_lock<std::mutex> hold_;
  JournalEntry entry_;
};

}  // namespace simboard

#endif  // VTTEL_SIMBOARD_SIM_BOARD_ENTRY_H_
