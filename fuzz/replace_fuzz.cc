// Replaces and splits random texts with random patterns and replacements
// under small limits: no input may crash, hang, leak or give a result that
// disagrees with its own length count. The first byte picks the flag word
// and the count, the rest is cut at the first two 0xFF bytes into pattern,
// replacement and text.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "fuzz/regex_fuzz_support.h"
#include "regex/regexp.h"
#include "regex/replace.h"
#include "regex/split.h"

namespace {

std::string_view Cut(std::string_view* rest) {
  const size_t at = rest->find('\xFF');
  const std::string_view head = rest->substr(0, at);
  *rest = at == std::string_view::npos ? std::string_view() : rest->substr(at + 1);
  return head;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  regex_fuzz::SilenceLimitReports();
  const int flags = data[0] & 63;
  const int count = (data[0] >> 6) - 1;  // -1 (all), 0, 1, 2
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string_view pattern = Cut(&rest);
  const std::string_view replacement = Cut(&rest);
  const std::string_view text = rest;
  regex::CRegexpA re(pattern, flags);
  regex::CContext ctx;
  regex_fuzz::SetSmallLimits(&ctx);
  const regex::ReplaceOutcome r = regex::Replace(re, text, replacement, 0, count, &ctx);
  if (r.status == regex::ReplaceStatus::kDone &&
      static_cast<int64_t>(r.output.size()) != r.length) {
    __builtin_trap();
  }
  if (count == 0 && r.status == regex::ReplaceStatus::kDone && r.output != text) __builtin_trap();
  std::vector<std::string_view> pieces;
  if (regex::Split(re, text, &ctx, &pieces)) {
    size_t bytes = 0;
    for (std::string_view p : pieces) {
      if (p.data() < text.data() || p.data() + p.size() > text.data() + text.size()) {
        __builtin_trap();
      }
      bytes += p.size();
    }
    if (pieces.empty() || bytes > text.size()) __builtin_trap();
  }
  return 0;
}
