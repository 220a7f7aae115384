#include "telephony/tel_line_kind.h"

namespace telephony {
namespace {

// Kinds 9 to this one are counted as IP lines, like the named IP kinds.
constexpr uint8_t kLastIpKind = 127;

struct KindRow {
  std::string_view text;
  LineGroup group;
};

constexpr KindRow kKinds[] = {
    {"VIR ", LineGroup::kVirtual},  {"A_EX", LineGroup::kExternal},
    {"A_IN", LineGroup::kInternal}, {"REC ", LineGroup::kNotCounted},
    {"DIG ", LineGroup::kExternal}, {"H323", LineGroup::kIp},
    {"SIP ", LineGroup::kIp},       {"VOIP", LineGroup::kIp},
    {"FAX ", LineGroup::kIp},
};
constexpr uint8_t kNamedKinds = sizeof kKinds / sizeof kKinds[0];

}  // namespace

std::string_view GetLineKindName(uint8_t kind) {
  return kind < kNamedKinds ? kKinds[kind].text : "OTH ";
}

LineGroup GetLineGroup(uint8_t kind) {
  if (kind < kNamedKinds) return kKinds[kind].group;
  return kind <= kLastIpKind ? LineGroup::kIp : LineGroup::kNotCounted;
}

bool LineGroupCounts::Add(uint8_t kind) {
  switch (GetLineGroup(kind)) {
    case LineGroup::kExternal: ++external; return true;
    case LineGroup::kInternal: ++internal; return true;
    case LineGroup::kVirtual: ++virtual_lines; return true;
    case LineGroup::kIp: ++ip; return true;
    case LineGroup::kNotCounted: return false;
  }
  return false;
}

}  // namespace telephony
