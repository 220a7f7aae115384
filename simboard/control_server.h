// ControlServer: the simulated board's control socket. A UNIX stream
// socket served by one thread of its own; each connection sends one request
// a line and gets one reply line: "OK" followed by the reply's fields, or
// "ERR " and a text. Requests reach the board through FarEnd; events come
// from the board's EventLog.
//
// Requests (addresses "E<ch>" / "A<port>", see FarEnd):
//   CALL E3 <calling> <called>      HANGUP E3       ANSWER E3
//   REJECT E3 <3|4|8>               BLOCK E3        UNBLOCK E3
//       (REJECT A1 <3|4|8> on a trunk port without a call: its next dial
//        fails; the number is not used there)
//   LIFT A0     DROP A0             KEYS E3 <digits> [gap-ms]
//   INJECT E3 <file>                CAPTURE E3 START <file>   CAPTURE E3 STOP
//       (regular files only: "ERR not a regular file" for anything else)
//   STATE E3                        -> OK key=value ...
//   WAIT <type> <addr|*> <timeout-ms>
//       -> "OK EV <seq> ..." the first matching event that no WAIT on this
//          connection has returned yet, counting every event since the
//          connection opened; "ERR timeout" when none came in time
//   EVENTS  from then on the connection also receives every event line
//
// The server never holds the event log's lock while calling the board.
//
// The socket is its owner's only: made 0600 whatever the umask, and a
// connection from a process of another user is refused (its peer uid is
// checked) with a line to the log, since a request names files that the
// board writes (CAPTURE) or reads (INJECT) as the owner.
#ifndef VTTEL_SIMBOARD_CONTROL_SERVER_H_
#define VTTEL_SIMBOARD_CONTROL_SERVER_H_

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "simboard/event_log.h"
#include "simboard/far_end.h"

namespace simboard {

// Where the server reports what it refused; called on its serving thread.
using ControlLog = std::function<void(std::string_view)>;

class ControlServer {
 public:
  // far_end and events must outlive the server; log may be empty.
  ControlServer(FarEnd& far_end, EventLog& events, ControlLog log = {});
  ~ControlServer();  // Stop()
  ControlServer(const ControlServer&) = delete;
  ControlServer& operator=(const ControlServer&) = delete;

  // Binds the socket at path (an existing socket file there is replaced)
  // and starts the serving thread. False, with the reason in error, when
  // the socket cannot be made.
  bool Start(const std::string& path, std::string& error);
  // Closes every connection, removes the socket file and joins the thread.
  void Stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace simboard

#endif  // VTTEL_SIMBOARD_CONTROL_SERVER_H_
