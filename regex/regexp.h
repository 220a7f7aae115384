// CRegexpT (also CRegexpA): the pattern object of the system's own regular
// expressions. It compiles a pattern once and matches it against texts of
// bytes; GBK double-byte characters get no special treatment.
//
//   regex::CRegexpA re("(\\d{3})-(\\d{4})");
//   regex::MatchResult m = re.Match(text);
//   if (m.IsMatched()) ... m.GetStart(1), m.GetEnd(1) ...
//
// Matching runs under the budget of the context (steps, backtrack and
// capture memory, native stack) and polls the context's stop flag; a search
// that reaches a limit fails (empty result), sets CContext::limit_hit and
// reports the limit with the pattern through the limit logger. No pattern
// can hang a line thread or overflow its stack.
//
// Thread rules: Compile on one thread; a compiled pattern may then be
// matched by several threads at once, each with its own context (Match
// without a context uses a temporary one).
#ifndef VTTEL_REGEX_REGEXP_H_
#define VTTEL_REGEX_REGEXP_H_

#include <string_view>

#include "regex/builder.h"
#include "regex/context.h"
#include "regex/element.h"
#include "regex/match_result.h"

namespace regex {

class CRegexpT {
 public:
  CRegexpT() = default;
  // Compiles pattern (bytes of the view) with the flag word.
  explicit CRegexpT(std::string_view pattern, int flags = 0) { Compile(pattern, flags); }
  CRegexpT(const CRegexpT&) = delete;
  CRegexpT& operator=(const CRegexpT&) = delete;

  // Compiles; never fails. A null pattern leaves nothing to match.
  void Compile(const char* pattern, int length, int flags = 0);
  // The bytes of the view; an empty view is the empty pattern (never the
  // null one, whatever its data pointer).
  void Compile(std::string_view pattern, int flags = 0) {
    Compile(pattern.empty() ? "" : pattern.data(), static_cast<int>(pattern.size()), flags);
  }

  // Searches text (NUL-terminated; its length counts up to the first NUL)
  // from start (negative: the beginning, or the end for a pattern compiled
  // right to left). With a context the search can be continued with
  // Match(ctx); the context must then outlive those calls, and so must text.
  MatchResultT Match(const char* text, int start = -1, CContext* ctx = nullptr) const;
  // As above over the bytes of the view (NUL bytes included).
  MatchResultT Match(std::string_view text, int start = -1, CContext* ctx = nullptr) const;

  // Prepares ctx for a series of searches over text from start.
  void PrepareMatch(CContext* ctx, std::string_view text, int start = -1) const;
  // Runs the search loop on a prepared context: the first search from the
  // start, each further one after the match before (an empty match is never
  // found twice at one place: there a non-empty match is tried first, then
  // the search moves on).
  MatchResultT Match(CContext* ctx) const;

  const CBuilderT& builder() const { return builder_; }
  int flags() const { return builder_.flags(); }
  int highest_group() const { return builder_.highest_group(); }
  // The number of a named group, -1 when the pattern has none of that name.
  int GetNamedGroupNumber(std::string_view name) const { return builder_.GroupNumber(name); }

 private:
  // Moves *pos to the next place where a match can begin; false when none.
  bool NextCandidate(const CContext& ctx, int* pos) const;
  MatchResultT Found(CContext* ctx, int start) const;

  CBuilderT builder_;
  // Search aids, computed by Compile (left to right only).
  bool anchored_ = false;    // the pattern begins with "^" (no "m") or \A
  bool use_first_ = false;   // first_ limits where a match can begin
  int single_first_ = -1;    // the one byte a match begins with, else -1
  int required_ = -1;        // a byte every match contains, else -1
  ByteSet first_;
};

using CRegexpA = CRegexpT;

}  // namespace regex

#endif  // VTTEL_REGEX_REGEXP_H_
