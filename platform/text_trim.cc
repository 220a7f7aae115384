#include "platform/text_trim.h"

#include <algorithm>
#include <cstring>

#include "platform/gbk.h"

namespace platform {

int TrimBlanks(char* buf, int len) {
  if (len <= 0) return len + 1;
  int first = 0;
  while (first < len && IsAsciiBlank(buf[first])) ++first;
  int end = len;  // one past the last kept byte
  while (end > first && (IsAsciiBlank(buf[end - 1]) || buf[end - 1] == '\0')) --end;
  int kept = end - first;
  if (first > 0) std::memmove(buf, buf + first, static_cast<size_t>(kept));
  buf[kept] = '\0';
  return kept + 1;
}

int TrimText(char* text) { return TrimBlanks(text, static_cast<int>(std::strlen(text))); }

std::string_view TrimmedViewRight(std::string_view s, std::string_view trimmed) {
  const size_t last = s.find_last_not_of(trimmed);
  return last == std::string_view::npos ? std::string_view() : s.substr(0, last + 1);
}

std::string_view TrimmedViewLeft(std::string_view s, std::string_view trimmed) {
  const size_t first = s.find_first_not_of(trimmed);
  return first == std::string_view::npos ? std::string_view() : s.substr(first);
}

std::string_view TrimmedView(std::string_view s, std::string_view trimmed) {
  return TrimmedViewRight(TrimmedViewLeft(s, trimmed), trimmed);
}

void RemoveAllBlanks(char* text) {
  char* out = text;
  for (const char* in = text; *in != '\0'; ++in) {
    if (!IsAsciiBlank(*in)) *out++ = *in;
  }
  *out = '\0';
}

void RemoveAllBlanks(std::string& text) {
  text.erase(std::remove_if(text.begin(), text.end(), IsAsciiBlank), text.end());
}

}  // namespace platform
