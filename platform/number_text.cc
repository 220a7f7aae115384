#include "platform/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <locale.h>

#include "platform/gbk.h"

namespace platform {
namespace {

bool IsCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

size_t SkipSpaces(std::string_view text, size_t i) {
  while (i < text.size() && IsCSpace(text[i])) ++i;
  return i;
}

size_t SkipDigits(std::string_view text, size_t i) {
  while (i < text.size() && IsAsciiDigit(static_cast<unsigned char>(text[i]))) ++i;
  return i;
}

// The C locale, for the one conversion that has no locale-free form.
locale_t CLocale() {
  static locale_t c = newlocale(LC_ALL_MASK, "C", nullptr);
  return c;
}

}  // namespace

int32_t AtoL(std::string_view text) {
  size_t i = SkipSpaces(text, 0);
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const int64_t limit = negative ? int64_t{1} << 31 : std::numeric_limits<int32_t>::max();
  int64_t value = 0;
  for (; i < text.size() && IsAsciiDigit(static_cast<unsigned char>(text[i])); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > limit) value = limit;
  }
  return static_cast<int32_t>(negative ? -value : value);
}

double StrToD(std::string_view text, size_t* used) {
  if (used != nullptr) *used = 0;
  size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  const size_t start = SkipSpaces(text, 0);
  size_t i = start;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  const size_t int_end = SkipDigits(text, i);
  size_t end = int_end;
  bool digits = int_end > i;
  if (end < text.size() && text[end] == '.') {
    size_t frac_end = SkipDigits(text, end + 1);
    digits = digits || frac_end > end + 1;
    end = frac_end;
  }
  if (!digits) return 0.0;
  if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
    size_t e = end + 1;
    if (e < text.size() && (text[e] == '+' || text[e] == '-')) ++e;
    size_t exp_end = SkipDigits(text, e);
    if (exp_end > e) end = exp_end;
  }
  // The syntax is ours; the rounding is the C library's, in the C locale.
  std::string number(text.substr(start, end - start));
  double v = strtod_l(number.c_str(), nullptr, CLocale());
  if (used != nullptr) *used = end;
  return v;
}

void AppendFixed(double v, std::string& out) {
  if (std::isnan(v)) {
    out.append(std::signbit(v) ? "-nan" : "nan");
    return;
  }
  if (std::isinf(v)) {
    out.append(v < 0 ? "-inf" : "inf");
    return;
  }
  char buf[400];  // DBL_MAX has 309 digits before the point
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 6);
  out.append(buf, r.ptr);
}

std::string FormatFixed(double v) {
  std::string out;
  AppendFixed(v, out);
  return out;
}

void AppendFloatText(double v, std::string& out) {
  const size_t start = out.size();
  AppendFixed(v, out);
  if (out.find('.', start) == std::string::npos) return;
  size_t end = out.size();
  while (end > start && out[end - 1] == '0') --end;
  out.resize(end);
}

void AppendInt(int32_t v, std::string& out) {
  char buf[16];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

}  // namespace platform
