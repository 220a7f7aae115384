// The kinds of telephone lines as the line drive shows and counts them:
// the four-character text of a call object's lineKind and the group a kind
// is counted in (external trunks, internal phones, virtual lines, IP lines).
#ifndef VTTEL_TELEPHONY_TEL_LINE_KIND_H_
#define VTTEL_TELEPHONY_TEL_LINE_KIND_H_

#include <cstdint>
#include <string_view>

namespace telephony {

enum class LineGroup { kNotCounted, kExternal, kInternal, kVirtual, kIp };

// "VIR ", "A_EX", "A_IN", "REC ", "DIG ", "H323", "SIP ", "VOIP", "FAX ",
// and "OTH " for any other kind; always four characters.
std::string_view GetLineKindName(uint8_t kind);

// The group a kind is counted in: 0 virtual; 1 and 4 external; 2 internal;
// 5 to 127 but 3 IP; 3 and 128 up not counted.
LineGroup GetLineGroup(uint8_t kind);

// Counters of lines by group.
struct LineGroupCounts {
  int32_t external = 0, internal = 0, virtual_lines = 0, ip = 0;
  // Adds one line of the kind; false when the kind is not counted.
  bool Add(uint8_t kind);
  int32_t Total() const { return external + internal + virtual_lines + ip; }
};

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_TEL_LINE_KIND_H_
