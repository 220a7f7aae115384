// The named limits of the HTTP client and server, checked where consumed.
#ifndef VTTEL_SERVICES_HTTP_LIMITS_H_
#define VTTEL_SERVICES_HTTP_LIMITS_H_

#include <cstddef>
#include <cstdint>

namespace services {

// A host name longer than this is refused before any lookup.
inline constexpr size_t kHttpHostLimit = 255;
// The client's request head (request line and header lines).
inline constexpr size_t kHttpRequestHeadLimit = 1023;
// A head must end within this many bytes of the first read.
inline constexpr size_t kHttpHeadLimit = 2048;
// A Content-Length, one chunk or a chunked total above this is malformed.
inline constexpr int64_t kHttpBodyLimit = 64 * 1024 * 1024;
// A chunk-size line (size, extension, CRLF) longer than this is malformed.
inline constexpr size_t kHttpChunkLineLimit = 256;
// At most this many interim (1xx) heads precede the final one.
inline constexpr int kHttpInterimHeadLimit = 205;

// Time-outs in seconds: the connect, the client's reads (the head and the
// body without a byte), one chunk read, the server's reads, and a send
// that makes no progress.
inline constexpr int kHttpConnectSeconds = 4;
inline constexpr int kHttpClientReadSeconds = 8;
inline constexpr int kHttpChunkReadSeconds = 4;
inline constexpr int kHttpServerReadSeconds = 20;
inline constexpr int kHttpClientSendSeconds = 8;
inline constexpr int kHttpServerSendSeconds = 20;

}  // namespace services

#endif  // VTTEL_SERVICES_HTTP_LIMITS_H_
