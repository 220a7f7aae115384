// SimJournal: the record of every call the system made into the simulated
// board: entry ordinal, library, role, arguments, result and thread. It
// keeps the newest `capacity` entries (0 keeps none).
//
// Not thread-safe: the board guards it with its own lock.
#ifndef VTTEL_SIMBOARD_SIM_JOURNAL_H_
#define VTTEL_SIMBOARD_SIM_JOURNAL_H_

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <thread>
#include <vector>

namespace simboard {

struct JournalEntry {
  int32_t ordinal = 0;
  std::string library;  // "e1", "tup", "fsk"
  std::string role;     // "ChannelPlay", ...
  std::string args;     // "3, \"a.vox\", 0, -1"
  std::string result;   // "0"; "-" for an entry without a result
  std::thread::id thread;
  // "e1:249"
  std::string Ordinal() const { return library + ":" + std::to_string(ordinal); }
};

class SimJournal {
 public:
  explicit SimJournal(size_t capacity) : capacity_(capacity) {}

  // False for a journal of capacity 0: callers need not build entries.
  bool Keeps() const { return capacity_ > 0; }
  void Add(JournalEntry entry);
  void Clear() { entries_.clear(); }
  std::vector<JournalEntry> Entries() const;
  // "library:ordinal" of every kept entry, oldest first.
  std::vector<std::string> Ordinals() const;

 private:
  size_t capacity_;
  std::deque<JournalEntry> entries_;
};

}  // namespace simboard

#endif  // VTTEL_SIMBOARD_SIM_JOURNAL_H_
