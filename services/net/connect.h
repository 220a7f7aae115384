// The connect loop of the script services: a TCP connection to host:port
// made step by step for a line's statement ("TcpOpen(", the HTTP client),
// giving up at a time-out or when the line is stopped. The pending socket
// is closed whenever no connection is handed out.
//
// Thread rules: called on the line's thread of the script given.
#ifndef VTTEL_SERVICES_NET_CONNECT_H_
#define VTTEL_SERVICES_NET_CONNECT_H_

#include <cstdint>
#include <string_view>

namespace engine {
class TagTelBasic;
}

namespace services {

// The pause between two connect steps of "TcpOpen(".
inline constexpr uint32_t kTcpConnectStepMs = 80;

// How a connect loop waits between its steps: at most step_ms, and with
// wake_on_progress only until the pending connect makes progress.
struct ConnectPace {
  uint32_t step_ms;
  bool wake_on_progress;
};

// Steps until connected (0, *connected set), a step's error, the time-out
// or the stop of script's line (-9; *timed_out set for the time-out when
// not null); a null script has no line to stop.
int ConnectWithin(engine::TagTelBasic* script, int* connected, std::string_view host, int port,
                  int seconds, const ConnectPace& pace, bool* timed_out);

// Connects to host:port for the statement of script (a function's or a
// child's statement included), giving up after seconds (compared unsigned:
// 0 gives up after the first step, a negative value never). 0 connected
// (*connected set); -2, -3, -5 from the step; -9 time-out. When the line is
// stopping (TagTelBasic::LineStopping: also the call's stop flag) the wait
// ends with -9 as well: no connection was made in the time the line gave.
int TcpConnect(engine::TagTelBasic* script, int* connected, std::string_view host, int port,
               int seconds);

}  // namespace services

#endif  // VTTEL_SERVICES_NET_CONNECT_H_
