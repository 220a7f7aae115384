#include "simboard/far_end.h"

namespace simboard {
namespace {
constexpr size_t kMaxIndexDigits = 9;
}  // namespace

std::optional<Address> Address::Parse(std::string_view text) {
  if (text.size() < 2 || text.size() > 1 + kMaxIndexDigits) return std::nullopt;
  Address a;
  if (text[0] == 'E') {
    a.kind = Kind::kE1;
  } else if (text[0] == 'A') {
    a.kind = Kind::kAnalog;
  } else {
    return std::nullopt;
  }
  int32_t value = 0;
  for (char c : text.substr(1)) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  a.index = value;
  return a;
}

std::string Address::Text() const {
  std::string text(1, kind == Kind::kE1 ? 'E' : 'A');
  text += std::to_string(index);
  return text;
}

}  // namespace simboard
