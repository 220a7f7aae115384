// FarEnd: what the far end of the simulated board's lines can do, the side
// a test (through the control socket) plays: offer and release calls, answer
// or reject the system's calls, block circuits, lift and put down telephone
// sets, press keys, send voice, listen to what a line sends, and look at a
// line's state.
//
// Every operation returns an empty text when it was done, else the reason
// it was refused (the control socket answers "ERR <reason>"). Thread-safe;
// the operations never wait for the system.
#ifndef VTTEL_SIMBOARD_FAR_END_H_
#define VTTEL_SIMBOARD_FAR_END_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace simboard {

// A line of the board as the control protocol names it: "E<ch>" an E1
// channel by its card index, "A<port>" an analog port by its port number.
struct Address {
  enum class Kind { kE1, kAnalog };
  Kind kind = Kind::kE1;
  int32_t index = 0;

  // "E3" -> {kE1, 3}; std::nullopt for anything else (no sign, no blanks,
  // decimal digits only, at most 9 of them).
  static std::optional<Address> Parse(std::string_view text);
  std::string Text() const;  // "E3", "A0"
  bool operator==(const Address&) const = default;
};

class FarEnd {
 public:
  virtual ~FarEnd() = default;

  // An E1 circuit: offer an incoming call (the circuit must be idle).
  virtual std::string Call(Address line, std::string_view calling, std::string_view called) = 0;
  // An E1 circuit: the far end releases (state 2 until the system releases);
  // an analog trunk port: the far end hangs up.
  virtual std::string Hangup(Address line) = 0;
  // The far end answers the system's outgoing call (E1: state 6; analog
  // trunk port: connected).
  virtual std::string Answer(Address line) = 0;
  // The far end rejects the system's outgoing call: progress 3, 4 or 8. On
  // an analog trunk port without a call the next dial fails instead.
  virtual std::string Reject(Address line, int32_t progress) = 0;
  virtual std::string Block(Address line) = 0;
  virtual std::string Unblock(Address line) = 0;
  // An analog phone port: the telephone set goes off / on hook.
  virtual std::string Lift(Address line) = 0;
  virtual std::string Drop(Address line) = 0;
  // The far end presses keys, gap_ms apart (the first at once).
  virtual std::string Keys(Address line, std::string_view digits, int32_t gap_ms) = 0;
  // What the far end sends next: the raw A-law bytes of a file (host path,
  // absolute or relative to the board's folder), after what is queued.
  // Files of the far end are regular files only: anything else is refused
  // at once with "not a regular file", without waiting for a peer.
  virtual std::string Inject(Address line, std::string_view file) = 0;
  // Writes what the line sends, raw A-law, as it is sent.
  virtual std::string CaptureStart(Address line, std::string_view file) = 0;
  // Ends the capture; every captured byte is in the file when it returns.
  virtual std::string CaptureStop(Address line) = 0;
  // The line's state as "key=value" fields separated by blanks.
  virtual std::string State(Address line, std::string& fields) = 0;
};

}  // namespace simboard

#endif  // VTTEL_SIMBOARD_FAR_END_H_
