#include "telephony/voice/number_reading.h"

#include <array>
#include <limits>

#include "platform/gbk.h"

namespace telephony {
namespace {

// The voice of each code character, from '0' on.
constexpr std::array<std::string_view, kLastNumberCode - kFirstNumberCode + 1> kCodeVoices = {
    "0", "1", "2", "3", "4", "5", "6", "7", "8", "9",          // '0'..'9'
    "shi", "bai", "qian", "wan", "yyi", "yuan", "dian",       // ':'..'@'
    "A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M",
    "N", "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z",
    "jiao", "fen", "gu", "shou", "li"};                       // '['..'_'
static_assert(!kCodeVoices.back().empty(), "one voice per code character");

constexpr char kShi = ':';
constexpr char kBai = ';';
constexpr char kWan = '=';
constexpr char kYyi = '>';
constexpr char kYuan = '?';
constexpr char kNoUnit = ' ';
// The unit of each integer position, from the most significant of twelve
// to the units position (which has none).
constexpr std::string_view kUnits = "<;:><;:=<;: ";
static_assert(kUnits.size() == kMaxIntegerDigits);
// The codes that follow the first three decimals of an amount.
constexpr std::array<char, 3> kFractionUnits = {'[', '\\', '_'};

// A run of digits keeps at most this many; a date or time takes at most
// this many runs.
constexpr size_t kMaxRunDigits = 40;
constexpr size_t kMaxDigitRuns = 4;
// A single run of more digits than this is a whole date (yyyymmdd).
constexpr size_t kMaxDatePartDigits = 2;

constexpr int64_t kThousand = 1000;
constexpr int64_t kMillion = 1000 * kThousand;
constexpr int64_t kBillion = 1000 * kMillion;

bool IsBigUnit(char c) { return c == kWan || c == kYyi || c == kNoUnit; }

std::string DigitVoice(char c) { return std::string(1, c); }

void Append(std::vector<std::string>& to, const std::vector<std::string>& more) {
  to.insert(to.end(), more.begin(), more.end());
}

// The walk from the last digit of the integer part towards the first: each
// digit behind its unit, so that reading the result backwards says it.
std::string BackwardUnits(std::string_view integer) {
  const size_t n = integer.size();
  auto digit = [&](size_t i) { return integer[n - 1 - i]; };
  auto unit = [&](size_t i) { return kUnits[kMaxIntegerDigits - 1 - i]; };
  std::string b;
  size_t i = 0;
  while (i < n) {
    const char c = digit(i);
    const char u = unit(i);
    ++i;
    if (c != '0') {
      if (u != kNoUnit) b += u;
      b += c;
      continue;
    }
    if (u == kWan || u == kYyi) {
      b += '0';
      b += u;
    } else if (u != kNoUnit) {
      b += '0';
    }
    // One zero stands for the run; the run's wan and yyi are still said.
    for (; i < n && digit(i) == '0'; ++i) {
      if (unit(i) == kWan || unit(i) == kYyi) b += unit(i);
    }
  }
  return b;
}

// Reads the walk backwards: "1" before shi is dropped inside a number
// (not after bai, not when the shi ends it), and a wan, yyi or no-unit code
// right after another is not said again.
std::string ReadBackwards(const std::string& b) {
  const std::string r(b.rbegin(), b.rend());
  std::string out;
  bool after_big_unit = false;
  for (size_t k = 0; k < r.size(); ++k) {
    const char c = r[k];
    if (IsBigUnit(c)) {
      if (!after_big_unit) out += c;
      after_big_unit = true;
      continue;
    }
    after_big_unit = false;
    const bool shi_inside = k + 2 < r.size() && r[k + 1] == kShi;
    const bool after_bai = k > 0 && r[k - 1] == kBai;
    if (c == '1' && shi_inside && !after_bai) continue;
    out += c;
  }
  return out;
}

std::string FractionCodes(std::string_view fraction) {
  std::string codes;
  for (size_t j = 0; j < kFractionUnits.size() && j < fraction.size(); ++j) {
    const char c = fraction[j];
    if (c >= '1' && c <= '9') {
      codes += c;
      codes += kFractionUnits[j];
    }
  }
  return codes;
}

// "10" reads shi, not yi shi.
void DropLeadingOne(std::string& codes) {
  if (codes.size() >= 2 && codes[0] == '1' && codes[1] == kShi) codes.erase(0, 1);
}

// The codes of a small number (a month, day, hour, minute or second).
std::vector<std::string> SmallNumberVoices(int64_t v) {
  std::string codes = ChineseNumberCodes(std::to_string(v)).integer;
  DropLeadingOne(codes);
  return CodeVoices(codes);
}

std::string_view SkipLeading(std::string_view text, std::string_view chars) {
  const size_t at = text.find_first_not_of(chars);
  return at == std::string_view::npos ? std::string_view() : text.substr(at);
}

// The decimals of a number are said only when the digits right after the
// point are not all zeros.
bool DecimalsAboveZero(std::string_view text, size_t dot) {
  for (size_t i = dot + 1; i < text.size() && platform::IsAsciiDigit(text[i]); ++i) {
    if (text[i] != '0') return true;
  }
  return false;
}

NumberReading Refused(NumberReadStatus status) { return {status, {}}; }

// --- Chinese -----------------------------------------------------------

NumberReading ChineseNumber(std::string_view text) {
  const ChineseCodes codes = ChineseNumberCodes(SkipLeading(text, " 0"));
  if (!codes.ok) return Refused(NumberReadStatus::kTooManyDigits);
  std::string s = codes.integer.empty() ? "0" : codes.integer;
  DropLeadingOne(s);
  NumberReading reading{NumberReadStatus::kOk, CodeVoices(s)};
  const size_t dot = text.find('.');
  if (dot != std::string_view::npos && DecimalsAboveZero(text, dot)) {
    reading.voices.push_back("dian");
    for (size_t i = dot + 1; i < text.size() && platform::IsAsciiDigit(text[i]); ++i) {
      reading.voices.push_back(DigitVoice(text[i]));
    }
  }
  return reading;
}

NumberReading ChineseMoney(std::string_view text) {
  const ChineseCodes codes = ChineseNumberCodes(SkipLeading(text, " "));
  if (!codes.ok) return Refused(NumberReadStatus::kTooManyDigits);
  std::string s = codes.integer;
  if (!s.empty()) s += kYuan;
  s += codes.fraction;
  if (s.empty()) s = std::string("0") + kYuan;
  DropLeadingOne(s);
  return {NumberReadStatus::kOk, CodeVoices(s)};
}

// The runs of decimal digits of a date or time, at most kMaxDigitRuns.
struct DigitRuns {
  size_t count = 0;
  std::array<int64_t, kMaxDigitRuns> value{};
  std::array<size_t, kMaxDigitRuns> digits{};
};

// Values too large for 64 bits stay at the largest; no date or time takes
// them.
DigitRuns ScanDigitRuns(std::string_view text) {
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  DigitRuns runs;
  size_t i = 0;
  while (i < text.size() && runs.count < kMaxDigitRuns) {
    if (!platform::IsAsciiDigit(text[i])) {
      ++i;
      continue;
    }
    int64_t v = 0;
    size_t kept = 0;
    for (; i < text.size() && platform::IsAsciiDigit(text[i]); ++i) {
      if (kept == kMaxRunDigits) continue;
      ++kept;
      const int d = text[i] - '0';
      v = v > (kMax - d) / 10 ? kMax : v * 10 + d;
    }
    runs.value[runs.count] = v;
    runs.digits[runs.count] = kept;
    ++runs.count;
  }
  return runs;
}

NumberReading ChineseDate(std::string_view text) {
  const DigitRuns runs = ScanDigitRuns(text);
  int64_t y = 0, m = 0, d = 0;
  if (runs.count == 1 && runs.digits[0] > kMaxDatePartDigits) {
    y = runs.value[0] / 10000;
    m = runs.value[0] / 100 % 100;
    d = runs.value[0] % 100;
  } else if (runs.count == 2) {
    m = runs.value[0];
    d = runs.value[1];
  } else if (runs.count == 3) {
    y = runs.value[0];
    m = runs.value[1];
    d = runs.value[2];
  } else {
    return Refused(NumberReadStatus::kInvalid);
  }
  if (m < 1 || m > 12 || d < 1 || d > 31) return Refused(NumberReadStatus::kInvalid);
  NumberReading reading;
  if (y > 0) {
    std::string year = std::to_string(y);
    if (y < 10) year.insert(year.begin(), '0');
    for (char c : year) reading.voices.push_back(DigitVoice(c));
    reading.voices.push_back("nian");
  }
  Append(reading.voices, SmallNumberVoices(m));
  reading.voices.push_back("yue");
  Append(reading.voices, SmallNumberVoices(d));
  reading.voices.push_back("ri");
  return reading;
}

NumberReading ChineseTime(std::string_view text, bool clock) {
  const DigitRuns runs = ScanDigitRuns(text);
  int64_t h = -1, m = -1, s = -1;
  if (runs.count == 1) {
    h = runs.value[0] / 10000;
    m = runs.value[0] / 100 % 100;
    s = runs.value[0] % 100;
  } else if (runs.count == 3) {
    h = runs.value[0];
    m = runs.value[1];
    s = runs.value[2];
  } else if (runs.count == 2 && clock) {
    h = runs.value[0];
    m = runs.value[1];
    s = 0;
  } else if (runs.count == 2) {
    h = 0;
    m = runs.value[0];
    s = runs.value[1];
  }
  if (h < 0 || h > 24 || m < 0 || m > 59 || s < 0 || s > 59) {
    return Refused(NumberReadStatus::kInvalid);
  }
  NumberReading reading;
  std::vector<std::string>& v = reading.voices;
  if (h != 0) {
    Append(v, SmallNumberVoices(h));
  } else if (clock) {
    v.push_back("0");
  }
  if (clock) {
    v.push_back("dian");
  } else if (h > 0) {
    v.push_back("xiaoshi");
  }
  if (m != 0) {
    Append(v, SmallNumberVoices(m));
  } else if (clock) {
    v.push_back("0");
  }
  if (clock || m > 0) v.push_back("fen");
  if (s >= 1) {
    Append(v, SmallNumberVoices(s));
    v.push_back("miao");
  } else if (!clock) {
    v.push_back("0");
    v.push_back("miao");
  }
  return reading;
}

// --- English -----------------------------------------------------------

// The leading integer of a text (blanks, then an optional '+', then
// digits); false when it has more than kMaxIntegerDigits significant digits.
bool LeadingInteger(std::string_view text, int64_t* value) {
  std::string_view rest = SkipLeading(text, " \t\n\v\f\r");
  if (!rest.empty() && rest[0] == '+') rest.remove_prefix(1);
  rest = SkipLeading(rest, "0");
  int64_t v = 0;
  for (size_t i = 0; i < rest.size() && platform::IsAsciiDigit(rest[i]); ++i) {
    if (i == kMaxIntegerDigits) return false;
    v = v * 10 + (rest[i] - '0');
  }
  *value = v;
  return true;
}

NumberReading EnglishNumber(std::string_view text, bool money) {
  int64_t value = 0;
  if (!LeadingInteger(text, &value)) return Refused(NumberReadStatus::kTooManyDigits);
  NumberReading reading{NumberReadStatus::kOk, EnglishNumberWords(value)};
  if (reading.voices.empty()) reading.voices.push_back("0");
  const size_t dot = text.find('.');
  if (dot != std::string_view::npos && (money || DecimalsAboveZero(text, dot))) {
    const std::vector<std::string> decimals = EnglishDigitWords(text.substr(dot + 1));
    if (!decimals.empty()) {
      reading.voices.push_back("dian");
      Append(reading.voices, decimals);
    }
  }
  if (money) reading.voices.push_back("yuan");
  return reading;
}

}  // namespace

std::string_view NumberCodeVoice(char code) {
  if (code < kFirstNumberCode || code > kLastNumberCode) return {};
  return kCodeVoices[static_cast<size_t>(code - kFirstNumberCode)];
}

ChineseCodes ChineseNumberCodes(std::string_view digits) {
  ChineseCodes codes;
  if (digits.empty()) {
    codes.integer.assign(1, '0');
    return codes;
  }
  const size_t dot = digits.find('.');
  const std::string_view integer = digits.substr(0, dot);
  if (dot != std::string_view::npos) codes.fraction = FractionCodes(digits.substr(dot + 1));
  if (integer.size() > kMaxIntegerDigits) {
    codes.ok = false;
    return codes;
  }
  codes.integer = ReadBackwards(BackwardUnits(integer));
  return codes;
}

std::vector<std::string> CodeVoices(std::string_view codes) {
  std::vector<std::string> voices;
  for (char c : codes) {
    const std::string_view name = NumberCodeVoice(c);
    if (!name.empty()) voices.emplace_back(name);
  }
  return voices;
}

std::vector<std::string> EnglishNumberWords(int64_t n) {
  std::vector<std::string> words;
  if (n <= 0) return words;
  const std::array<std::pair<int64_t, const char*>, 3> groups = {
      {{kBillion, "billion"}, {kMillion, "million"}, {kThousand, "thousand"}}};
  for (const auto& [size, name] : groups) {
    const int64_t group = size == kBillion ? n / size : n / size % kThousand;
    if (group > 0) {
      Append(words, EnglishNumberWords(group));
      words.push_back(name);
    }
  }
  const int64_t hundreds = n / 100 % 10;
  const int64_t tens = n % 100;
  if (hundreds > 0) {
    words.push_back(std::to_string(hundreds));
    words.push_back("hundred");
    if (tens != 0) words.push_back("and");
  }
  if (tens >= 1 && tens <= 20) {
    words.push_back(std::to_string(tens));
  } else if (tens > 20) {
    words.push_back(std::to_string(tens / 10 * 10));
    if (tens % 10 != 0) words.push_back(std::to_string(tens % 10));
  }
  return words;
}

std::vector<std::string> EnglishDigitWords(std::string_view text) {
  std::vector<std::string> words;
  for (char c : text) {
    if (platform::IsAsciiDigit(c)) words.push_back(DigitVoice(c));
  }
  return words;
}

NumberReading ReadNumber(std::string_view text, int32_t mode, int32_t language) {
  const bool english = language == kEnglishLanguage;
  switch (static_cast<NumberMode>(mode)) {
    case NumberMode::kNumber:
    case NumberMode::kMoney: {
      // No voice says a minus sign: "-5" must not come out as fifteen.
      if (text.find('-') != std::string_view::npos) {
        return Refused(NumberReadStatus::kMinusSign);
      }
      const bool money = mode == static_cast<int32_t>(NumberMode::kMoney);
      if (english) return EnglishNumber(text, money);
      return money ? ChineseMoney(text) : ChineseNumber(text);
    }
    case NumberMode::kDigits: {
      NumberReading reading;
      for (char c : text) {
        if (platform::IsAsciiDigit(c)) reading.voices.push_back(DigitVoice(c));
        if (c == '.') reading.voices.push_back("dian");
      }
      return reading;
    }
    case NumberMode::kDate:
      return english ? Refused(NumberReadStatus::kNoReading) : ChineseDate(text);
    case NumberMode::kClock:
    case NumberMode::kDuration:
      if (english) return Refused(NumberReadStatus::kNoReading);
      return ChineseTime(text, mode == static_cast<int32_t>(NumberMode::kClock));
  }
  return Refused(NumberReadStatus::kNoReading);
}

}  // namespace telephony
