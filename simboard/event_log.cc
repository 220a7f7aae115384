#include "simboard/event_log.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>

namespace simboard {

std::string Event::Line() const {
  std::string line = "EV " + std::to_string(seq) + " " + type + " " + addr;
  if (!args.empty()) {
    line += ' ';
    line += args;
  }
  return line;
}

EventLog::EventLog() : wake_fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

EventLog::~EventLog() {
  if (wake_fd_ >= 0) close(wake_fd_);
}

uint64_t EventLog::Post(std::string_view type, std::string_view addr, std::string_view args) {
  uint64_t seq;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    seq = ++last_seq_;
    events_.push_back(Event{seq, std::string(type), std::string(addr), std::string(args)});
    if (events_.size() > kHistory) events_.pop_front();
  }
  if (wake_fd_ >= 0) {
    uint64_t one = 1;
    ssize_t written = write(wake_fd_, &one, sizeof one);
    (void)written;  // a full counter still leaves the descriptor readable
  }
  return seq;
}

uint64_t EventLog::LastSeq() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return last_seq_;
}

std::vector<Event> EventLog::Since(uint64_t after) const {
  std::lock_guard<std::mutex> hold(mutex_);
  auto first = std::upper_bound(events_.begin(), events_.end(), after,
                                [](uint64_t seq, const Event& e) { return seq < e.seq; });
  return std::vector<Event>(first, events_.end());
}

void EventLog::DrainWake() const {
  uint64_t count;
  while (wake_fd_ >= 0 && read(wake_fd_, &count, sizeof count) > 0) {
  }
}

}  // namespace simboard
