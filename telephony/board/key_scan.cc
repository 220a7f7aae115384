#include "telephony/board/key_scan.h"

namespace telephony {
namespace {

bool IsStarOrDot(char c) { return c == '*' || c == '.'; }

// The end key the pressed key answers to, if any.
bool EndsInput(char key, char end_key) {
  if (end_key == 0) return false;
  if (key == '#' || key == end_key) return true;
  return IsStarOrDot(end_key) && IsStarOrDot(key);
}

}  // namespace

KeyScan ScanKeys(std::string_view keys, int32_t max_keys, char end_key, std::string& out) {
  out.clear();
  for (size_t i = 0; i < keys.size(); ++i) {
    char key = keys[i];
    if (EndsInput(key, end_key)) {
      if (key != '#') out.push_back(key);
      return KeyScan{true, i + 1};
    }
    out.push_back(key);
    if (max_keys > 0 && static_cast<int64_t>(out.size()) >= max_keys) return KeyScan{true, i + 1};
  }
  return KeyScan{false, 0};
}

bool IsDtmfKey(int32_t key, bool lower_case_too) {
  if ((key >= '0' && key <= '9') || key == '*' || key == '#') return true;
  if (key >= 'A' && key <= 'D') return true;
  return lower_case_too && key >= 'a' && key <= 'd';
}

}  // namespace telephony
