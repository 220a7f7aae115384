// The regex engine side by side with PCRE2 (interpreter, and JIT for
// reference) and std::regex on the same patterns and texts:
//   Script/*      script-typical patterns compiled on every call, as the
//                 statements do (caller numbers, keys, query strings,
//                 splits, trims)
//   Throughput/*  one compiled pattern searched over 1 KB to 1 MB texts
//                 whose only match is at the end
//   Patho/*       patterns that make backtracking explode (small sizes, so
//                 std::regex finishes too)
//   Replace/*     "\s+" replaced by " " over 1 MB, beside pcre2_substitute
//                 with PCRE2_SUBSTITUTE_GLOBAL
//   Split/*       a 200-field CSV line cut at ",", beside a pcre2_match loop
//   Statement/*   the "Ereg(" statement run again and again on the script
//                 patterns (it keeps its compiled pattern while the bytes
//                 stay the same), beside PCRE2 compiling and matching once
#define PCRE2_CODE_UNIT_WIDTH 8
#include <benchmark/benchmark.h>
#include <pcre2.h>

#include <memory>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "engine/keyword_table.h"
#include "engine/statement_registry.h"
#include "engine/tag_var.h"
#include "regex/regexp.h"
#include "regex/replace.h"
#include "regex/split.h"
#include "services/service_statements.h"

namespace {

enum Engine { kOurs = 0, kPcre = 1, kPcreJit = 2, kStd = 3 };

struct Pcre {
  Pcre(const std::string& pattern, bool jit) {
    int error;
    PCRE2_SIZE offset;
    code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                         PCRE2_DOLLAR_ENDONLY, &error, &offset, nullptr);
    if (jit) pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);
    data = pcre2_match_data_create_from_pattern(code, nullptr);
  }
  ~Pcre() {
    pcre2_match_data_free(data);
    pcre2_code_free(code);
  }
  bool Match(const std::string& text) {
    return pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0, 0, data,
                       nullptr) >= 0;
  }
  pcre2_code* code;
  pcre2_match_data* data;
};

struct ScriptCase {
  const char* pattern;
  const char* text;
};

const ScriptCase kScript[] = {
    {"^1[3-9]\\d{9}$", "13912345678"},                   // caller number
    {"^[0-9*]{1,8}#$", "12345*#"},                       // keys pressed
    {"(\\w+)=([^&]*)", "user=alice&pin=1234&lang=zh"},   // query string pair
    {"\\s*,\\s*", "alpha, beta ,gamma,delta"},           // split separator
    {"^\\s+|\\s+$", "   hello world   "},                // trim
};

void BM_Script(benchmark::State& state) {
  const ScriptCase& c = kScript[state.range(0)];
  const std::string text = c.text;
  const int engine = static_cast<int>(state.range(1));
  for (auto _ : state) {
    bool matched = false;
    switch (engine) {
      case kOurs: {
        regex::CRegexpA re(c.pattern);
        matched = re.Match(text).IsMatched();
        break;
      }
      case kPcre:
      case kPcreJit: {
        Pcre re(c.pattern, engine == kPcreJit);
        matched = re.Match(text);
        break;
      }
      default: {
        std::regex re(c.pattern);
        matched = std::regex_search(text, re);
      }
    }
    benchmark::DoNotOptimize(matched);
    if (!matched) state.SkipWithError("no match");
  }
}

const char* kThroughputPatterns[] = {
    "callid=\\d+",             // a literal start
    "\\d{3}-\\d{4}",           // a number shape
    "[a-z]+ing\\b",            // a word ending
    "(\\w+)@(\\w+)\\.com",     // groups
};

std::string ThroughputText(size_t size, int which) {
  static const char* kEnds[] = {"callid=42", "555-1234", "calling", "bob@vttel.com"};
  std::string text;
  const char* filler = "Line 12 dialled 8 digits; state IDLE, TONE Ok. ";
  while (text.size() + 64 < size) text += filler;
  text += kEnds[which];
  return text;
}

void BM_Throughput(benchmark::State& state) {
  const int which = static_cast<int>(state.range(0));
  const std::string text = ThroughputText(static_cast<size_t>(state.range(1)), which);
  const std::string pattern = kThroughputPatterns[which];
  const int engine = static_cast<int>(state.range(2));
  regex::CRegexpA ours(pattern);
  Pcre pcre(pattern, engine == kPcreJit);
  std::regex std_re(pattern);
  for (auto _ : state) {
    bool matched;
    if (engine == kOurs) {
      matched = ours.Match(text).IsMatched();
    } else if (engine == kStd) {
      matched = std::regex_search(text, std_re);
    } else {
      matched = pcre.Match(text);
    }
    benchmark::DoNotOptimize(matched);
    if (!matched) state.SkipWithError("no match");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}

void BM_Patho(benchmark::State& state) {
  static const char* kPatterns[] = {"^(a+)+$", "(x+x+)+y", "(a|aa)+$"};
  const std::string pattern = kPatterns[state.range(0)];
  const std::string text = std::string(18, pattern[1] == 'x' ? 'x' : 'a') + "!y";
  const int engine = static_cast<int>(state.range(1));
  regex::CRegexpA ours(pattern);
  Pcre pcre(pattern, engine == kPcreJit);
  std::regex std_re(pattern);
  std::string subject = state.range(0) == 1 ? std::string(18, 'x') + "!y" : std::string(18, 'a') + "!";
  for (auto _ : state) {
    bool matched;
    if (engine == kOurs) {
      matched = ours.Match(subject).IsMatched();
    } else if (engine == kStd) {
      matched = std::regex_search(subject, std_re);
    } else {
      matched = pcre.Match(subject);
    }
    benchmark::DoNotOptimize(matched);
  }
  (void)text;
}

// 1 MB of words with runs of blanks, tabs and line ends between them.
std::string SpacedText() {
  static const char* kGaps[] = {" ", "  ", "\t", " \r\n", "   "};
  std::string text;
  for (int i = 0; text.size() < (1 << 20); ++i) {
    text += "word";
    text += std::to_string(i % 1000);
    text += kGaps[i % 5];
  }
  return text;
}

void BM_Replace(benchmark::State& state) {
  const std::string text = SpacedText();
  const int engine = static_cast<int>(state.range(0));
  regex::CRegexpA ours("\\s+");
  regex::CContext ctx;
  Pcre pcre("\\s+", engine == kPcreJit);
  std::string out(text.size() + 64, '\0');
  for (auto _ : state) {
    size_t length = 0;
    if (engine == kOurs) {
      length = regex::Replace(ours, text, " ", 0, -1, &ctx).output.size();
    } else {
      PCRE2_SIZE size = out.size();
      const uint32_t options =
          PCRE2_SUBSTITUTE_GLOBAL | (engine == kPcreJit ? 0 : PCRE2_NO_JIT);
      pcre2_substitute(pcre.code, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0,
                       options, pcre.data, nullptr, reinterpret_cast<PCRE2_SPTR>(" "), 1,
                       reinterpret_cast<PCRE2_UCHAR*>(out.data()), &size);
      length = size;
    }
    benchmark::DoNotOptimize(length);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}

void BM_Split(benchmark::State& state) {
  std::string line;
  for (int i = 0; i < 200; ++i) {
    if (i > 0) line += ',';
    line += i % 7 == 0 ? "" : "field" + std::to_string(i);
  }
  const int engine = static_cast<int>(state.range(0));
  regex::CRegexpA ours(",");
  regex::CContext ctx;
  Pcre pcre(",", engine == kPcreJit);
  std::vector<std::string_view> pieces;
  for (auto _ : state) {
    if (engine == kOurs) {
      regex::Split(ours, line, &ctx, &pieces);
    } else {
      pieces.clear();
      const uint32_t options = engine == kPcreJit ? 0 : PCRE2_NO_JIT;
      PCRE2_SIZE from = 0;
      while (pcre2_match(pcre.code, reinterpret_cast<PCRE2_SPTR>(line.data()), line.size(), from,
                         options, pcre.data, nullptr) >= 0) {
        const PCRE2_SIZE* v = pcre2_get_ovector_pointer(pcre.data);
        pieces.emplace_back(line.data() + from, v[0] - from);
        from = v[1];
      }
      pieces.emplace_back(line.data() + from, line.size() - from);
    }
    benchmark::DoNotOptimize(pieces.data());
    if (pieces.size() != 200) state.SkipWithError("wrong pieces");
  }
}

// "Ereg(" built by the statement registry, run on one script pattern.
void BM_Statement(benchmark::State& state) {
  const ScriptCase& c = kScript[state.range(0)];
  services::RegisterServiceStatements();
  engine::TagVar text, start, pattern, array;
  text.SetString(c.text);
  start.SetInt(0);
  pattern.SetString(c.pattern);
  engine::StatementBuild build;
  build.row = engine::Keywords().FindKeyword("Ereg(");
  build.args = {&text, &start, &pattern, &array};
  std::string error;
  std::unique_ptr<engine::TagOper> s(engine::Statements().Build(build, &error));
  for (auto _ : state) {
    const int32_t r = s->Execute();
    benchmark::DoNotOptimize(r);
    if (r == 0) state.SkipWithError("no match");
  }
}

void ScriptArgs(benchmark::internal::Benchmark* b) {
  b->ArgNames({"case", "engine"});
  for (int c = 0; c < 5; ++c)
    for (int e = 0; e < 4; ++e) b->Args({c, e});
}

void ThroughputArgs(benchmark::internal::Benchmark* b) {
  b->ArgNames({"pattern", "bytes", "engine"});
  for (int p = 0; p < 4; ++p)
    for (int size : {1 << 10, 1 << 16, 1 << 20})
      for (int e = 0; e < 4; ++e) b->Args({p, size, e});
}

void PathoArgs(benchmark::internal::Benchmark* b) {
  b->ArgNames({"pattern", "engine"});
  for (int p = 0; p < 3; ++p)
    for (int e = 0; e < 4; ++e) b->Args({p, e});
}

BENCHMARK(BM_Script)->Apply(ScriptArgs);
BENCHMARK(BM_Throughput)->Apply(ThroughputArgs);
BENCHMARK(BM_Patho)->Apply(PathoArgs);
BENCHMARK(BM_Replace)->ArgName("engine")->Arg(kOurs)->Arg(kPcre)->Arg(kPcreJit);
BENCHMARK(BM_Split)->ArgName("engine")->Arg(kOurs)->Arg(kPcre)->Arg(kPcreJit);
BENCHMARK(BM_Statement)->ArgName("case")->DenseRange(0, 4);

}  // namespace

BENCHMARK_MAIN();
