#include "simboard/sim_journal.h"

namespace simboard {

void SimJournal::Add(JournalEntry entry) {
  if (capacity_ == 0) return;
  entries_.push_back(std::move(entry));
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
