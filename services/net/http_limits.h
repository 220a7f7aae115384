// The named limits of the HTTP client and server, checked where consumed.
#ifndef VTTEL_SERVICES_NET_HTTP_LIMITS_H_
#define VTTEL_SERVICES_NET_HTTP_LIMITS_H_

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
// A line keeps at most this many accepted connections whose request head
// has not come whole; a new one then takes the place of the oldest.
inline constexpr size_t kHttpPendingLimit = 32;

// Time-outs in seconds: the connect, and a send that makes no progress.
inline constexpr int kHttpConnectSeconds = 4;
inline constexpr int kHttpClientSendSeconds = 8;
inline constexpr int kHttpServerSendSeconds = 20;

// The bounds of reading one message. Each time is a deadline for the
// whole of what it names, however the peer spaces its bytes: a peer
// sending a byte now and then cannot hold a line longer.
struct HttpReadLimits {
  // The client: the whole response (interim heads, head and body) after
  // the request was sent; one read of a chunked body; and the most reads
  // of a chunked body after its head.
  uint32_t response_ms = 8000;
  uint32_t chunk_read_ms = 4000;
  int chunk_reads = 200;
  // The server: the whole request (head and body) from its connection's
  // accept, or from the call for a connection kept open.
  uint32_t request_ms = 20000;
};

// The limits in force (the values above unless a test put others in
// force). Any thread.
const HttpReadLimits& HttpReadLimitsInForce();

// Puts limits in force for the life of this object (a test's shorter
// deadlines) and then restores the previous ones. limits must outlive it;
// no exchange may run while it is made or destroyed.
class ScopedHttpReadLimits {
 public:
  explicit ScopedHttpReadLimits(const HttpReadLimits* limits);
  ~ScopedHttpReadLimits();
  ScopedHttpReadLimits(const ScopedHttpReadLimits&) = delete;
  ScopedHttpReadLimits& operator=(const ScopedHttpReadLimits&) = delete;

 private:
  const HttpReadLimits* previous_;
};

}  // namespace services

#endif  // VTTEL_SERVICES_NET_HTTP_LIMITS_H_
