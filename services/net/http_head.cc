#include "services/net/http_head.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/gbk.h"
#include "services/net/http_limits.h"

namespace services {
namespace {

constexpr std::string_view kHeadEnd = "\r\n\r\n";

bool SameCaseBlind(char a, char b) { return platform::AsciiLower(a) == platform::AsciiLower(b); }

std::string_view TrimBlanksOf(std::string_view v) {
  while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
  while (!v.empty() && (v.back() == ' ' || v.back() == '\t')) v.remove_suffix(1);
  return v;
}

}  // namespace

std::string_view SplitUrl(std::string_view url, std::string* host, int* port) {
  const size_t slashes = url.find("//");
  const std::string_view rest = slashes == std::string_view::npos ? url : url.substr(slashes + 2);
  const size_t slash = rest.find('/');
  const size_t colon = rest.find(':');
  *port = 80;
  if (colon != std::string_view::npos && colon < slash) {
    // The decimal number after the colon, as atol reads it.
    const std::string digits(
        rest.substr(colon + 1, std::min<size_t>(slash, rest.size()) - colon - 1));
    // A number beyond int's range stays beyond the ports' range.
    *port = static_cast<int>(std::clamp<long>(std::strtol(digits.c_str(), nullptr, 10),
                                              std::numeric_limits<int>::min(),
                                              std::numeric_limits<int>::max()));
  }
  *host = std::string(rest.substr(0, std::min(colon, slash)));
  return slash == std::string_view::npos ? url : rest.substr(slash);
}

size_t HeadLength(std::string_view text) {
  const size_t end = text.find(kHeadEnd);
  return end == std::string_view::npos ? 0 : end + kHeadEnd.size();
}

std::optional<std::string_view> HeaderValue(std::string_view head, std::string_view name) {
  size_t line = head.find("\r\n");
  while (line != std::string_view::npos) {
    line += 2;
    const size_t next = head.find("\r\n", line);
    const std::string_view text =
        head.substr(line, next == std::string_view::npos ? std::string_view::npos : next - line);
    if (text.size() > name.size() && text[name.size()] == ':' &&
        std::equal(name.begin(), name.end(), text.begin(), SameCaseBlind)) {
      return TrimBlanksOf(text.substr(name.size() + 1));
    }
    line = next;
  }
  return std::nullopt;
}

BodyFraming ReadFraming(std::string_view head) {
  BodyFraming framing;
  if (const auto coding = HeaderValue(head, "Transfer-Encoding");
      coding && ContainsCaseBlind(*coding, "chunked")) {
    framing.kind = BodyFraming::kChunked;
    return framing;
  }
  const auto length = HeaderValue(head, "Content-Length");
  if (!length) return framing;
  framing.kind = BodyFraming::kMalformed;
  if (length->empty()) return framing;
  int64_t n = 0;
  for (const char c : *length) {
    if (c < '0' || c > '9') return framing;
    n = n * 10 + (c - '0');
    if (n > kHttpBodyLimit) return framing;
  }
  framing.kind = BodyFraming::kLength;
  framing.length = n;
  return framing;
}

bool IsInterimHead(std::string_view head) {
  // "HTTP/1.1 100 Continue"
  if (head.size() < 10 || head.substr(0, 5) != "HTTP/") return false;
  const size_t blank = head.find(' ');
  return blank != std::string_view::npos && blank + 1 < head.size() && head[blank + 1] == '1' &&
         blank < head.find("\r\n");
}

bool ContainsCaseBlind(std::string_view text, std::string_view word) {
  return std::search(text.begin(), text.end(), word.begin(), word.end(), SameCaseBlind) !=
         text.end();
}

}  // namespace services
