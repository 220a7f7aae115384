// Random patterns inside the syntax that the engine and its peers (PCRE2,
// python3's re) read alike, and short texts to match them against; the
// differential tests draw their cases from it with fixed seeds.
#ifndef VTTEL_TESTS_REGEX_PATTERN_GENERATOR_H_
#define VTTEL_TESTS_REGEX_PATTERN_GENERATOR_H_

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace regex_test {

// Random patterns inside the syntax both engines read alike: no nullable
// element under a repeating quantifier, no classes under ignore case, fixed
// look-behind, back references only to groups closed before them.
class PatternGenerator {
 public:
  explicit PatternGenerator(uint32_t seed) : rng_(seed) {}

  std::string Pattern(bool ignore_case) {
    ignore_case_ = ignore_case;
    groups_ = 0;
    closed_.clear();
    bool nullable = false;
    return Alternation(3, &nullable);
  }

  std::string Text() {
    static const char kBytes[] = "aaabbbccx1 _\n\xB0";
    std::string t;
    int n = Pick(12);
    for (int i = 0; i < n; ++i) t.push_back(kBytes[Pick(sizeof(kBytes) - 1)]);
    return t;
  }

  int Pick(int n) { return static_cast<int>(rng_() % static_cast<uint32_t>(n)); }

 private:
  std::string Alternation(int depth, bool* nullable) {
    std::string out = Sequence(depth, nullable);
    while (Pick(4) == 0) {
      bool n = false;
      out += "|" + Sequence(depth, &n);
      *nullable = *nullable || n;
    }
    return out;
  }

  std::string Sequence(int depth, bool* nullable) {
    std::string out;
    *nullable = true;
    int n = 1 + Pick(3);
    for (int i = 0; i < n; ++i) {
      bool item_nullable = false;
      out += Item(depth, &item_nullable);
      *nullable = *nullable && item_nullable;
    }
    return out;
  }

  std::string Item(int depth, bool* nullable) {
    bool quantifiable = true;
    std::string atom = Atom(depth, nullable, &quantifiable);
    // A nullable atom is never quantified: an empty repetition is a
    // difference by design (listed below).
    if (!quantifiable || *nullable || Pick(3) != 0) return atom;
    static const char* kRepeating[] = {"*", "+", "{2}", "{1,3}", "{2,}", "{0,2}"};
    std::string q = Pick(4) == 0 ? "?" : kRepeating[Pick(6)];
    if (q == "*" || q == "?" || q.rfind("{0", 0) == 0) *nullable = true;
    int suffix = Pick(6);
    if (suffix == 0) q += "?";
    if (suffix == 1 && q.find('{') == std::string::npos) q += "+";
    return atom + q;
  }

  std::string Atom(int depth, bool* nullable, bool* quantifiable) {
    *nullable = false;
    int kind = Pick(depth > 0 ? 20 : 12);
    switch (kind) {
      case 0: case 1: case 2: case 3:
        return std::string(1, "abcx"[Pick(4)]);
      case 4:
        return ".";
      case 5: {
        static const char* kEscapes[] = {"\\d", "\\w", "\\s", "\\W", "\\D", "\\S"};
        return kEscapes[Pick(6)];
      }
      case 6: {
        if (ignore_case_) return "1";
        static const char* kClasses[] = {"[ab]", "[^a]", "[a-c]", "[^\\n]", "[\\d_]",
                                         "[[:alpha:]]", "[x\\s]", "[^b-x]"};
        return kClasses[Pick(8)];
      }
      case 7: {
        *quantifiable = false;
        *nullable = true;
        static const char* kAnchors[] = {"^", "$", "\\b", "\\B", "\\A", "\\z", "\\Z"};
        return kAnchors[Pick(7)];
      }
      case 8:
        if (!closed_.empty()) {
          *nullable = true;  // the group may have captured the empty text
          return "\\" + std::to_string(closed_[Pick(static_cast<int>(closed_.size()))]);
        }
        return "b";
      case 9: {
        *quantifiable = false;
        *nullable = true;
        static const char* kBehind[] = {"(?<=a)", "(?<!b)", "(?<=[ab]c)", "(?<!\\d)",
                                        "(?<=a|bc)", "(?<=^)"};
        return kBehind[Pick(6)];
      }
      case 10: case 11:
        return "ab";
      default: {
        static const char* kOpen[] = {"(", "(", "(", "(?:", "(?>", "(?=", "(?!"};
        int which = Pick(7);
        bool capture = which < 3;
        const int number = capture ? ++groups_ : 0;
        bool inner_nullable = false;
        std::string body = Alternation(depth - 1, &inner_nullable);
        if (capture) closed_.push_back(number);
        *nullable = inner_nullable || which >= 5;
        if (which >= 5) *quantifiable = false;
        return kOpen[which] + body + ")";
      }
    }
  }

  std::mt19937 rng_;
  bool ignore_case_ = false;
  int groups_ = 0;
  std::vector<int> closed_;  // numbers of the groups closed so far
};

}  // namespace regex_test

#endif  // VTTEL_TESTS_REGEX_PATTERN_GENERATOR_H_
