// Helpers shared by the regex tests: a match written as text, so tables of
// cases read like the results they expect.
#ifndef VTTEL_TESTS_REGEX_REGEX_TEST_UTIL_H_
#define VTTEL_TESTS_REGEX_REGEX_TEST_UTIL_H_

#include <string>
#include <string_view>

#include "regex/limits.h"
#include "regex/regexp.h"

namespace regex_test {

// "-" for no match; else "s-e" for every group from 0, "?" for a group that
// took no part, separated by blanks: "0-3 1-2 ?".
inline std::string Spans(const regex::MatchResult& m) {
  if (!m.IsMatched()) return "-";
  std::string out;
  for (int g = 0; g <= m.MaxGroupNumber(); ++g) {
    if (g > 0) out += ' ';
    if (m.GetStart(g) < 0) {
      out += '?';
    } else {
      out += std::to_string(m.GetStart(g)) + "-" + std::to_string(m.GetEnd(g));
    }
  }
  return out;
}

inline std::string Run(std::string_view pattern, std::string_view text, int flags = 0,
                       int start = -1) {
  regex::CRegexpA re(pattern, flags);
  return Spans(re.Match(text, start));
}

// Every match of a search continued with one context: "0-0 1-4 ...".
inline std::string All(std::string_view pattern, std::string_view text, int flags = 0) {
  regex::CRegexpA re(pattern, flags);
  regex::CContext ctx;
  re.PrepareMatch(&ctx, text);
  std::string out;
  for (int i = 0; i < 100; ++i) {
    regex::MatchResult m = re.Match(&ctx);
    if (!m.IsMatched()) break;
    if (!out.empty()) out += ' ';
    out += std::to_string(m.GetStart()) + "-" + std::to_string(m.GetEnd());
  }
  return out;
}

// Records limit reports for the life of the object.
class LimitLog {
 public:
  LimitLog() {
    old_ = regex::SetLimitLogger([this](std::string_view text) {
      text_ += std::string(text);
      text_ += '\n';
    });
  }
  ~LimitLog() { regex::SetLimitLogger(old_); }
  LimitLog(const LimitLog&) = delete;
  LimitLog& operator=(const LimitLog&) = delete;
  const std::string& text() const { return text_; }

 private:
  regex::LimitLogger old_;
  std::string text_;
};

}  // namespace regex_test

#endif  // VTTEL_TESTS_REGEX_REGEX_TEST_UTIL_H_
