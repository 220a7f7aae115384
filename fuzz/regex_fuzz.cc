// Compiles random patterns and matches them against random texts with
// small limits: no input may crash, hang or leak. The first byte picks the
// flag word, the rest is split at the first 0xFF into pattern and text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/regex_fuzz_support.h"
#include "regex/regexp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  regex_fuzz::SilenceLimitReports();
  const int flags = data[0] & 63;
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  size_t cut = rest.find('\xFF');
  std::string_view pattern = rest.substr(0, cut);
  std::string_view text = cut == std::string_view::npos ? rest : rest.substr(cut + 1);
  regex::CRegexpA re(pattern, flags);
  regex::CContext ctx;
  regex_fuzz::SetSmallLimits(&ctx);
  re.PrepareMatch(&ctx, text);
  for (int i = 0; i < 4; ++i) {
    regex::MatchResult m = re.Match(&ctx);
    if (!m.IsMatched()) break;
    for (int g = 0; g <= m.MaxGroupNumber(); ++g) {
      if (m.GetStart(g) > m.GetEnd(g) || m.GetEnd(g) > static_cast<int>(text.size())) __builtin_trap();
    }
  }
  return 0;
}
