#include "services/net/chunk_proc.h"

#include <algorithm>
#include <cstring>

#include "platform/gbk.h"
#include "services/net/http_limits.h"

namespace services {

int64_t TagChunkProc::StartChunk(const char* bytes, size_t count) {
  const void* crlf = memmem(bytes, count, "\r\n", 2);
  if (crlf == nullptr) return count < kHttpChunkLineLimit ? 0 : kBadSizeLine;
  const size_t line = static_cast<size_t>(static_cast<const char*>(crlf) - bytes);
  if (line + 2 > kHttpChunkLineLimit) return kBadSizeLine;
  size_t i = 0;
  int64_t size = 0;
  for (; i < line && platform::AsciiHexValue(bytes[i]) >= 0; ++i) {
    size = size * 16 + platform::AsciiHexValue(bytes[i]);
    if (size > kHttpBodyLimit) return kTooLarge;
  }
  if (i == 0) return kBadSizeLine;
  while (i < line && platform::IsAsciiBlank(bytes[i])) ++i;
  // Anything after the size is a chunk extension, which is ignored.
  if (i < line && bytes[i] != ';') return kBadSizeLine;
  if (size == 0) return kLastChunk;
  if (static_cast<int64_t>(body_.size()) + size > kHttpBodyLimit) return kTooLarge;
  chunk_.size = static_cast<uint32_t>(size) + 2;
  chunk_.filled = 0;
  filling_ = true;
  return static_cast<int64_t>(line + 2);
}

int64_t TagChunkProc::Feed(const char* bytes, size_t count) {
  size_t at = 0;
  if (!filling_) {
    const int64_t line = StartChunk(bytes, count);
    if (line < 0) return line;
    if (line == 0) return static_cast<int64_t>(count);
    at = static_cast<size_t>(line);
  }
  const size_t data = chunk_.size - 2;
  // The data part of the chunk, then its CRLF.
  if (chunk_.filled < data) {
    const size_t take = std::min<size_t>(data - chunk_.filled, count - at);
    body_.append(bytes + at, take);
    chunk_.filled += static_cast<uint32_t>(take);
    at += take;
  }
  while (at < count && chunk_.filled < chunk_.size) {
    const char want = chunk_.filled == data ? '\r' : '\n';
    if (bytes[at] != want) return kBadSizeLine;
    ++chunk_.filled;
    ++at;
  }
  if (chunk_.filled == chunk_.size) {
    filling_ = false;
    finished_ = body_.size();
  }
  return static_cast<int64_t>(count - at);
}

size_t TagChunkProc::Join(std::string* out) {
  body_.resize(finished_);
  finished_ = 0;
  out->swap(body_);
  body_.clear();
  return out->size();
}

}  // namespace services
