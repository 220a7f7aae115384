// PCRE2 as the reference peer of the regex tests, set up to follow the
// system's own syntax rules where PCRE2 can: "$" only at the very end
// without multi-line (DOLLAR_ENDONLY), "^" in multi-line also after a final
// line end (ALT_CIRCUMFLEX), line ends CR, LF and CR LF (ANYCRLF), and the
// inline letters of the compile flags as options.
#ifndef VTTEL_TESTS_REGEX_PCRE_PEER_H_
#define VTTEL_TESTS_REGEX_PCRE_PEER_H_

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <string>
#include <string_view>

#include "regex/builder.h"

namespace regex_test {

class PcrePeer {
 public:
  // flags: the system's flag word (dot-all, multi-line, ignore case).
  PcrePeer(std::string_view pattern, int flags) {
    // Start-up optimisations off: PCRE2 10.42 misses some matches with them,
    // e.g. (?>(?=(?!\W)(ac?+)))x{0,2}?ab*? on "ba\xB0c" (a look-ahead inside an atomic group).
    uint32_t options = PCRE2_DOLLAR_ENDONLY | PCRE2_ALT_CIRCUMFLEX | PCRE2_NO_START_OPTIMIZE;
    if (flags & regex::kDotAll) options |= PCRE2_DOTALL;
    if (flags & regex::kMultiLine) options |= PCRE2_MULTILINE;
    if (flags & regex::kIgnoreCase) options |= PCRE2_CASELESS;
    ccontext_ = pcre2_compile_context_create(nullptr);
    pcre2_set_newline(ccontext_, PCRE2_NEWLINE_ANYCRLF);
    int error = 0;
    PCRE2_SIZE offset = 0;
    code_ = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(), options,
                          &error, &offset, ccontext_);
    if (code_ != nullptr) data_ = pcre2_match_data_create_from_pattern(code_, nullptr);
    mcontext_ = pcre2_match_context_create(nullptr);
    pcre2_set_match_limit(mcontext_, 1000000);
    pcre2_set_depth_limit(mcontext_, 10000);
  }
  ~PcrePeer() {
    if (data_ != nullptr) pcre2_match_data_free(data_);
    if (code_ != nullptr) pcre2_code_free(code_);
    pcre2_match_context_free(mcontext_);
    pcre2_compile_context_free(ccontext_);
  }
  PcrePeer(const PcrePeer&) = delete;
  PcrePeer& operator=(const PcrePeer&) = delete;

  bool ok() const { return code_ != nullptr; }
  bool limit_hit() const { return limit_hit_; }

  // As regex_test::Spans: "-", "error" (no pattern) or "s-e s-e ? ...",
  // groups up to the highest number of the pattern.
  std::string Spans(std::string_view text, size_t start = 0, uint32_t options = 0) {
    if (!ok()) return "error";
    int rc = Exec(text, start, options);
    if (rc < 0) return "-";
    uint32_t groups = 0;
    pcre2_pattern_info(code_, PCRE2_INFO_CAPTURECOUNT, &groups);
    PCRE2_SIZE* v = pcre2_get_ovector_pointer(data_);
    std::string out;
    for (uint32_t g = 0; g <= groups; ++g) {
      if (g > 0) out += ' ';
      if (g >= static_cast<uint32_t>(rc) || v[2 * g] == PCRE2_UNSET) {
        out += '?';
      } else {
        out += std::to_string(v[2 * g]) + "-" + std::to_string(v[2 * g + 1]);
      }
    }
    return out;
  }

  // Every match of a global search, as regex_test::All: after an empty
  // match the next try is non-empty and anchored at the same place, then
  // the search moves on by one byte.
  std::string All(std::string_view text) {
    if (!ok()) return "error";
    std::string out;
    size_t start = 0;
    uint32_t options = 0;
    for (int i = 0; i < 100 && start <= text.size(); ++i) {
      int rc = Exec(text, start, options);
      if (rc < 0) {
        if (options == 0) break;
        options = 0;
        start += 1;
        continue;
      }
      PCRE2_SIZE* v = pcre2_get_ovector_pointer(data_);
      if (!out.empty()) out += ' ';
      out += std::to_string(v[0]) + "-" + std::to_string(v[1]);
      start = v[1];
      options = v[0] == v[1] ? (PCRE2_NOTEMPTY_ATSTART | PCRE2_ANCHORED) : 0;
    }
    return out;
  }

 private:
  int Exec(std::string_view text, size_t start, uint32_t options) {
    int rc = pcre2_match(code_, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), start,
                         options, data_, mcontext_);
    if (rc == PCRE2_ERROR_MATCHLIMIT || rc == PCRE2_ERROR_DEPTHLIMIT) limit_hit_ = true;
    return rc;
  }

  pcre2_compile_context* ccontext_ = nullptr;
  pcre2_match_context* mcontext_ = nullptr;
  pcre2_code* code_ = nullptr;
  pcre2_match_data* data_ = nullptr;
  bool limit_hit_ = false;
};

}  // namespace regex_test

#endif  // VTTEL_TESTS_REGEX_PCRE_PEER_H_
