// EventLog: the numbered lines that the simulated board writes for what its
// lines did ("EV <seq> <type> <addr> <args>"), kept for the control
// connections: a WAIT looks through the events since its connection opened,
// an EVENTS connection receives each line as it happens.
//
// Sequence numbers start at 1 and grow by one per event. The log keeps the
// newest kHistory events; older ones are dropped.
//
// Thread-safe. Post is called by the board under its own lock and takes only
// the log's lock; it never blocks on a reader.
#ifndef VTTEL_SIMBOARD_EVENT_LOG_H_
#define VTTEL_SIMBOARD_EVENT_LOG_H_

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace simboard {

struct Event {
  uint64_t seq = 0;
  std::string type;  // "CHARGE", "PLAY", ...
  std::string addr;  // "E3", "A0"
  std::string args;  // the rest of the line, may be empty
  // "EV <seq> <type> <addr>[ <args>]"
  std::string Line() const;
};

class EventLog {
 public:
  static constexpr size_t kHistory = 65536;

  // Opens the wake descriptor (an eventfd, readable after every Post).
  EventLog();
  ~EventLog();
  EventLog(const EventLog&) = delete;
  EventLog& operator=(const EventLog&) = delete;

  // Appends an event with the next sequence number and returns that number.
  uint64_t Post(std::string_view type, std::string_view addr, std::string_view args);
  // The sequence number of the newest event, 0 before the first.
  uint64_t LastSeq() const;
  // The kept events with seq > after, oldest first.
  std::vector<Event> Since(uint64_t after) const;
  // Readable (poll) after every Post; a reader drains it with DrainWake.
  int WakeFd() const { return wake_fd_; }
  void DrainWake() const;

 private:
  mutable std::mutex mutex_;
  std::deque<Event> events_;  // guarded by mutex_
  uint64_t last_seq_ = 0;     // guarded by mutex_
  int wake_fd_ = -1;
};

}  // namespace simboard

#endif  // VTTEL_SIMBOARD_EVENT_LOG_H_
