// The texts of HTTP/1.1 that the client and the server read and write:
// splitting a URL, finding where a head ends, and reading the header
// fields a body depends on. Header names are found in the head only, at
// the start of a line, whatever their case, with optional blanks around
// the value.
#ifndef VTTEL_SERVICES_NET_HTTP_HEAD_H_
#define VTTEL_SERVICES_NET_HTTP_HEAD_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace services {

// Splits a URL into host and port and returns the request target:
//   "http://h:8080/a" -> host "h", port 8080, target "/a"
//   "http://h"        -> host "h", port 80, target "http://h" (the whole URL)
//   "h:81"            -> host "h", port 81, target "h:81"
// The host part starts after the first "//" (or at the start); the port is
// the number after a ':' that comes before the host part's first '/' (80
// without one; what is not a number reads as 0, a number beyond int's
// range as int's nearest bound); the target runs from that '/' to the end.
std::string_view SplitUrl(std::string_view url, std::string* host, int* port);

// The length of the head at the start of text (up to and including the
// first "\r\n\r\n"), or 0 when it has not ended.
size_t HeadLength(std::string_view text);

// The value of a header field of head (blanks around it dropped), or
// nullopt when the head has no such field. The first line (request or
// status line) is not a field.
std::optional<std::string_view> HeaderValue(std::string_view head, std::string_view name);

// What a head says of the body that follows it.
struct BodyFraming {
  enum Kind { kNone, kLength, kChunked, kMalformed } kind = kNone;
  int64_t length = 0;  // kLength: the Content-Length
};
// A Transfer-Encoding naming "chunked" wins over a Content-Length; a
// Content-Length that is not a decimal number or is above kHttpBodyLimit
// is malformed.
BodyFraming ReadFraming(std::string_view head);

// True when head is a status line of an interim (1xx) response.
bool IsInterimHead(std::string_view head);

// True when text contains word, whatever the case of either.
bool ContainsCaseBlind(std::string_view text, std::string_view word);

}  // namespace services

#endif  // VTTEL_SERVICES_NET_HTTP_HEAD_H_
