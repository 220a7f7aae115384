// Pattern and text corpora of other engines (RE2's search tests and the
// AT&T files from Go's source, Python's re_tests.py), matched by the engine
// and by PCRE2 set up for the system's rules. Patterns that use syntax the
// two read differently by design are counted per category, not compared;
// everything else must agree (where PCRE2 10.42 errs, Perl decides).
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "regex/regexp.h"
#include "tests/regex/pcre_peer.h"
#include "tests/regex/perl_peer.h"
#include "tests/regex/regex_test_util.h"
#include "tests/test_support.h"

namespace {

std::string DataFile(const std::string& name) {
  return std::string(VTTEL_DATA_DIR) + "/regex/" + name;
}

std::string MustRead(const std::string& name) {
  auto text = testing_support::ReadFile(DataFile(name));
  if (!text) {
    ADD_FAILURE() << "corpus " << DataFile(name)
                  << " is missing: run bash tests/regex/fetch_data.sh build/data";
    return {};
  }
  return *text;
}

// Whether the PCRE2 pattern re finds something in s (classifies cases).
bool Finds(const char* re, const std::string& s) {
  regex_test::PcrePeer peer(re, 0);
  return peer.Spans(s) != "-";
}

// The category of a case the two engines read differently by design, or ""
// when they must agree.
std::string Category(const std::string& p, const std::string& text, int flags) {
  auto has = [&p](const char* s) { return p.find(s) != std::string::npos; };
  if (Finds(R"(\\[pPCNhHvVRXKEQLUlu]|\(\?P[=>]|\(\?&|\(\?\||\\[gk]\{|\(\*|\(\?C|\(\?[-+]\d|\(\?[a-zA-Z]*[xXnJU]|\\[cox]\{?)", p))
    return "syntax of other engines";
  if (Finds(R"(\\0|\[[^\]]*\\\d)", p)) return "digit escapes";
  int groups = 0;
  for (size_t i = 0; i < p.size(); ++i) {
    if (p[i] == '\\') {
      size_t j = i + 1;
      while (j < p.size() && p[j] >= '0' && p[j] <= '9') ++j;
      if (j > i + 2 || (j == i + 2 && p[i + 1] - '0' > groups)) return "digit escapes";
      ++i;
    } else if (p[i] == '(' && (i + 1 >= p.size() || p[i + 1] != '?')) {
      ++groups;
    }
  }
  if (Finds(R"(\{(?!\d{1,3}(,\d{0,3})?\}))", p)) return "lenient braces";
  if (has("[]") || has("[^]") || has("[:") || has(":]")) return "lenient classes";
  if (Finds(R"([*+?}][*+?{]|[*+?}]\?[*+?{]|\(\?[^)]*\)[*+?{])", p)) return "lenient quantifiers";
  if (text.find('\r') != std::string::npos || p.find('\r') != std::string::npos ||
      has("\\r"))
    return "CR line ends";
  if ((text.find('\v') != std::string::npos || text.find('\f') != std::string::npos) &&
      (has("\\s") || has("\\S") || has("\\W") || has("\\w")))
    return "space class";
  if (((flags & regex::kIgnoreCase) || has("(?i")) && has("[")) return "class case";
  return "";
}

// Named groups and recursions: only the whole match is compared.
bool WholeMatchOnly(const std::string& p) {
  return p.find("(?<") != std::string::npos || p.find("(?P<") != std::string::npos ||
         p.find("(?'") != std::string::npos || p.find("(?R") != std::string::npos ||
         Finds(R"(\(\?\d)", p);
}

std::string FirstSpan(const std::string& spans) { return spans.substr(0, spans.find(' ')); }

struct Tally {
  int compared = 0;
  int pcre_refuses = 0;
  int pcre_faults = 0;
  std::map<std::string, int> skipped;
  std::vector<std::string> mismatches;

  void Check(const std::string& pattern, const std::string& text, int flags) {
    regex::CRegexpA ours(pattern, flags);
    regex::CContext ctx;
    ctx.limits.max_steps = 1000000;
    std::string got = regex_test::Spans(ours.Match(text, -1, &ctx));  // never crashes
    std::string category = Category(pattern, text, flags);
    if (category.empty() && ours.builder().has_nullable_repeat()) category = "empty repetition";
    if (!category.empty()) {
      ++skipped[category];
      return;
    }
    regex_test::PcrePeer pcre(pattern, flags);
    if (!pcre.ok()) {
      ++pcre_refuses;
      return;
    }
    std::string expected = pcre.Spans(text);
    if (pcre.limit_hit() || ctx.limit_hit != regex::LimitKind::kNone) {
      ++skipped["limits"];
      return;
    }
    ++compared;
    if (WholeMatchOnly(pattern)) {
      got = FirstSpan(got);
      expected = FirstSpan(expected);
    }
    if (got == expected) return;
    std::string perl = regex_test::PerlSpansAndAll(pattern, text, flags);
    if (perl.substr(0, perl.find('|')) == regex_test::Spans(ours.Match(text))) {
      ++pcre_faults;
      return;
    }
    if (mismatches.size() < 30) {
      mismatches.push_back("/" + pattern + "/ " + std::to_string(flags) + " on \"" + text +
                           "\": ours " + got + ", pcre " + expected + ", perl " + perl);
    }
    ++skipped["MISMATCH"];
  }

  void Report(const char* corpus) {
    std::printf("%s: %d compared with PCRE2, %d refused by PCRE2, %d PCRE2 faults;", corpus,
                compared, pcre_refuses, pcre_faults);
    for (const auto& [name, n] : skipped) std::printf(" %s %d;", name.c_str(), n);
    std::printf("\n");
    for (const std::string& m : mismatches) ADD_FAILURE() << m;
  }
};

// Go's quoted strings: \\ \" \n \t \r \f \v \a \xNN \NNN \uNNNN.
std::string GoUnquote(const std::string& q) {
  std::string out;
  for (size_t i = 1; i + 1 < q.size(); ++i) {
    char c = q[i];
    if (c != '\\') {
      out += c;
      continue;
    }
    char e = q[++i];
    switch (e) {
      case 'n': out += '\n'; break;
      case 't': out += '\t'; break;
      case 'r': out += '\r'; break;
      case 'f': out += '\f'; break;
      case 'v': out += '\v'; break;
      case 'a': out += '\a'; break;
      case 'x': out += static_cast<char>(std::stoi(q.substr(i + 1, 2), nullptr, 16)); i += 2; break;
      case 'u': case 'U': {
        int n = e == 'u' ? 4 : 8;
        unsigned cp = static_cast<unsigned>(std::stoul(q.substr(i + 1, n), nullptr, 16));
        i += n;
        if (cp < 0x80) {
          out += static_cast<char>(cp);
        } else if (cp < 0x800) {
          out += static_cast<char>(0xC0 | (cp >> 6));
          out += static_cast<char>(0x80 | (cp & 63));
        } else if (cp < 0x10000) {
          out += static_cast<char>(0xE0 | (cp >> 12));
          out += static_cast<char>(0x80 | ((cp >> 6) & 63));
          out += static_cast<char>(0x80 | (cp & 63));
        } else {
          out += static_cast<char>(0xF0 | (cp >> 18));
          out += static_cast<char>(0x80 | ((cp >> 12) & 63));
          out += static_cast<char>(0x80 | ((cp >> 6) & 63));
          out += static_cast<char>(0x80 | (cp & 63));
        }
        break;
      }
      default:
        if (e >= '0' && e <= '7') {
          out += static_cast<char>(std::stoi(q.substr(i, 3), nullptr, 8));
          i += 2;
        } else {
          out += e;
        }
    }
  }
  return out;
}

TEST(RegexCorpus, Re2SearchTests) {
  std::istringstream in(MustRead("re2-search.txt"));
  Tally tally;
  std::string line;
  std::vector<std::string> strings;
  enum { kNone, kStrings, kRegexps } mode = kNone;
  int cases = 0;
  while (std::getline(in, line)) {
    if (line == "strings") {
      strings.clear();
      mode = kStrings;
    } else if (line == "regexps") {
      mode = kRegexps;
    } else if (!line.empty() && line[0] == '"') {
      if (mode == kStrings) {
        strings.push_back(GoUnquote(line));
      } else if (mode == kRegexps) {
        const std::string pattern = GoUnquote(line);
        for (const std::string& text : strings) {
          tally.Check(pattern, text, 0);
          ++cases;
        }
      }
    }
  }
  tally.Report("re2-search.txt");
  EXPECT_GT(cases, 1800);
  EXPECT_GT(tally.compared, 1000);
}

// The AT&T files: tab-separated flags, pattern, text, POSIX result. Only
// the extended-syntax lines; "SAME" repeats the pattern before, "NULL" is
// the empty text, "$" in the flags expands C escapes.
std::string ExpandEscapes(const std::string& s) {
  return GoUnquote("\"" + s + "\"");
}

void RunAttFile(const char* name, Tally* tally, int* cases) {
  std::istringstream in(MustRead(name));
  std::string line;
  std::string previous;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#' || line.rfind("NOTE", 0) == 0) continue;
    std::vector<std::string> fields;
    std::istringstream row(line);
    std::string field;
    while (std::getline(row, field, '\t')) {
      if (!field.empty()) fields.push_back(field);
    }
    if (fields.size() < 3) continue;
    const std::string& flags = fields[0];
    std::string pattern = fields[1] == "SAME" ? previous : fields[1];
    previous = pattern;
    if (flags.find('E') == std::string::npos ||
        flags.find_first_not_of("E$i") != std::string::npos)
      continue;
    std::string text = fields[2] == "NULL" ? "" : fields[2];
    if (flags.find('$') != std::string::npos) {
      pattern = ExpandEscapes(pattern);
      text = ExpandEscapes(text);
    }
    tally->Check(pattern, text, flags.find('i') != std::string::npos ? regex::kIgnoreCase : 0);
    ++*cases;
  }
}

TEST(RegexCorpus, AttFiles) {
  Tally tally;
  int cases = 0;
  for (const char* f : {"basic.dat", "nullsubexpr.dat", "repetition.dat"}) RunAttFile(f, &tally, &cases);
  tally.Report("AT&T files");
  EXPECT_GT(cases, 150);
  EXPECT_GT(tally.compared, 100);
}

TEST(RegexCorpus, PythonReTests) {
  const std::string file = DataFile("re_tests.py");
  MustRead("re_tests.py");
  const std::string command =
      "python3 -c \"import sys, importlib.util as u; "
      "s = u.spec_from_file_location('re_tests', sys.argv[1]); m = u.module_from_spec(s); "
      "s.loader.exec_module(m); "
      "[print(t[0].encode('latin-1').hex() or '-', t[1].encode('latin-1').hex() or '-', t[2]) "
      "for t in m.tests if max(map(ord, t[0] + t[1]), default=0) < 256]\" '" + file + "'";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof(buf), pipe)) > 0) out.append(buf, n);
  ASSERT_EQ(pclose(pipe), 0) << "python3 could not read " << file;
  auto unhex = [](const std::string& h) {
    std::string s;
    for (size_t i = 0; i + 1 < h.size(); i += 2) s += static_cast<char>(std::stoi(h.substr(i, 2), nullptr, 16));
    return s;
  };
  Tally tally;
  int cases = 0;
  std::istringstream in(out);
  std::string pattern_hex, text_hex;
  int outcome = 0;
  while (in >> pattern_hex) {
    in >> text_hex >> outcome;  // "-" stands for an empty field
    if (pattern_hex == "-") pattern_hex.clear();
    if (text_hex == "-") text_hex.clear();
    tally.Check(unhex(pattern_hex), unhex(text_hex), 0);
    ++cases;
  }
  tally.Report("re_tests.py");
  EXPECT_GT(cases, 300);
  EXPECT_GT(tally.compared, 150);
}

}  // namespace
