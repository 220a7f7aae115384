// The decoder of one chunked HTTP body: the bytes after the head are fed
// in pieces as they arrive, and Join hands out the decoded body.
//
// Feed takes bytes as far as it can: a size line ("1a;ext=v\r\n") starts a
// chunk of that many data bytes and its CRLF; the data joins the body as
// it comes (nothing is set aside for the size a peer claims); a chunk must
// end in CRLF. A size line that has not arrived whole is left to the caller,
// who feeds it again with what follows. Trailer lines after the last chunk are
// never read.
//
// Thread rules: one decoder belongs to one exchange on one thread.
#ifndef VTTEL_SERVICES_NET_CHUNK_PROC_H_
#define VTTEL_SERVICES_NET_CHUNK_PROC_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace services {

// The chunk being filled: its data and the CRLF that ends it.
struct TagChunkRec {
  uint32_t size = 0;    // data length + 2
  uint32_t filled = 0;  // bytes of it taken so far
};

class TagChunkProc {
 public:
  // Results of Feed besides a count of bytes not taken.
  static constexpr int kBadSizeLine = -1;
  static constexpr int kLastChunk = -2;
  static constexpr int kTooLarge = -3;  // a chunk or the total above the limit

  TagChunkProc() = default;
  TagChunkProc(const TagChunkProc&) = delete;
  TagChunkProc& operator=(const TagChunkProc&) = delete;

  // Takes bytes; the count of bytes not taken (0 or more: count itself when
  // only an incomplete size line is left), or kBadSizeLine (no hex digit,
  // a line over kHttpChunkLineLimit, a chunk not ended by CRLF),
  // kLastChunk (the zero-size line was taken) or kTooLarge.
  int64_t Feed(const char* bytes, size_t count);
  // Hands the decoded body (the data of the finished chunks, in order) to
  // out and returns its length; the decoder is empty afterwards.
  size_t Join(std::string* out);

 private:
  // Takes a size line from bytes: its length with the CRLF, 0 when it is
  // incomplete, or a negative Feed result.
  int64_t StartChunk(const char* bytes, size_t count);

  std::string body_;     // the data taken, the chunk being filled included
  size_t finished_ = 0;  // bytes of body_ in finished chunks
  bool filling_ = false;
  TagChunkRec chunk_;
};

}  // namespace services

#endif  // VTTEL_SERVICES_NET_CHUNK_PROC_H_
