#include "engine/line_text.h"

#include "platform/gbk.h"
#include "platform/text_trim.h"

namespace engine {

size_t SkipLeadingBlanks(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (platform::IsAsciiBlank(text[i]) || text[i] == '=')) ++i;
  return i;
}

void TrimRight(std::string& text) {
  size_t n = text.size();
  while (n > 0 && (platform::IsAsciiBlank(text[n - 1]) || text[n - 1] == '\n')) --n;
  text.resize(n);
}

void RemoveBlanks(std::string& text) {
  size_t lf = text.find('\n');
  if (lf != std::string::npos) text.resize(lf);
  platform::RemoveAllBlanks(text);
}

bool IsLineRestEmpty(std::string_view text) {
  // A NUL byte ends the text, as it ended the compiler's line buffer.
  text = text.substr(0, text.find('\0'));
  for (size_t i = 0;; ++i) {
    if (i >= text.size() || text[i] == '/' || text[i] == '\r') return true;
    if (i + 2 < text.size() && (text[i + 2] == '/' || text[i + 2] == '\n')) return true;
    if (!platform::IsAsciiBlank(text[i])) return false;
  }
}

}  // namespace engine
