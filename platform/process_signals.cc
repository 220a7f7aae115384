#include "platform/process_signals.h"

#include <signal.h>

#include <initializer_list>

namespace platform {

void IgnoreBrokenPipe() { signal(SIGPIPE, SIG_IGN); }

void OnSessionEndSignals(void (*handler)(int)) {
  struct sigaction action = {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &action, nullptr);
}

}  // namespace platform
