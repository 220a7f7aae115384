// Replace: every match of a pattern in a text (or the first count of them)
// replaced by a replacement text with references to the match.
//
// References in the replacement:
//   $$          a single "$"
//   $&  $0      the whole match
//   $`          the text before the match (from position 0)
//   $'          the text after the match
//   $+          the highest-numbered group that took part in the match (the
//               whole match when no numbered group did)
//   $_          the whole text
//   $n          group n: up to three digits, the last dropped while the
//               number is above the pattern's highest group ("$12" with two
//               groups is group 1 and the digit 2); when none is left, "$"
//               and the digits stay literal ("$9")
//   ${name}     the named group of that name (ASCII case-blind); any other
//               brace text (an unknown name, "${1}") stays literal
// Every other byte is copied. A group that took no part gives "".
//
// The matches are found by one continued search (CRegexpT::Match(ctx)), so
// an empty match is never taken twice at one place and the search always
// ends. The output is the text before each match (counted from position 0,
// whatever the start position), the replacement of the match, and after
// the last match the rest of the text. Its length is counted in 64 bits
// before it is assembled: a result above kMaxReplaceBytes fails.
//
// The references are found with one reference pattern shared by the whole
// process, compiled at the first Replace (a function-local static, so two
// threads replacing for the first time at once compile it once).
//
// Thread rules: as matching (regexp.h): any number of threads may replace
// with one compiled pattern, each with its own context.
#ifndef VTTEL_REGEX_REPLACE_H_
#define VTTEL_REGEX_REPLACE_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "regex/context.h"
#include "regex/regexp.h"

namespace regex {

// One pair of a reference template, in the order of the replacement:
//   offset >= 0: value bytes of the replacement from offset (a literal);
//   offset == kByteReference: value is one of & ` ' + _;
//   offset == kGroupReference: value is a group number.
struct TemplatePair {
  int offset;
  int value;
};
constexpr int kByteReference = -1;
constexpr int kGroupReference = -2;

// Scans replacement into its reference template for re. False when the scan
// was stopped by ctx's stop request or a limit (pairs is then incomplete).
bool BuildReplaceTemplate(const CRegexpT& re, std::string_view replacement, CContext* ctx,
                          std::vector<TemplatePair>* pairs);

enum class ReplaceStatus {
  kDone,       // output holds the new text
  kNoPattern,  // the pattern has nothing to match (not compiled)
  kLimit,      // a search stopped early: ctx->limit_hit says why
  kTooLong,    // the result would be longer than kMaxReplaceBytes
};

struct ReplaceOutcome {
  ReplaceStatus status = ReplaceStatus::kDone;
  std::string output;
  // kTooLong: the length reached when counting stopped (above the limit).
  int64_t length = 0;
};

// Replaces the matches of re in text from start (negative: the beginning);
// count < 0 replaces every match, 0 none (the output is a copy of the
// text), n the first n. ctx carries the stop request and the limits of the
// searches (its search state is overwritten); text and replacement may be
// the same bytes.
ReplaceOutcome Replace(const CRegexpT& re, std::string_view text, std::string_view replacement,
                       int start, int count, CContext* ctx);

}  // namespace regex

#endif  // VTTEL_REGEX_REPLACE_H_
