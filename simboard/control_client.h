// ControlClient: a test's end of the simulated board's control socket. It
// sends one request line and reads its reply line; event lines ("EV ...")
// that arrive before a reply are kept, in order, for NextEvent.
//
// Every read and write has a time limit, so a test using the client never
// hangs on a board that does not answer: a request that gets no reply in
// time, or whose connection fails, answers "ERR client: <why>" and the
// connection is closed (later requests answer "ERR client: not connected").
//
// Not thread-safe: one client per thread. Lines are GBK bytes like every
// text of the board.
#ifndef VTTEL_SIMBOARD_CONTROL_CLIENT_H_
#define VTTEL_SIMBOARD_CONTROL_CLIENT_H_

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace simboard {

class ControlClient {
 public:
  // How long a request waits for its reply (a WAIT: its timeout and this).
  static constexpr int kReplyTimeoutMs = 5000;

  ControlClient() = default;
  ~ControlClient();  // Close()
  ControlClient(const ControlClient&) = delete;
  ControlClient& operator=(const ControlClient&) = delete;

  // Connects to the socket at path, trying again while it is not there yet
  // (and makes sure the board has taken the connection in, by a PING)
  // or not accepting, for at most timeout_ms. False when that failed.
  bool Connect(const std::string& path, int timeout_ms = kReplyTimeoutMs);
  void Close();
  bool connected() const { return fd_ >= 0; }

  // Sends line (without its "\n") and returns the reply line.
  std::string Request(std::string_view line, int timeout_ms = kReplyTimeoutMs);

  // The requests by name; each returns the reply line ("OK" when done).
  // addr is a line's address: "E3", "A0".
  std::string Call(std::string_view addr, std::string_view calling, std::string_view called);
  std::string Hangup(std::string_view addr);
  std::string Answer(std::string_view addr);
  std::string Reject(std::string_view addr, int32_t progress);
  std::string Block(std::string_view addr);
  std::string Unblock(std::string_view addr);
  std::string Lift(std::string_view addr);
  std::string Drop(std::string_view addr);
  // gap_ms < 0 leaves the board's default gap.
  std::string Keys(std::string_view addr, std::string_view digits, int32_t gap_ms = -1);
  std::string Inject(std::string_view addr, std::string_view file);
  std::string CaptureStart(std::string_view addr, std::string_view file);
  std::string CaptureStop(std::string_view addr);
  // The line's state fields (key=value); std::nullopt when refused.
  std::optional<std::map<std::string, std::string>> State(std::string_view addr);

  // WAIT: the matching event line ("EV 12 CHARGE E3 37"), or std::nullopt
  // when none came within timeout_ms. addr "*" matches any line.
  std::optional<std::string> Wait(std::string_view type, std::string_view addr, int timeout_ms);

  // Asks for every event line from now on (EVENTS); true when granted.
  bool Events();
  // The next event line received (kept ones first), waiting at most
  // timeout_ms; std::nullopt when none came.
  std::optional<std::string> NextEvent(int timeout_ms);

 private:
  using Deadline = std::chrono::steady_clock::time_point;

  // Reads one line before the deadline; false on timeout or a closed
  // connection, with the reason in why.
  bool ReadLine(Deadline deadline, std::string& line, std::string& why);
  bool WriteAll(std::string_view bytes, Deadline deadline, std::string& why);
  std::string Fail(const std::string& why);

  int fd_ = -1;
  std::string received_;            // bytes after the last whole line read
  std::deque<std::string> events_;  // event lines read before a reply
};

}  // namespace simboard

#endif  // VTTEL_SIMBOARD_CONTROL_CLIENT_H_
