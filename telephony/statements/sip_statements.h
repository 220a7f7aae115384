// The SIP, SIP-proxy and instant-message statements, and the three
// statements that register a SIP line's callbacks (sip_callbacks.h).
//
// Each thin statement is one row of a table: its keyword, the modes of its
// arguments (how each is read or which out-value it receives, with its
// preset), the call-object operation, when the out-values are stored, and
// whether the operation's text is the statement's own value (kind 'v').
// On the line kinds of this system the operations keep their base bodies,
// so the statements give the base results and store the presets.
//
// Argument modes, one character per argument:
//   t text (the value's text)        a any value, converted to text
//   i integer                        s stored integer (handles)
//   n text, absent for a NULL value  x a string as text, else converted
//   A an address text, refused with kImAddressRefused when it is longer
//     than kImAddressMax bytes with its terminator
//   T text variable, preset empty    I integer variable, preset 0
//   H handle variable, preset 0      P port variable, preset kSipNoPort
//   D identifier variable: preset with its own text, written back only
//     when that was empty
//
// Thread rules: the statements run on their line's thread; a registration
// statement also forgets its script's callbacks when it is deleted.
#ifndef VTTEL_TELEPHONY_STATEMENTS_SIP_STATEMENTS_H_
#define VTTEL_TELEPHONY_STATEMENTS_SIP_STATEMENTS_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace telephony {

class TagVtCall;

// Registers the SIP, SIP-proxy, instant-message and callback statements;
// a second call changes nothing.
void RegisterSipStatements();

inline constexpr size_t kMaxSipArgs = 9;
inline constexpr int32_t kSipNoPort = 999999;
inline constexpr size_t kImAddressMax = 100;
inline constexpr int32_t kImAddressRefused = -100;

// The converted arguments and out-values of one statement, by argument
// place; ownText is the text of a kind 'v' statement.
struct SipOperands {
  std::array<std::string, kMaxSipArgs> text;
  std::array<int32_t, kMaxSipArgs> num{};
  std::array<bool, kMaxSipArgs> absent{};
  std::string ownText;
  std::optional<std::string_view> Optional(size_t i) const {
    return absent[i] ? std::nullopt : std::optional<std::string_view>(text[i]);
  }
};

// When a row's out-values reach the script's variables.
enum class SipStore { kAlways, kWhenPositive };

struct SipRow {
  const char* keyword;
  const char* modes;
  int32_t (*op)(TagVtCall& call, SipOperands& o);
  SipStore store = SipStore::kAlways;
  bool ownText = false;  // kind 'v'
};

// The table of the thin statements.
std::span<const SipRow> SipRows();

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_STATEMENTS_SIP_STATEMENTS_H_
