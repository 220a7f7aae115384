// Random texts through the decodings of "UnicodeToStr(": percent escapes,
// Base64, UTF-7, UTF-8 and UTF-16LE to GBK, as the statement chains them.
// Encoding a decoding's result again must give bytes that decode to it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/codepage.h"
#include "services/text/percent_base64.h"

namespace {

using platform::CodePage;

void DecodeUnicode(CodePage cp, std::string_view text) {
  std::u16string units = platform::ToUtf16(cp, text);
  if (units.empty() || units[0] == 0) units = platform::ToUtf16(CodePage::kUtf16Le, text);
  const std::string gbk = platform::FromUtf16(CodePage::kGbk, units);
  // GBK back to the code page and again: the text has settled once it
  // went through GBK.
  const std::string encoded = platform::Convert(CodePage::kGbk, cp, gbk);
  if (platform::Convert(cp, CodePage::kGbk, encoded) != gbk) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string unescaped = services::PercentUnescape(text);
  if (unescaped.size() > text.size()) __builtin_trap();
  if (services::PercentUnescape(services::PercentEscape(text)) != text) __builtin_trap();
  std::string decoded;
  if (services::Base64Decode(text, &decoded) && decoded.size() > text.size() / 4 * 3) {
    __builtin_trap();
  }
  std::string round;
  if (!services::Base64Decode(services::Base64Encode(text), &round) || round != text) {
    __builtin_trap();
  }
  DecodeUnicode(CodePage::kUtf7, text);
  DecodeUnicode(CodePage::kUtf8, text);
  return 0;
}
