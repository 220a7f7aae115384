// Split: the pieces of a text between the matches of a pattern.
//
// The matches are found by one continued search (CRegexpT::Match(ctx)), so
// a pattern that matches the empty text still moves on: "abc" split by
// "x*" gives "", "a", "b", "c", "". A text without a match is one piece; a
// match at the very beginning gives an empty first piece, one at the end an
// empty last piece.
//
// Thread rules: as matching (regexp.h).
#ifndef VTTEL_REGEX_SPLIT_H_
#define VTTEL_REGEX_SPLIT_H_

#include <string_view>
#include <vector>

#include "regex/context.h"
#include "regex/regexp.h"

namespace regex {

// Fills pieces with views into text (at least one piece). False when a
// search was stopped by ctx's stop request or a limit (ctx->limit_hit says
// which); pieces is then cleared.
bool Split(const CRegexpT& re, std::string_view text, CContext* ctx,
           std::vector<std::string_view>* pieces);

}  // namespace regex

#endif  // VTTEL_REGEX_SPLIT_H_
