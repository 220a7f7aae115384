// The system's named events ("VtTel Show", "VtTel Quit", "AutoRun Quit"):
// manual-reset flags that one process owns and any process of the same
// user may set.
//
// An event is a listening UNIX stream socket "<RuntimeDir>/<name>" owned by
// the process that created it. Signalling is connecting to it and writing
// one byte; the owner notices the byte the next time it polls IsSet. The
// owner accepts a byte only from a peer with our uid (and a signaller only
// talks to an owner with our uid). Once set, an event stays set until the
// owner calls Reset. A connection that writes nothing (a probe) sets nothing.
//
// A name is printable ASCII, not empty, without '/', not "." or "..", not
// ending in ".lock" (the folder's lock files), and short enough that the
// whole path fits a UNIX socket address.
//
// Thread rules: one owner thread calls Create, IsSet and Close; Set and
// Reset may come from any thread. SignalNamedEvent and NamedEventExists may
// be called from any thread of any process; they wait at most
// kSignalWaitMs and never hang.
#ifndef VTTEL_PLATFORM_NAMED_EVENT_H_
#define VTTEL_PLATFORM_NAMED_EVENT_H_

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

constexpr char kShowEventName[] = "VtTel Show";
constexpr char kQuitEventName[] = "VtTel Quit";
constexpr char kAutoRunQuitEventName[] = "AutoRun Quit";

// Longest wait of SignalNamedEvent and NamedEventExists for the owner.
constexpr uint32_t kSignalWaitMs = 1000;
// Longest wait of IsSet for the byte of one accepted connection.
constexpr uint32_t kEventByteWaitMs = 50;

// True when name follows the rules above (the path length is checked only
// when the event is used, since it depends on the runtime folder).
bool IsValidEventName(std::string_view name);

class NamedEvent {
 public:
  NamedEvent() = default;
  ~NamedEvent();  // Close()
  NamedEvent(const NamedEvent&) = delete;
  NamedEvent& operator=(const NamedEvent&) = delete;

  // Creates the event, not set. A socket file left behind by an owner that
  // died is replaced. Returns false when the name is invalid, the runtime
  // folder is unusable, this object already owns an event, or a live owner
  // (this process or another) has the name.
  bool Create(std::string_view name);

  // Takes in the pending signals (up to 64 connections a call, so a flood
  // cannot hold the caller) without blocking, waiting at most
  // kEventByteWaitMs for a connection that has not written yet, and
  // returns whether the event is set.
  bool IsSet();

  // The owner's own SetEvent and ResetEvent. Reset does not touch signals
  // still waiting in the socket: a signal that came after the last IsSet
  // sets the event again at the next IsSet.
  void Set() { set_.store(true, std::memory_order_relaxed); }
  void Reset() { set_.store(false, std::memory_order_relaxed); }

  // Removes the socket file (only if it is still ours) and closes the
  // socket; the event is then cleared. Safe to call when not open.
  void Close();

  bool is_open() const { return fd_ >= 0; }
  const std::string& name() const { return name_; }

 private:
  // Accepts one pending connection and takes its byte; false when none.
  bool TakeOneSignal();

  int fd_ = -1;          // listening socket, or -1
  std::string name_;
  std::string path_;     // the socket file
  dev_t dev_ = 0;        // identity of the socket file we bound
  ino_t ino_ = 0;
  std::atomic<bool> set_{false};
};

// Sets the event owned by whichever process created name: connects and
// writes one byte. True when the byte was written; false when no owner
// exists (or the name or runtime folder is unusable).
bool SignalNamedEvent(std::string_view name);

// True when a live owner of name accepts connections.
bool NamedEventExists(std::string_view name);

}  // namespace platform

#endif  // VTTEL_PLATFORM_NAMED_EVENT_H_
