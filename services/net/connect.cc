#include "services/net/connect.h"

#include <string>

#include "engine/tel_basic.h"
#include "frame/log.h"
#include "frame/tcp_socket.h"
#include "platform/clock.h"
#include "platform/socket.h"

namespace services {

using engine::TagTelBasic;

int ConnectWithin(TagTelBasic* script, int* connected, std::string_view host, int port,
                  int seconds, const ConnectPace& pace, bool* timed_out) {
  platform::Clock& clock = platform::GetClock();
  const uint32_t start = clock.TickCount();
  // Unsigned: a negative time-out is a very long one.
  const uint64_t wait_ms = static_cast<uint64_t>(static_cast<uint32_t>(seconds)) * 1000u;
  frame::TcpConnectState state;
  while (script == nullptr || !script->LineStopping()) {
    const int step = frame::TcpConnectStep(host, port, &state, connected);
    if (step == 1) return 0;
    if (step < 0) return step;
    // A time-out of 0 allows the one step.
    if (wait_ms == 0 || clock.TickCount() - start > wait_ms) {
      if (timed_out != nullptr) *timed_out = true;
      break;
    }
    if (pace.wake_on_progress && state.pending) {
      platform::WaitSocket(state.pending_socket, platform::SocketEvent::kWritable,
                           static_cast<int64_t>(pace.step_ms) * 1000000);
    } else {
      clock.Sleep(pace.step_ms);
    }
  }
  frame::TcpAbandonConnect(&state);
  return frame::kTcpTimeout;
}

int TcpConnect(TagTelBasic* script, int* connected, std::string_view host, int port,
               int seconds) {
  bool timed_out = false;
  const int result = ConnectWithin(script, connected, host, port, seconds,
                                   ConnectPace{kTcpConnectStepMs, false}, &timed_out);
  if (timed_out) {
    frame::LogMsgF("TcpConnect Timeout: %s:%d, sec=%d", std::string(host).c_str(), port,
                   seconds);
  }
  return result;
}

}  // namespace services
