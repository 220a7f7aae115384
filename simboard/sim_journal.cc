#include "simboard/sim_journal.h"

#include <new>

namespace simboard {

void SimJournal::Add(JournalEntry entry) {
  if (capacity_ == 0) return;
  // Entries are added from destructors of board calls: a journal that finds
  // no memory loses the entry, never the program.
  try {
    entries_.push_back(std::move(entry));
  } catch (const std::bad_alloc&) {
    return;
  }
  while (entries_.size() > capacity_) entries_.pop_front();
}

std::vector<JournalEntry> SimJournal::Entries() const {
  return std::vector<JournalEntry>(entries_.begin(), entries_.end());
}

std::vector<std::string> SimJournal::Ordinals() const {
  std::vector<std::string> out;
  out.reserve(entries_.size());
  for (const JournalEntry& e : entries_) out.push_back(e.Ordinal());
  return out;
}

}  // namespace simboard
