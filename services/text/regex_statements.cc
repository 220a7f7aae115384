#include "services/text/regex_statements.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/arguments.h"
#include "engine/statement_args.h"
#include "engine/tel_basic.h"
#include "frame/log.h"
#include "regex/context.h"
#include "regex/limits.h"
#include "regex/regexp.h"
#include "regex/replace.h"
#include "regex/split.h"

namespace services {

using engine::ArgInt;
using engine::BuildStatement;
using engine::StatementBuild;
using engine::TagVar;

namespace {

static_assert(regex::kMaxReplaceBytes == engine::kMaxStringBytes,
              "a replace result must fit a script value");

bool IsString(const TagVar& v) { return v.kind == engine::kVarString; }

// array[key] = bytes; a read-only array is left as it is.
void WriteElement(TagVar& array, int32_t key, std::string_view bytes) {
  TagVar k;
  k.SetInt(key);
  array.Element(k)->AssignString(bytes);
}

// The pattern a statement compiled last, kept while the pattern's bytes
// stay the same (the pattern may be a variable that changes between runs).
class PatternCache {
 public:
  const regex::CRegexpA& Get(std::string_view pattern) {
    if (compiled_ == nullptr || pattern != bytes_) {
      compiled_ = std::make_unique<regex::CRegexpA>(pattern, 0);
      bytes_.assign(pattern);
    }
    return *compiled_;
  }

 private:
  std::string bytes_;
  std::unique_ptr<regex::CRegexpA> compiled_;
};

// The base of the three statements: the line's arguments, the pattern
// cache and the search context, which carries the acting line's stop
// request and keeps its memory from one run to the next.
class RegexStatement : public engine::ArgsStatement {
 public:
  explicit RegexStatement(const StatementBuild& b) : ArgsStatement(b) {}

 protected:
  const regex::CRegexpA& Pattern(const TagVar& pattern) { return cache_.Get(pattern.Bytes()); }
  // The context for this run, polling the acting line's stop request.
  regex::CContext* Context() {
    engine::TagTelBasic* script = Compiling();
    context_.stop = script != nullptr ? &script->GetRunContext()->stopped : nullptr;
    return &context_;
  }

 private:
  PatternCache cache_;
  regex::CContext context_;
};

// "Ereg(" (text, start, pattern, array): one search from the start (a
// 0-based byte offset, below 0 taken as 0); array[g] = the text of every
// group g that took part. The 1-based position of the match, or 0.
class TagEreg : public RegexStatement {
 public:
  explicit TagEreg(const StatementBuild& b) : RegexStatement(b) {}
  int32_t Execute() override {
    const TagVar& text = Argument(0);
    const TagVar& pattern = Argument(2);
    if (!IsString(text) || !IsString(pattern)) return 0;
    const int32_t start = std::max(ArgInt(Argument(1)), 0);
    const std::string_view bytes = text.Bytes();
    const regex::CRegexpA& re = Pattern(pattern);
    const regex::MatchResult m = re.Match(bytes, start, Context());
    if (!m.IsMatched()) return 0;
    // Copies first: the array may be the text itself.
    std::vector<std::pair<int32_t, std::string>> groups;
    for (int g = 0; g <= m.MaxGroupNumber(); ++g) {
      if (m.GetStart(g) >= 0) groups.emplace_back(g, std::string(m.Group(bytes, g)));
    }
    const int32_t position = m.GetStart(0) + 1;
    for (const auto& [g, group_text] : groups) WriteElement(Argument(3), g, group_text);
    return position;
  }
};

// "EregRepl(" (text variable, pattern, replacement, count): the text
// replaced (count < 0 every match, 0 none, n the first n) is stored into
// the variable. 1 when it was stored; 0 when the text or the pattern is not
// a string, a search stopped early, the result would be too long or the
// variable is read-only. A replacement that is not a string is taken in its
// text form (5 gives "5").
class TagEregRepl : public RegexStatement {
 public:
  explicit TagEregRepl(const StatementBuild& b) : RegexStatement(b) {}
  int32_t Execute() override {
    TagVar& text = Argument(0);
    const TagVar& pattern = Argument(1);
    const TagVar& replacement = Argument(2);
    if (!IsString(text) || !IsString(pattern)) return 0;
    std::string converted;
    if (!IsString(replacement)) replacement.ToText(converted);
    const std::string_view with = IsString(replacement) ? replacement.Bytes() : converted;
    const regex::CRegexpA& re = Pattern(pattern);
    const regex::ReplaceOutcome r =
        regex::Replace(re, text.Bytes(), with, 0, ArgInt(Argument(3)), Context());
    if (r.status == regex::ReplaceStatus::kTooLong) LogTooLong(r.length, pattern.Bytes());
    if (r.status != regex::ReplaceStatus::kDone) return 0;
    return text.SetBytes(r.output.data(), r.output.size()) != nullptr ? 1 : 0;
  }

 private:
  static void LogTooLong(int64_t length, std::string_view pattern) {
    char head[160];
    std::snprintf(head, sizeof head,
                  "EregRepl(: the result passes %" PRId64 " bytes (%" PRId64
                  " counted), the text is left unchanged, pattern \"",
                  static_cast<int64_t>(regex::kMaxReplaceBytes), length);
    std::string line(head);
    line.append(pattern.substr(0, regex::kReportedPatternBytes));
    line.append(pattern.size() > regex::kReportedPatternBytes ? "...\"" : "\"");
    frame::LogAlways(line);
  }
};

// "EregSplit(" (text, pattern, array): array[0] to array[n - 1] = the
// pieces of the text between the matches; n (at least 1). 0 when the text
// or the pattern is not a string, the array is read-only or a search
// stopped early (nothing is written then).
class TagEregSplit : public RegexStatement {
 public:
  explicit TagEregSplit(const StatementBuild& b) : RegexStatement(b) {}
  int32_t Execute() override {
    const TagVar& text = Argument(0);
    const TagVar& pattern = Argument(1);
    TagVar& array = Argument(2);
    if (!IsString(text) || !IsString(pattern) || array.readOnly != 0) return 0;
    std::vector<std::string_view> pieces;
    if (!regex::Split(Pattern(pattern), text.Bytes(), Context(), &pieces)) return 0;
    // Copies first: the array may be the text itself.
    const std::vector<std::string> copies(pieces.begin(), pieces.end());
    for (size_t i = 0; i < copies.size(); ++i) {
      WriteElement(array, static_cast<int32_t>(i), copies[i]);
    }
    return static_cast<int32_t>(copies.size());
  }
};

}  // namespace

void RegisterRegexStatements() {
  engine::StatementRegistry& r = engine::Statements();
  r.Register("Ereg(", &BuildStatement<TagEreg>);
  r.Register("EregRepl(", &BuildStatement<TagEregRepl>);
  r.Register("EregSplit(", &BuildStatement<TagEregSplit>);
}

}  // namespace services
