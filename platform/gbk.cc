#include "platform/gbk.h"

#include <cstring>

namespace platform {
namespace {

template <typename Fold>
void FoldInPlace(char* p, size_t n, Fold fold) {
  for (size_t i = 0; i < n; ++i) {
    if (IsGbkLead(static_cast<unsigned char>(p[i])) && i + 1 < n) {
      ++i;  // the trail byte stays as it is
    } else {
      p[i] = fold(p[i]);
    }
  }
}

}  // namespace

void UpperGbkInPlace(std::string& text) { FoldInPlace(text.data(), text.size(), AsciiUpper); }

void UpperGbkInPlace(char* text) { FoldInPlace(text, std::strlen(text), AsciiUpper); }

void LowerGbkInPlace(std::string& text) { FoldInPlace(text.data(), text.size(), AsciiLower); }

std::string UpperGbk(std::string_view text) {
  std::string out(text);
  UpperGbkInPlace(out);
  return out;
}

bool EqualsIgnoreCaseGbk(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (IsGbkLead(static_cast<unsigned char>(a[i])) && i + 1 < a.size()) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
      ++i;
    } else if (AsciiUpper(a[i]) != AsciiUpper(b[i])) {
      return false;
    }
  }
  return true;
}

bool EndsWithIgnoreCaseGbk(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         EqualsIgnoreCaseGbk(text.substr(text.size() - suffix.size()), suffix);
}

}  // namespace platform
