// The HTTP/1.1 client of "Http(": one request and its response over a
// connection made for it and closed after it.
//
// The exchange runs on the calling line's thread. Its socket joins the
// line's socket set (kind kHttpClient) while the exchange lasts, so the
// line's stop ends every wait at once; the connect polls the stop too.
#ifndef VTTEL_SERVICES_NET_HTTP_CLIENT_H_
#define VTTEL_SERVICES_NET_HTTP_CLIENT_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace engine {
class TagTelBasic;
}

namespace services {

// Results of HtmlRecv besides a body length.
inline constexpr int32_t kHttpConnectFailed = -1;
inline constexpr int32_t kHttpMalformed = -2;  // also: the request was not sent

// A response as the client hands it to the script.
struct HttpResponse {
  std::string head;  // the final head (after any interim 1xx heads)
  std::string body;
};

// Connects to host:port within seconds: 0 connected (*connected set, a
// non-blocking socket the caller owns); -2, -3, -5 from the connect step;
// -9 time-out or the line's stop. script may be null (no stop to poll).
int HttpConnect(engine::TagTelBasic* script, int* connected, std::string_view host, int port,
                int seconds);

// One exchange: sends the request (method upper-cased; body and content
// type only when body is not empty) to url and reads the response into
// *response, the whole response within the read limits in force
// (http_limits.h). The result: the body length; 0 (nothing came, or the
// body did not come whole: cut off by the peer's close or the deadline,
// and then empty); kHttpConnectFailed (also for a port outside 0-65535);
// kHttpMalformed (also, with nothing sent, for a URL, method or content
// type holding a control byte, below 0x20 or 0x7F, which would end or
// split a header line); for a chunked response whose head did not end in
// the read or whose first size line is malformed the count of the head
// read (body empty).
int32_t HtmlRecv(engine::TagTelBasic* script, std::string_view url, std::string_view method,
                 std::string_view body, std::string_view content_type, HttpResponse* response);

// The reading half of HtmlRecv on a connected socket the caller owns.
int32_t ReadHttpResponse(int socket, HttpResponse* response);

}  // namespace services

#endif  // VTTEL_SERVICES_NET_HTTP_CLIENT_H_
