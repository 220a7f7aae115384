#include "simboard/control_server.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <set>
#include <vector>

#include "platform/peer_user.h"
#include "platform/thread.h"
#include "simboard/control_line_framer.h"
#include "simboard/control_request.h"

namespace simboard {
namespace {

using Clock = std::chrono::steady_clock;

// Replies and event lines a client has not read yet; beyond this the client
// is dropped rather than the board's memory filled.
constexpr size_t kMaxOutputBytes = 1 << 20;
// Received bytes not yet answered (behind a pending WAIT) beyond which the
// server stops reading that connection until it catches up.
constexpr size_t kInputHoldBytes = 64 * 1024;
constexpr size_t kReadChunkBytes = 16 * 1024;
constexpr int kListenBacklog = 64;
// The socket file: its owner may connect, nobody else.
constexpr mode_t kSocketMode = 0600;
constexpr char kErrNotOwner[] = "ERR not the board's user\n";
// When accept fails for want of descriptors or memory, the listener rests
// this long instead of waking the loop again at once.
constexpr auto kAcceptRestTime = std::chrono::milliseconds(100);

// Fixed places in the poll set; the connections follow.
enum PollSlot : size_t { kStopSlot, kWakeSlot, kListenSlot, kFixedSlots };

std::string ErrnoText(const char* what, int err) {
  const char* text = strerrordesc_np(err);
  return std::string(what) + ": " + (text != nullptr ? text : "error " + std::to_string(err));
}

// A reply field must not end the line early.
std::string OneLine(std::string text) {
  std::replace_if(
      text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
  return text;
}

std::string ErrReply(std::string_view reason) {
  return std::string(kReplyErrPrefix) + OneLine(std::string(reason));
}

struct PendingWait {
  std::string type;
  std::string addr;  // "*" or an address
  Clock::time_point deadline;
  uint64_t scanned = 0;  // events up to this one were looked at

  bool Matches(const Event& e) const {
    return ControlWordEquals(type, e.type) && (addr == "*" || ControlWordEquals(addr, e.addr));
  }
};

struct Connection {
  explicit Connection(int socket, uint64_t last_seq) : fd(socket), opened_after(last_seq) {}
  ~Connection() { close(fd); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  bool WantsInput() const {
    return !dead && !closing && !input_ended && input.buffered() < kInputHoldBytes;
  }

  int fd;
  uint64_t opened_after;  // events up to this one came before the connection
  ControlLineFramer input;
  std::string output;
  std::set<uint64_t> returned;  // events a WAIT has returned
  std::optional<PendingWait> wait;
  bool events = false;       // receives every event line
  uint64_t events_sent = 0;  // in that mode: the newest event sent
  bool input_ended = false;  // the client shut its sending side
  bool closing = false;      // answered QUIT or the end of input: close after sending
  bool dead = false;         // failed or overflowed: close now
};

}  // namespace

struct ControlServer::Impl {
  Impl(FarEnd& f, EventLog& e, ControlLog l) : far_end(f), events(e), log(std::move(l)) {}

  bool Listen(const std::string& socket_path, std::string& error);
  void Run();
  void Accept();
  bool Admit(int fd);
  void Receive(Connection& c);
  void ServeLines(Connection& c);
  void Answer(Connection& c, const ControlRequest& r);
  std::string Perform(const ControlRequest& r);
  void CheckWait(Connection& c);
  void DeliverEvents();
  void Reply(Connection& c, std::string_view line);
  void Flush(Connection& c);
  int PollTimeoutMs() const;
  void CloseSockets();

  FarEnd& far_end;
  EventLog& events;
  const ControlLog log;
  std::string path;
  ino_t socket_inode = 0;  // the socket file this server made
  dev_t socket_device = 0;
  int listen_fd = -1;
  int stop_fd = -1;
  platform::Thread thread;
  // Used by the serving thread only while it runs.
  std::vector<std::unique_ptr<Connection>> connections;
  Clock::time_point accept_rest_until{};
};

bool ControlServer::Impl::Listen(const std::string& socket_path, std::string& error) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socket_path.empty() || socket_path.size() >= sizeof address.sun_path) {
    error = "bad socket path: " + socket_path;
    return false;
  }
  std::memcpy(address.sun_path, socket_path.data(), socket_path.size());
  struct stat st {};
  if (lstat(socket_path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) unlink(socket_path.c_str());
  listen_fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (listen_fd < 0) {
    error = ErrnoText("socket", errno);
    return false;
  }
  if (bind(listen_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    error = ErrnoText(("bind " + socket_path).c_str(), errno);
    return false;
  }
  // Nobody can connect before listen: the mode is set before anyone could.
  if (chmod(socket_path.c_str(), kSocketMode) != 0 || listen(listen_fd, kListenBacklog) != 0 ||
      stat(socket_path.c_str(), &st) != 0) {
    error = ErrnoText(("listen " + socket_path).c_str(), errno);
    unlink(socket_path.c_str());
    return false;
  }
  path = socket_path;
  socket_inode = st.st_ino;
  socket_device = st.st_dev;
  return true;
}

void ControlServer::Impl::Run() {
  std::vector<pollfd> set;
  for (;;) {
    const bool listening = Clock::now() >= accept_rest_until;
    set.assign(kFixedSlots, pollfd{-1, POLLIN, 0});
    set[kStopSlot].fd = stop_fd;
    set[kWakeSlot].fd = events.WakeFd();
    set[kListenSlot].fd = listening ? listen_fd : -1;
    for (const auto& c : connections) {
      short want = (c->WantsInput() ? POLLIN : 0) | (c->output.empty() ? 0 : POLLOUT);
      set.push_back(pollfd{c->fd, want, 0});
    }
    if (poll(set.data(), set.size(), PollTimeoutMs()) < 0 && errno != EINTR) break;
    if (set[kStopSlot].revents != 0) break;
    // Only the connections that were in the poll set have results.
    const size_t polled = set.size() - kFixedSlots;
    for (size_t i = 0; i < polled; ++i) {
      Connection& c = *connections[i];
      short got = set[kFixedSlots + i].revents;
      if (got & (POLLERR | POLLHUP | POLLNVAL)) c.dead = true;
      if (!c.dead && (got & POLLIN)) Receive(c);
    }
    if (set[kWakeSlot].revents != 0) {
      events.DrainWake();
      DeliverEvents();
    }
    if (set[kListenSlot].revents != 0) Accept();
    for (auto& c : connections) {
      if (c->dead) continue;
      if (c->wait) CheckWait(*c);
      ServeLines(*c);
      if (!c->dead && !c->output.empty()) Flush(*c);
    }
    std::erase_if(connections, [](const auto& c) { return c->dead || c->closing; });
  }
  connections.clear();
}

void ControlServer::Impl::Accept() {
  for (;;) {
    int fd = accept4(listen_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd >= 0) {
      if (Admit(fd)) connections.push_back(std::make_unique<Connection>(fd, events.LastSeq()));
      continue;
    }
    if (errno == EINTR || errno == ECONNABORTED) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) accept_rest_until = Clock::now() + kAcceptRestTime;
    return;
  }
}

// A connection of another user is told why and closed.
bool ControlServer::Impl::Admit(int fd) {
  if (platform::PeerIsSameUser(fd)) return true;
  uid_t uid = 0;
  std::string who = platform::PeerUid(fd, uid) ? "uid " + std::to_string(uid) : "an unknown user";
  if (log) log("simboard control socket " + path + ": refused a connection of " + who);
  ssize_t sent = send(fd, kErrNotOwner, sizeof kErrNotOwner - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
  (void)sent;  // the refusal stands whether or not the peer hears why
  close(fd);
  return false;
}

void ControlServer::Impl::Receive(Connection& c) {
  char chunk[kReadChunkBytes];
  ssize_t n = recv(c.fd, chunk, sizeof chunk, MSG_DONTWAIT);
  if (n > 0) {
    c.input.Append(std::string_view(chunk, static_cast<size_t>(n)));
  } else if (n == 0) {
    c.input_ended = true;
  } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
    c.dead = true;
  }
}

// Answers the connection's lines in order until one leaves a WAIT pending.
void ControlServer::Impl::ServeLines(Connection& c) {
  while (!c.dead && !c.closing && !c.wait) {
    std::optional<ControlLineFramer::Line> line = c.input_ended ? c.input.Rest() : c.input.Next();
    if (!line) {
      c.closing = c.input_ended;
      return;
    }
    if (line->too_long) {
      Reply(c, ErrReply(kErrLineTooLong));
      continue;
    }
    std::string error;
    std::optional<ControlRequest> request = ParseControlRequest(line->text, error);
    if (request) {
      Answer(c, *request);
    } else {
      Reply(c, ErrReply(error));
    }
  }
}

void ControlServer::Impl::Answer(Connection& c, const ControlRequest& r) {
  switch (r.verb) {
    case ControlVerb::kWait:
      c.wait = PendingWait{r.first, r.second,
                           Clock::now() + std::chrono::milliseconds(r.number), c.opened_after};
      CheckWait(c);
      return;
    case ControlVerb::kEvents:
      c.events = true;
      c.events_sent = events.LastSeq();
      Reply(c, kReplyOk);
      return;
    case ControlVerb::kPing:
      Reply(c, kReplyOk);
      return;
    case ControlVerb::kQuit:
      Reply(c, kReplyOk);
      c.closing = true;
      return;
    default:
      Reply(c, Perform(r));
      return;
  }
}

// A request to the board; its reply line.
std::string ControlServer::Impl::Perform(const ControlRequest& r) {
  std::string fields;
  std::string refused;
  switch (r.verb) {
    case ControlVerb::kCall: refused = far_end.Call(r.line, r.first, r.second); break;
    case ControlVerb::kHangup: refused = far_end.Hangup(r.line); break;
    case ControlVerb::kAnswer: refused = far_end.Answer(r.line); break;
    case ControlVerb::kReject: refused = far_end.Reject(r.line, r.number); break;
    case ControlVerb::kBlock: refused = far_end.Block(r.line); break;
    case ControlVerb::kUnblock: refused = far_end.Unblock(r.line); break;
    case ControlVerb::kLift: refused = far_end.Lift(r.line); break;
    case ControlVerb::kDrop: refused = far_end.Drop(r.line); break;
    case ControlVerb::kKeys: refused = far_end.Keys(r.line, r.first, r.number); break;
    case ControlVerb::kInject: refused = far_end.Inject(r.line, r.first); break;
    case ControlVerb::kCaptureStart: refused = far_end.CaptureStart(r.line, r.first); break;
    case ControlVerb::kCaptureStop: refused = far_end.CaptureStop(r.line); break;
    case ControlVerb::kState: refused = far_end.State(r.line, fields); break;
    default: return ErrReply(kErrUnknownRequest);
  }
  if (!refused.empty()) return ErrReply(refused);
  if (fields.empty()) return std::string(kReplyOk);
  return std::string(kReplyOk) + " " + OneLine(std::move(fields));
}

// Answers the pending WAIT when a new event matches or its time is up.
void ControlServer::Impl::CheckWait(Connection& c) {
  PendingWait& w = *c.wait;
  for (const Event& e : events.Since(w.scanned)) {
    w.scanned = e.seq;
    if (c.returned.count(e.seq) != 0 || !w.Matches(e)) continue;
    c.returned.insert(e.seq);
    c.wait.reset();
    Reply(c, std::string(kReplyOk) + " " + e.Line());
    return;
  }
  if (Clock::now() >= w.deadline) {
    c.wait.reset();
    Reply(c, ErrReply(kErrTimeout));
  }
}

void ControlServer::Impl::DeliverEvents() {
  for (auto& c : connections) {
    if (!c->events || c->dead) continue;
    for (const Event& e : events.Since(c->events_sent)) {
      c->events_sent = e.seq;
      Reply(*c, e.Line());
    }
  }
}

void ControlServer::Impl::Reply(Connection& c, std::string_view line) {
  if (c.dead) return;
  c.output.append(line);
  c.output += '\n';
  if (c.output.size() > kMaxOutputBytes) c.dead = true;
}

void ControlServer::Impl::Flush(Connection& c) {
  ssize_t n = send(c.fd, c.output.data(), c.output.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  if (n > 0) {
    c.output.erase(0, static_cast<size_t>(n));
  } else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
    c.dead = true;
  }
}

// Until the nearest WAIT deadline or the end of the listener's rest; -1
// (no timeout) when neither is due.
int ControlServer::Impl::PollTimeoutMs() const {
  std::optional<Clock::time_point> due;
  auto consider = [&due](Clock::time_point t) { due = due ? std::min(*due, t) : t; };
  if (accept_rest_until > Clock::now()) consider(accept_rest_until);
  for (const auto& c : connections) {
    if (c->wait) consider(c->wait->deadline);
  }
  if (!due) return -1;
  auto left = std::chrono::ceil<std::chrono::milliseconds>(*due - Clock::now()).count();
  return static_cast<int>(std::clamp<int64_t>(left, 0, kControlMaxWaitMs));
}

void ControlServer::Impl::CloseSockets() {
  if (listen_fd >= 0) close(listen_fd);
  if (stop_fd >= 0) close(stop_fd);
  listen_fd = stop_fd = -1;
  struct stat st {};
  if (!path.empty() && lstat(path.c_str(), &st) == 0 && st.st_ino == socket_inode &&
      st.st_dev == socket_device) {
    unlink(path.c_str());
  }
  path.clear();
}

ControlServer::ControlServer(FarEnd& far_end, EventLog& events, ControlLog log)
    : impl_(std::make_unique<Impl>(far_end, events, std::move(log))) {}

ControlServer::~ControlServer() { Stop(); }

bool ControlServer::Start(const std::string& path, std::string& error) {
  if (impl_->thread.joinable()) {
    error = "the control socket is already served";
    return false;
  }
  impl_->stop_fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (impl_->stop_fd < 0) {
    error = ErrnoText("eventfd", errno);
    impl_->CloseSockets();
    return false;
  }
  if (!impl_->Listen(path, error)) {
    impl_->CloseSockets();
    return false;
  }
  if (!impl_->thread.Start("simboard-ctl", 0, [impl = impl_.get()] { impl->Run(); })) {
    error = "cannot start the control thread";
    impl_->CloseSockets();
    return false;
  }
  return true;
}

void ControlServer::Stop() {
  if (impl_->thread.joinable()) {
    uint64_t one = 1;
    ssize_t written = write(impl_->stop_fd, &one, sizeof one);
    (void)written;  // a full counter still leaves the descriptor readable
    impl_->thread.Join();
  }
  impl_->CloseSockets();
}

}  // namespace simboard
