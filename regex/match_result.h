// MatchResultT: the outcome of one search, as a row of ints.
//
//   element 0       1 when matched
//   element 1       the highest group number h of the pattern
//   element 2 + 2g  start of group g (group 0 is the whole match), -1 when
//                   the group took no part
//   element 3 + 2g  end of group g (exclusive), -1 when it took no part
//
// A failed search gives an empty row; reading past the end gives 0 for
// elements 0 and 1 and -1 for positions. Start and end are the smaller and
// the larger capture position, so right-to-left captures read the same way.
// A value type; copy freely.
#ifndef VTTEL_REGEX_MATCH_RESULT_H_
#define VTTEL_REGEX_MATCH_RESULT_H_

#include <string_view>
#include <utility>
#include <vector>

namespace regex {

class MatchResultT {
 public:
  MatchResultT() = default;
  explicit MatchResultT(std::vector<int> values) : values_(std::move(values)) {}

  // Element i, or its default past the end.
  int Get(int index) const {
    if (index >= 0 && index < static_cast<int>(values_.size())) return values_[index];
    return index < 2 ? 0 : -1;
  }
  bool IsMatched() const { return Get(0) != 0; }
  int MaxGroupNumber() const { return Get(1); }
  int GetStart(int group = 0) const { return Get(2 + 2 * group); }
  int GetEnd(int group = 0) const { return Get(3 + 2 * group); }
  // The bytes of group g in text, empty when it took no part.
  std::string_view Group(std::string_view text, int group = 0) const {
    const int s = GetStart(group);
    const int e = GetEnd(group);
    if (s < 0 || e < s || static_cast<size_t>(e) > text.size()) return {};
    return text.substr(static_cast<size_t>(s), static_cast<size_t>(e - s));
  }
  const std::vector<int>& values() const { return values_; }

 private:
  std::vector<int> values_;
};

using MatchResult = MatchResultT;

}  // namespace regex

#endif  // VTTEL_REGEX_MATCH_RESULT_H_
