// vttelctl: sets the named events of a running vttel from other programs
// and scripts.
//
//   vttelctl show         sets "VtTel Show" (bring the window to the front)
//   vttelctl quit         sets "VtTel Quit" (end the program)
//   vttelctl signal NAME  sets any named event, e.g. "AutoRun Quit"
//
// Exit status: 0 when the event was set, 1 when no running instance owns it,
// 2 for bad arguments. The events live in the runtime folder of the user
// (XDG_RUNTIME_DIR is honoured).
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/named_event.h"
#include "platform/runtime_dir.h"

namespace {

constexpr int kExitSignalled = 0;
constexpr int kExitNoOwner = 1;
constexpr int kExitUsage = 2;

constexpr char kUsage[] = "usage: vttelctl show | quit | signal NAME\n";

int Usage() {
  std::fputs(kUsage, stderr);
  return kExitUsage;
}

// The event named on the command line, or empty when the arguments are bad.
std::string EventFromArgs(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "show") == 0) return platform::kShowEventName;
  if (argc == 2 && std::strcmp(argv[1], "quit") == 0) return platform::kQuitEventName;
  if (argc == 3 && std::strcmp(argv[1], "signal") == 0) return argv[2];
  return std::string();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
    std::fputs(kUsage, stdout);
    return kExitSignalled;
  }
  std::string name = EventFromArgs(argc, argv);
  if (name.empty()) return Usage();
  if (!platform::IsValidEventName(name)) {
    std::fputs("vttelctl: bad event name (printable ASCII, no '/')\n", stderr);
    return Usage();
  }
  if (platform::RuntimeDir().empty()) {
    std::fputs("vttelctl: the runtime folder is missing or not private to this user\n", stderr);
    return kExitNoOwner;
  }
  if (!platform::SignalNamedEvent(name)) {
    std::fprintf(stderr, "vttelctl: no running instance owns the event \"%s\"\n", name.c_str());
    return kExitNoOwner;
  }
  return kExitSignalled;
}
