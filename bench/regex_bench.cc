// The regex engine side by side with PCRE2 (interpreter, and JIT for
// reference) and std::regex on the same patterns and texts:
//   Script/*      script-typical patterns compiled on every call, as the
//                 statements do (caller numbers, keys, query strings,
//                 splits, trims)
//   Throughput/*  one compiled pattern searched over 1 KB to 1 MB texts
//                 whose only match is at the end
//   Patho/*       patterns that make backtracking explode (small sizes, so
//                 std::regex finishes too)
#define PCRE2_CODE_UNIT_WIDTH 8
#include <benchmark/benchmark.h>
#include <pcre2.h>

#include <regex>
#include <string>

#include "regex/regexp.h"

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

}  // namespace

BENCHMARK_MAIN();
