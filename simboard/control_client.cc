#include "simboard/control_client.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "simboard/control_request.h"

namespace simboard {
namespace {

// Pause between attempts to reach a socket that is not there yet.
constexpr int kConnectRetryMs = 10;
constexpr size_t kReadChunkBytes = 4096;

using Clock = std::chrono::steady_clock;

Clock::time_point After(int ms) { return Clock::now() + std::chrono::milliseconds(ms); }

// Whole milliseconds until the deadline, rounded up so that a wait never
// ends before it.
int LeftMs(Clock::time_point deadline) {
  auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

// One attempt; the connected descriptor or -1.
int TryConnect(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return -1;
  std::memcpy(address.sun_path, path.data(), path.size());
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return -1;
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

bool IsEvent(std::string_view line) { return line.starts_with(kEventPrefix); }

std::string Words(std::initializer_list<std::string_view> words) {
  std::string line;
  for (std::string_view w : words) {
    if (!line.empty()) line += ' ';
    line.append(w);
  }
  return line;
}

}  // namespace

ControlClient::~ControlClient() { Close(); }

bool ControlClient::Connect(const std::string& path, int timeout_ms) {
  Close();
  const Clock::time_point deadline = After(timeout_ms);
  for (;;) {
    fd_ = TryConnect(path);
    // The board counts a connection's events from when it took the
    // connection in, not from connect(): a first request answered means it
    // has, so no event of the test's own doing is missed.
    if (fd_ >= 0) return Request("PING", std::max(LeftMs(deadline), 1)) == "OK";
    if (Clock::now() >= deadline) return false;
    poll(nullptr, 0, std::min(kConnectRetryMs, LeftMs(deadline)));
  }
}

void ControlClient::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  received_.clear();
}

std::string ControlClient::Request(std::string_view line, int timeout_ms) {
  if (fd_ < 0) return Fail("not connected");
  const Clock::time_point deadline = After(timeout_ms);
  std::string why;
  std::string message(line);
  message += '\n';
  if (!WriteAll(message, deadline, why)) return Fail(why);
  std::string reply;
  for (;;) {
    if (!ReadLine(deadline, reply, why)) return Fail(why);
    if (!IsEvent(reply)) return reply;
    events_.push_back(std::move(reply));
  }
}

std::string ControlClient::Call(std::string_view addr, std::string_view calling,
                                std::string_view called) {
  return Request(Words({"CALL", addr, calling, called}));
}
std::string ControlClient::Hangup(std::string_view addr) {
  return Request(Words({"HANGUP", addr}));
}
std::string ControlClient::Answer(std::string_view addr) {
  return Request(Words({"ANSWER", addr}));
}
std::string ControlClient::Reject(std::string_view addr, int32_t progress) {
  return Request(Words({"REJECT", addr, std::to_string(progress)}));
}
std::string ControlClient::Block(std::string_view addr) { return Request(Words({"BLOCK", addr})); }
std::string ControlClient::Unblock(std::string_view addr) {
  return Request(Words({"UNBLOCK", addr}));
}
std::string ControlClient::Lift(std::string_view addr) { return Request(Words({"LIFT", addr})); }
std::string ControlClient::Drop(std::string_view addr) { return Request(Words({"DROP", addr})); }
std::string ControlClient::Keys(std::string_view addr, std::string_view digits, int32_t gap_ms) {
  if (gap_ms < 0) return Request(Words({"KEYS", addr, digits}));
  return Request(Words({"KEYS", addr, digits, std::to_string(gap_ms)}));
}
std::string ControlClient::Inject(std::string_view addr, std::string_view file) {
  return Request(Words({"INJECT", addr, file}));
}
std::string ControlClient::CaptureStart(std::string_view addr, std::string_view file) {
  return Request(Words({"CAPTURE", addr, "START", file}));
}
std::string ControlClient::CaptureStop(std::string_view addr) {
  return Request(Words({"CAPTURE", addr, "STOP"}));
}

std::optional<std::map<std::string, std::string>> ControlClient::State(std::string_view addr) {
  std::string reply = Request(Words({"STATE", addr}));
  if (reply != kReplyOk && !reply.starts_with(std::string(kReplyOk) + " ")) return std::nullopt;
  std::map<std::string, std::string> fields;
  size_t i = kReplyOk.size();
  while (i < reply.size()) {
    size_t start = reply.find_first_not_of(' ', i);
    if (start == std::string::npos) break;
    size_t end = std::min(reply.find(' ', start), reply.size());
    std::string_view field = std::string_view(reply).substr(start, end - start);
    size_t eq = field.find('=');
    fields[std::string(field.substr(0, eq))] =
        eq == std::string_view::npos ? std::string() : std::string(field.substr(eq + 1));
    i = end;
  }
  return fields;
}

std::optional<std::string> ControlClient::Wait(std::string_view type, std::string_view addr,
                                               int timeout_ms) {
  // The server cuts longer waits to its limit; the reply comes by then.
  const int wait_ms = std::clamp(timeout_ms, 0, kControlMaxWaitMs);
  std::string reply = Request(Words({"WAIT", type, addr, std::to_string(timeout_ms)}),
                              wait_ms + kReplyTimeoutMs);
  const std::string ok_event = std::string(kReplyOk) + " " + std::string(kEventPrefix);
  if (!reply.starts_with(ok_event)) return std::nullopt;
  return reply.substr(kReplyOk.size() + 1);
}

bool ControlClient::Events() { return Request("EVENTS") == kReplyOk; }

std::optional<std::string> ControlClient::NextEvent(int timeout_ms) {
  const Clock::time_point deadline = After(timeout_ms);
  std::string line;
  std::string why;
  while (events_.empty()) {
    if (fd_ < 0 || !ReadLine(deadline, line, why)) return std::nullopt;
    // A reply line outside a request has no one to go to.
    if (IsEvent(line)) events_.push_back(std::move(line));
  }
  std::string next = std::move(events_.front());
  events_.pop_front();
  return next;
}

bool ControlClient::ReadLine(Deadline deadline, std::string& line, std::string& why) {
  for (;;) {
    size_t end = received_.find('\n');
    if (end != std::string::npos) {
      line = received_.substr(0, end);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      received_.erase(0, end + 1);
      return true;
    }
    pollfd p{fd_, POLLIN, 0};
    int ready = poll(&p, 1, LeftMs(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) {
      why = "no reply in time";
      return false;
    }
    char chunk[kReadChunkBytes];
    ssize_t n = recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0) {
      why = "connection closed";
      return false;
    }
    received_.append(chunk, static_cast<size_t>(n));
  }
}

bool ControlClient::WriteAll(std::string_view bytes, Deadline deadline, std::string& why) {
  while (!bytes.empty()) {
    ssize_t n = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      bytes.remove_prefix(static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) {
      why = "connection closed";
      return false;
    }
    pollfd p{fd_, POLLOUT, 0};
    if (poll(&p, 1, LeftMs(deadline)) == 0) {
      why = "cannot send in time";
      return false;
    }
  }
  return true;
}

std::string ControlClient::Fail(const std::string& why) {
  Close();
  return std::string(kReplyErrPrefix) + "client: " + why;
}

}  // namespace simboard
