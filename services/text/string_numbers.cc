#include "services/text/string_numbers.h"

#include <algorithm>
#include <charconv>

#include "platform/gbk.h"
#include "platform/number_text.h"

namespace services {
namespace {

// "Float(" reads at most this many bytes of a text.
constexpr size_t kFloatTextBytes = 80;

}  // namespace

int32_t IntOfText(std::string_view text) {
  text = text.substr(0, std::min(text.size(), text.find('\0')));
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    uint64_t v = 0;
    for (size_t i = 2; i < text.size(); ++i) {
      const int d = platform::AsciiHexValue(text[i]);
      if (d < 0) break;
      v = std::min<uint64_t>(v * 16 + static_cast<uint64_t>(d), 0xFFFFFFFFu);
    }
    return static_cast<int32_t>(static_cast<uint32_t>(v));
  }
  return platform::AtoL(text);
}

double FloatOfText(std::string_view text) {
  text = text.substr(0, std::min({text.size(), text.find('\0'), kFloatTextBytes}));
  std::string kept;
  for (char c : text) {
    if (c != ',') kept.push_back(c);
  }
  return platform::StrToD(kept);
}

bool FormatFloatField(double v, int32_t width, int32_t precision, std::string* out) {
  if (width > kMaxFormatWidth || width < -kMaxFormatWidth || precision > kMaxFormatWidth) {
    return false;
  }
  if (precision < 0) precision = 6;  // printf: a negative precision is taken as omitted
  // The longest fixed form: sign, 309 integer digits, point, the decimals.
  char buf[2 * kMaxFormatWidth + 400];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed,
                                       precision);
  if (ec != std::errc()) return false;
  std::string number(buf, end);
  const size_t field = static_cast<size_t>(width < 0 ? -width : width);
  out->clear();
  if (number.size() < field && width > 0) out->append(field - number.size(), ' ');
  out->append(number);
  if (out->size() < field) out->append(field - out->size(), ' ');
  return true;
}

bool FormatHexField(uint32_t v, int32_t width, std::string* out) {
  if (width > kMaxFormatWidth || width < -kMaxFormatWidth) return false;
  char buf[16];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, 16);
  if (ec != std::errc()) return false;
  const std::string digits(buf, end);
  const size_t field = static_cast<size_t>(width < 0 ? -width : width);
  out->clear();
  if (width > 0 && digits.size() < field) out->append(field - digits.size(), '0');
  out->append(digits);
  if (out->size() < field) out->append(field - out->size(), ' ');
  return true;
}

}  // namespace services
