#include "simboard/control_request.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <vector>

#include "platform/gbk.h"

namespace simboard {
namespace {

// How many words follow the request word.
struct VerbRow {
  std::string_view word;
  ControlVerb verb;
  size_t min_args;
  size_t max_args;
};

// CAPTURE is split into its START and STOP forms after the table.
constexpr std::array<VerbRow, 16> kVerbs{{
    {"CALL", ControlVerb::kCall, 3, 3},
    {"HANGUP", ControlVerb::kHangup, 1, 1},
    {"ANSWER", ControlVerb::kAnswer, 1, 1},
    {"REJECT", ControlVerb::kReject, 2, 2},
    {"BLOCK", ControlVerb::kBlock, 1, 1},
    {"UNBLOCK", ControlVerb::kUnblock, 1, 1},
    {"LIFT", ControlVerb::kLift, 1, 1},
    {"DROP", ControlVerb::kDrop, 1, 1},
    {"KEYS", ControlVerb::kKeys, 2, 3},
    {"INJECT", ControlVerb::kInject, 2, 2},
    {"CAPTURE", ControlVerb::kCaptureStart, 2, 3},
    {"STATE", ControlVerb::kState, 1, 1},
    {"WAIT", ControlVerb::kWait, 3, 3},
    {"EVENTS", ControlVerb::kEvents, 0, 0},
    {"PING", ControlVerb::kPing, 0, 0},
    {"QUIT", ControlVerb::kQuit, 0, 0},
}};

std::vector<std::string_view> SplitWords(std::string_view line) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && platform::IsAsciiBlank(line[i])) ++i;
    size_t start = i;
    while (i < line.size() && !platform::IsAsciiBlank(line[i])) ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

std::optional<Address> ParseAddress(std::string_view word) {
  if (word.empty()) return std::nullopt;
  std::string upper(word);
  upper[0] = platform::AsciiUpper(upper[0]);
  return Address::Parse(upper);
}

// A decimal number of digits only; std::nullopt when it is not one or does
// not fit.
bool IsAllDigits(std::string_view word) {
  return !word.empty() &&
         std::all_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<int64_t> ParseNumber(std::string_view word) {
  if (!IsAllDigits(word)) return std::nullopt;
  int64_t value = 0;
  auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (ec != std::errc() || end != word.data() + word.size()) return std::nullopt;
  return value;
}

// Keys a telephone can press, in upper case; std::nullopt for any other.
std::optional<std::string> ParseDigits(std::string_view word) {
  std::string digits;
  for (char c : word) {
    char up = platform::AsciiUpper(c);
    bool key = (up >= '0' && up <= '9') || up == '*' || up == '#' || (up >= 'A' && up <= 'D');
    if (!key) return std::nullopt;
    digits += up;
  }
  return digits;
}

// Fills the arguments of a request whose verb and word count are right.
bool FillArguments(ControlRequest& r, const std::vector<std::string_view>& args,
                   std::string& error) {
  switch (r.verb) {
    case ControlVerb::kCall:
      r.first = args[1];
      r.second = args[2];
      return true;
    case ControlVerb::kReject: {
      std::optional<int64_t> progress = ParseNumber(args[1]);
      if (!progress || (*progress != 3 && *progress != 4 && *progress != 8)) {
        error = "bad progress (3, 4 or 8)";
        return false;
      }
      r.number = static_cast<int32_t>(*progress);
      return true;
    }
    case ControlVerb::kKeys: {
      std::optional<std::string> digits = ParseDigits(args[1]);
      if (!digits) {
        error = "bad digits";
        return false;
      }
      r.first = *digits;
      r.number = kControlDefaultKeyGapMs;
      if (args.size() == 3) {
        std::optional<int64_t> gap = ParseNumber(args[2]);
        if (!gap || *gap > kControlMaxKeyGapMs) {
          error = "bad gap";
          return false;
        }
        r.number = static_cast<int32_t>(*gap);
      }
      return true;
    }
    case ControlVerb::kInject:
      r.first = args[1];
      return true;
    case ControlVerb::kCaptureStart:
      if (ControlWordEquals(args[1], "START") && args.size() == 3) {
        r.first = args[2];
        return true;
      }
      if (ControlWordEquals(args[1], "STOP") && args.size() == 2) {
        r.verb = ControlVerb::kCaptureStop;
        return true;
      }
      error = "bad capture (START <file> or STOP)";
      return false;
    default:
      return true;
  }
}

bool HasLineArgument(ControlVerb verb) {
  return verb != ControlVerb::kWait && verb != ControlVerb::kEvents &&
         verb != ControlVerb::kPing && verb != ControlVerb::kQuit;
}

bool FillWait(ControlRequest& r, const std::vector<std::string_view>& args, std::string& error) {
  r.first = args[0];
  // Any word: events name conference groups ("G1") besides lines.
  r.second = args[1];
  if (!IsAllDigits(args[2])) {
    error = "bad timeout";
    return false;
  }
  // Too many digits for any integer still means "as long as allowed".
  int64_t timeout = ParseNumber(args[2]).value_or(kControlMaxWaitMs);
  r.number = static_cast<int32_t>(std::min<int64_t>(timeout, kControlMaxWaitMs));
  return true;
}

}  // namespace

bool ControlWordEquals(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return platform::AsciiUpper(x) == platform::AsciiUpper(y);
         });
}

std::optional<ControlRequest> ParseControlRequest(std::string_view line, std::string& error) {
  std::vector<std::string_view> words = SplitWords(line);
  if (words.empty()) {
    error = "empty request";
    return std::nullopt;
  }
  auto row = std::find_if(kVerbs.begin(), kVerbs.end(),
                          [&](const VerbRow& v) { return ControlWordEquals(v.word, words[0]); });
  if (row == kVerbs.end()) {
    error = std::string(kErrUnknownRequest);
    return std::nullopt;
  }
  std::vector<std::string_view> args(words.begin() + 1, words.end());
  if (args.size() < row->min_args || args.size() > row->max_args) {
    error = "wrong argument count";
    return std::nullopt;
  }
  ControlRequest r;
  r.verb = row->verb;
  if (r.verb == ControlVerb::kWait) {
    if (!FillWait(r, args, error)) return std::nullopt;
    return r;
  }
  if (HasLineArgument(r.verb)) {
    std::optional<Address> line_address = ParseAddress(args[0]);
    if (!line_address) {
      error = "bad address";
      return std::nullopt;
    }
    r.line = *line_address;
  }
  if (!FillArguments(r, args, error)) return std::nullopt;
  return r;
}

}  // namespace simboard
