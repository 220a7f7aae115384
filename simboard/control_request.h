// ControlRequest: one request line of the board's control socket, parsed
// into its verb and arguments, and the reply texts every request shares.
//
// Words are separated by blanks (spaces or tabs); the request word and the
// words with a fixed set of values (START/STOP, the key letters A-D, the
// address letter) are case-insensitive. Parsing only checks the form of a
// request; whether the board can do it is FarEnd's answer. Pure functions,
// no state: callable from any thread.
#ifndef VTTEL_SIMBOARD_CONTROL_REQUEST_H_
#define VTTEL_SIMBOARD_CONTROL_REQUEST_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "simboard/far_end.h"

namespace simboard {

// Longest request line, without its "\n" (and a "\r" before it).
inline constexpr size_t kControlMaxLineBytes = 4096;
// Gap between pressed keys when KEYS names none, and the largest one.
inline constexpr int32_t kControlDefaultKeyGapMs = 100;
inline constexpr int32_t kControlMaxKeyGapMs = 60000;
// Longer WAIT timeouts are cut to this.
inline constexpr int32_t kControlMaxWaitMs = 600000;

enum class ControlVerb {
  kCall,          // CALL <addr> <calling> <called>
  kHangup,        // HANGUP <addr>
  kAnswer,        // ANSWER <addr>
  kReject,        // REJECT <addr> <3|4|8>
  kBlock,         // BLOCK <addr>
  kUnblock,       // UNBLOCK <addr>
  kLift,          // LIFT <addr>
  kDrop,          // DROP <addr>
  kKeys,          // KEYS <addr> <digits> [gap-ms]
  kInject,        // INJECT <addr> <file>
  kCaptureStart,  // CAPTURE <addr> START <file>
  kCaptureStop,   // CAPTURE <addr> STOP
  kState,         // STATE <addr>
  kWait,          // WAIT <type> <addr|*> <timeout-ms>
  kEvents,        // EVENTS
  kPing,          // PING
  kQuit,          // QUIT
};

struct ControlRequest {
  ControlVerb verb = ControlVerb::kPing;
  Address line;        // the line of a board request
  std::string first;   // CALL calling, KEYS digits (upper case), file, WAIT type
  std::string second;  // CALL called, WAIT address ("*" any, else the event's, any case)
  int32_t number = 0;  // REJECT progress, KEYS gap, WAIT timeout (capped)
};

// Parses one line (its "\n" and a trailing "\r" already removed). On a
// malformed line returns std::nullopt with the reason in error, which the
// server answers as "ERR <error>".
std::optional<ControlRequest> ParseControlRequest(std::string_view line, std::string& error);

// The reply texts shared by the server and its clients.
inline constexpr std::string_view kReplyOk = "OK";
inline constexpr std::string_view kReplyErrPrefix = "ERR ";
inline constexpr std::string_view kEventPrefix = "EV ";
inline constexpr std::string_view kErrLineTooLong = "line too long";
inline constexpr std::string_view kErrTimeout = "timeout";
inline constexpr std::string_view kErrUnknownRequest = "unknown request";

// True when two ASCII words are equal ignoring case.
bool ControlWordEquals(std::string_view a, std::string_view b);

}  // namespace simboard

#endif  // VTTEL_SIMBOARD_CONTROL_REQUEST_H_
