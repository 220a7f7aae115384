#include "regex/split.h"

#include <algorithm>
#include <utility>

namespace regex {

bool Split(const CRegexpT& re, std::string_view text, CContext* ctx,
           std::vector<std::string_view>* pieces) {
  pieces->clear();
  std::vector<std::pair<size_t, size_t>> matches;
  re.PrepareMatch(ctx, text, -1);
  for (MatchResultT m = re.Match(ctx); m.IsMatched(); m = re.Match(ctx)) {
    matches.emplace_back(static_cast<size_t>(m.GetStart(0)), static_cast<size_t>(m.GetEnd(0)));
  }
  if (ctx->limit_hit != LimitKind::kNone) return false;
  // A right-to-left pattern finds its matches from the end backwards.
  if ((re.flags() & kRightToLeft) != 0) std::reverse(matches.begin(), matches.end());
  size_t from = 0;
  for (const auto& [start, end] : matches) {
    pieces->push_back(text.substr(from, start - from));
    from = end;
  }
  pieces->push_back(text.substr(from));
  return true;
}

}  // namespace regex
