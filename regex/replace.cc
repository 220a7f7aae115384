#include "regex/replace.h"

#include <cstring>

#include "platform/gbk.h"
#include "regex/builder.h"
#include "regex/limits.h"

namespace regex {

namespace {

// "$" and one of $ & ` ' + _ or a digit, or "$" and a brace text up to the
// first "}" on its line.
constexpr std::string_view kReferencePattern = "\\$([$&`'+_0-9]|\\{.*?\\})";
// "$n" reads at most this many digits.
constexpr int kMaxReferenceDigits = 3;

// The reference pattern of the process: compiled once, at the first use,
// and only read from then on.
const CRegexpT& ReferencePattern() {
  static const CRegexpT pattern(kReferencePattern, 0);
  return pattern;
}

// Builds the pairs of one replacement: literal runs between references,
// merged, so that a reference that stays literal joins the text around it.
class TemplateScanner {
 public:
  TemplateScanner(const CRegexpT& re, std::string_view replacement,
                  std::vector<TemplatePair>* pairs)
      : re_(re), replacement_(replacement), pairs_(pairs) {}

  // Takes the reference found at [p, end).
  void Reference(int p, int end) {
    const char c = replacement_[static_cast<size_t>(p) + 1];
    if (c == '$') {
      LiteralUpTo(p + 1);  // the first "$" is kept, the second dropped
      literal_from_ = end;
    } else if (c == '{') {
      const int number = re_.GetNamedGroupNumber(
          replacement_.substr(static_cast<size_t>(p) + 2, static_cast<size_t>(end - p - 3)));
      if (number >= 1 && number <= re_.highest_group()) Emit(p, end, kGroupReference, number);
    } else if (platform::IsAsciiDigit(c)) {
      Digits(p);
    } else {
      Emit(p, end, kByteReference, static_cast<unsigned char>(c));
    }
  }

  void Finish() { LiteralUpTo(static_cast<int>(replacement_.size())); }

 private:
  // "$" and up to three digits (read past the reference match): the last
  // digit is dropped while the number is above the highest group.
  void Digits(int p) {
    int digits = 0;
    int number = 0;
    for (size_t i = static_cast<size_t>(p) + 1;
         digits < kMaxReferenceDigits && i < replacement_.size() &&
         platform::IsAsciiDigit(replacement_[i]);
         ++i, ++digits) {
      number = number * 10 + (replacement_[i] - '0');
    }
    bool dropped = false;
    while (digits > 0 && number > re_.highest_group()) {
      number /= 10;
      --digits;
      dropped = true;
    }
    if (digits == 0 || (dropped && number == 0)) return;  // "$" and the digits stay literal
    Emit(p, p + 1 + digits, kGroupReference, number);
  }

  void Emit(int p, int end, int kind, int value) {
    LiteralUpTo(p);
    pairs_->push_back(TemplatePair{kind, value});
    literal_from_ = end;
  }

  void LiteralUpTo(int p) {
    if (p > literal_from_) pairs_->push_back(TemplatePair{literal_from_, p - literal_from_});
    literal_from_ = p;
  }

  const CRegexpT& re_;
  std::string_view replacement_;
  std::vector<TemplatePair>* pairs_;
  int literal_from_ = 0;
};

// One replace: the template, the spans each match needs, the 64-bit length
// of the output, then the output.
//
// A match is kept as a record of ints: the match's start and end, then the
// start and end of each group the template names (its slot), then, when
// the template has "$+", the span of the highest group that took part.
class ReplaceRun {
 public:
  ReplaceRun(const CRegexpT& re, std::string_view text, std::string_view replacement,
             std::vector<TemplatePair> pairs)
      : re_(re), text_(text), replacement_(replacement), pairs_(std::move(pairs)) {
    slot_of_.assign(static_cast<size_t>(re.highest_group()) + 1, -1);
    int slots = 0;
    for (const TemplatePair& p : pairs_) {
      if (p.offset == kGroupReference && slot_of_[static_cast<size_t>(p.value)] < 0) {
        slot_of_[static_cast<size_t>(p.value)] = slots++;
      }
      if (p.offset == kByteReference && p.value == '+') uses_plus_ = true;
    }
    plus_at_ = 2 + 2 * slots;
    width_ = plus_at_ + (uses_plus_ ? 2 : 0);
    total_ = static_cast<int64_t>(text.size());
  }

  // Collects the matches; the status of the searches and the count.
  ReplaceStatus Collect(int start, int count, CContext* ctx) {
    re_.PrepareMatch(ctx, text_, start);
    for (int found = 0; count < 0 || found < count; ++found) {
      const MatchResultT m = re_.Match(ctx);
      if (!m.IsMatched()) break;
      Keep(m);
      // The records themselves must stay within the limit as the output.
      if (total_ > kMaxReplaceBytes ||
          static_cast<int64_t>(records_.size() * sizeof(int)) > kMaxReplaceBytes) {
        return ReplaceStatus::kTooLong;
      }
    }
    return ctx->limit_hit == LimitKind::kNone ? ReplaceStatus::kDone : ReplaceStatus::kLimit;
  }

  int64_t total() const { return total_; }

  std::string Assemble() const {
    std::string out(static_cast<size_t>(total_), '\0');
    char* w = out.data();
    int prev_end = 0;
    const size_t n = records_.size() / static_cast<size_t>(width_);
    // A right-to-left pattern finds its matches from the end backwards.
    const bool backwards = (re_.flags() & kRightToLeft) != 0;
    for (size_t i = 0; i < n; ++i) {
      const int* r = &records_[(backwards ? n - 1 - i : i) * static_cast<size_t>(width_)];
      w = Copy(w, text_, prev_end, r[0]);
      for (const TemplatePair& p : pairs_) w = Piece(w, p, r);
      prev_end = r[1];
    }
    Copy(w, text_, prev_end, static_cast<int>(text_.size()));
    return out;
  }

 private:
  void Keep(const MatchResultT& m) {
    const size_t at = records_.size();
    records_.resize(at + static_cast<size_t>(width_));
    int* r = &records_[at];
    r[0] = m.GetStart(0);
    r[1] = m.GetEnd(0);
    for (size_t g = 0; g < slot_of_.size(); ++g) {
      if (slot_of_[g] < 0) continue;
      r[2 + 2 * slot_of_[g]] = m.GetStart(static_cast<int>(g));
      r[3 + 2 * slot_of_[g]] = m.GetEnd(static_cast<int>(g));
    }
    if (uses_plus_) {
      int g = re_.highest_group();
      while (g > 0 && m.GetStart(g) < 0) --g;
      r[plus_at_] = m.GetStart(g);
      r[plus_at_ + 1] = m.GetEnd(g);
    }
    int64_t piece = 0;
    for (const TemplatePair& p : pairs_) {
      const Span s = SpanOf(p, r);
      piece += s.end - s.start;
    }
    total_ += piece - (r[1] - r[0]);
  }

  // Where a pair's bytes come from: the replacement (literals) or the text.
  struct Span {
    bool from_replacement;
    int start;
    int end;
  };

  Span SpanOf(const TemplatePair& p, const int* r) const {
    const int length = static_cast<int>(text_.size());
    if (p.offset >= 0) return {true, p.offset, p.offset + p.value};
    if (p.offset == kGroupReference) {
      const int* g = &r[2 + 2 * slot_of_[static_cast<size_t>(p.value)]];
      return g[0] < 0 ? Span{false, 0, 0} : Span{false, g[0], g[1]};
    }
    switch (p.value) {
      case '&': return {false, r[0], r[1]};
      case '`': return {false, 0, r[0]};
      case '\'': return {false, r[1], length};
      case '+': return {false, r[plus_at_], r[plus_at_ + 1]};
      default: return {false, 0, length};  // '_'
    }
  }

  char* Piece(char* w, const TemplatePair& p, const int* r) const {
    const Span s = SpanOf(p, r);
    return Copy(w, s.from_replacement ? replacement_ : text_, s.start, s.end);
  }

  static char* Copy(char* w, std::string_view from, int start, int end) {
    if (end <= start) return w;
    std::memcpy(w, from.data() + start, static_cast<size_t>(end - start));
    return w + (end - start);
  }

  const CRegexpT& re_;
  std::string_view text_;
  std::string_view replacement_;
  std::vector<TemplatePair> pairs_;
  std::vector<int> slot_of_;  // per group: its slot in a record, or -1
  bool uses_plus_ = false;
  int plus_at_ = 2;
  int width_ = 2;
  std::vector<int> records_;
  int64_t total_ = 0;
};

}  // namespace

bool BuildReplaceTemplate(const CRegexpT& re, std::string_view replacement, CContext* ctx,
                          std::vector<TemplatePair>* pairs) {
  pairs->clear();
  const CRegexpT& references = ReferencePattern();
  TemplateScanner scanner(re, replacement, pairs);
  references.PrepareMatch(ctx, replacement, 0);
  for (MatchResultT m = references.Match(ctx); m.IsMatched(); m = references.Match(ctx)) {
    scanner.Reference(m.GetStart(0), m.GetEnd(0));
  }
  scanner.Finish();
  return ctx->limit_hit == LimitKind::kNone;
}

ReplaceOutcome Replace(const CRegexpT& re, std::string_view text, std::string_view replacement,
                       int start, int count, CContext* ctx) {
  ReplaceOutcome outcome;
  if (re.builder().root() == nullptr) {
    outcome.status = ReplaceStatus::kNoPattern;
    return outcome;
  }
  std::vector<TemplatePair> pairs;
  if (!BuildReplaceTemplate(re, replacement, ctx, &pairs)) {
    outcome.status = ReplaceStatus::kLimit;
    return outcome;
  }
  ReplaceRun run(re, text, replacement, std::move(pairs));
  outcome.status = run.Collect(start, count, ctx);
  outcome.length = run.total();
  if (outcome.status == ReplaceStatus::kDone) outcome.output = run.Assemble();
  return outcome;
}

}  // namespace regex
