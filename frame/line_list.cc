#include "frame/line_list.h"

#include <string>

#include "platform/number_text.h"

namespace frame {
namespace {

bool IsRangeOperator(char c) { return c == '-' || c == '+' || c == '*'; }

// Appends while the list has room; false once it is full.
bool Append(std::vector<int32_t>& out, int64_t v) {
  if (out.size() >= kMaxLineListNumbers) return false;
  out.push_back(static_cast<int32_t>(v));
  return true;
}

// Replaces the start just appended by the range start..end under op.
void ExpandRange(std::vector<int32_t>& out, char op, int32_t end) {
  if (out.empty()) return;
  const int64_t start = out.back();
  out.pop_back();
  for (int64_t v = start; v <= end; ++v) {
    bool odd = (v & 1) != 0;
    if ((op == '+' && !odd) || (op == '*' && odd)) continue;
    if (!Append(out, v)) return;
  }
}

}  // namespace

std::vector<int32_t> ParseLineList(std::string_view list) {
  std::vector<int32_t> out;
  std::string number;
  char pending = 0;
  bool start_kept = false;  // the pending range's start made it into the list
  auto end_number = [&]() {
    if (pending != 0) {
      if (start_kept) ExpandRange(out, pending, platform::AtoL(number));
    } else {
      Append(out, platform::AtoL(number));
    }
    pending = 0;
    number.clear();
  };
  for (char c : list) {
    if (c == ',') {
      end_number();
    } else if (IsRangeOperator(c)) {
      start_kept = Append(out, platform::AtoL(number));
      pending = c;
      number.clear();
    } else if (number.size() < kMaxLineNumberText) {
      number.push_back(c);
    }
  }
  if (!number.empty()) end_number();
  return out;
}

}  // namespace frame
