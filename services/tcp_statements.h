// The TCP statements of the script language: "TcpOpen(", "TcpServer(",
// "TcpAccept(", "TcpClose(", "TcpCloseAll(", "TcpWrite(", "TcpRead(" and
// "TcpTest(". Scripts name sockets by handles of their line's socket set
// (tcp_socket_set.h); a handle the line does not hold gives -1 and touches
// no socket. The statements run on their line's thread; "TcpRead(" on an
// accepted socket waits for data, the peer's close or the line's stop.
#ifndef VTTEL_SERVICES_TCP_STATEMENTS_H_
#define VTTEL_SERVICES_TCP_STATEMENTS_H_

#include <cstdint>
#include <string_view>

namespace engine {
class TagTelBasic;
}

namespace services {

// "TcpWrite(" and "TcpRead(" refuse bad arguments with this result.
inline constexpr int32_t kTcpBadArgument = -100;
// "TcpRead(" reads at most this many bytes into a value without a string.
inline constexpr int kTcpReadScratch = 5119;
// The pause between two connect steps.
inline constexpr uint32_t kTcpConnectStepMs = 80;

// How a connect loop waits between its steps: at most step_ms, and with
// wake_on_progress only until the pending connect makes progress.
struct ConnectPace {
  uint32_t step_ms;
  bool wake_on_progress;
};

// The connect loop of TcpConnect and the HTTP client: steps until
// connected (0, *connected set), a step's error, the time-out or the stop
// of script's line (-9; *timed_out set for the time-out when not null); a
// null script has no line to stop.
int ConnectWithin(engine::TagTelBasic* script, int* connected, std::string_view host, int port,
                  int seconds, const ConnectPace& pace, bool* timed_out);

// Connects to host:port for the statement of script (a function's or a
// child's statement included), giving up after seconds (compared unsigned:
// 0 gives up after the first step, a negative value never). 0 connected
// (*connected set); -2, -3, -5 from the step; -9 time-out. When the line is
// stopping (TagTelBasic::LineStopping: also the call's stop flag) the wait
// ends with -9 as well: no connection was made in the time the line gave.
// The pending socket is closed whenever no connection is handed out.
int TcpConnect(engine::TagTelBasic* script, int* connected, std::string_view host, int port,
               int seconds);

// Registers the eight statements and the socket-set store factory.
void RegisterTcpStatements();

}  // namespace services

#endif  // VTTEL_SERVICES_TCP_STATEMENTS_H_
