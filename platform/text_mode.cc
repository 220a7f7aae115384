#include "platform/text_mode.h"

#include <cstring>

namespace platform {

void AppendTextMode(std::string_view text, std::string* out) {
  size_t start = 0;
  for (size_t nl = text.find('\n'); nl != std::string_view::npos; nl = text.find('\n', start)) {
    out->append(text.data() + start, nl - start);
    out->append("\r\n", 2);
    start = nl + 1;
  }
  out->append(text.data() + start, text.size() - start);
}

void WriteTextMode(FILE* f, std::string_view text) {
  std::string out;
  AppendTextMode(text, &out);
  std::fwrite(out.data(), 1, out.size(), f);
}

size_t ReadTextMode(std::string_view raw, bool more_follows, std::string* out) {
  size_t start = 0;
  while (start < raw.size()) {
    const void* hit = std::memchr(raw.data() + start, '\r', raw.size() - start);
    if (hit == nullptr) break;
    const size_t cr = static_cast<size_t>(static_cast<const char*>(hit) - raw.data());
    if (cr + 1 == raw.size()) {
      out->append(raw.data() + start, cr - start);
      if (more_follows) return cr;  // the next read decides this CR
      out->push_back('\r');
      return raw.size();
    }
    const bool pair = raw[cr + 1] == '\n';
    out->append(raw.data() + start, cr - start + (pair ? 0 : 1));
    start = cr + 1;
  }
  out->append(raw.data() + start, raw.size() - start);
  return raw.size();
}

}  // namespace platform
