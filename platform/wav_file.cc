#include "platform/wav_file.h"

#include <algorithm>
#include <cstring>

#include "platform/byte_order.h"

namespace platform {
namespace {

constexpr char kRiffId[] = "RIFF";
constexpr char kWaveId[] = "WAVE";
constexpr char kFmtId[] = "fmt ";
constexpr char kDataId[] = "data";

}  // namespace

std::string WavHeaderBytes(const WaveFormat& format, uint32_t data_size, WavHeaderForm form) {
  const auto fmt_size = static_cast<uint32_t>(form);
  const size_t length = WavHeaderLength(form);
  data_size = std::min(data_size, kWavMaxDataBytes);
  std::string out;
  out.reserve(length);
  out.append(kRiffId, kWavChunkIdBytes);
  AppendLe32(&out, static_cast<uint32_t>(length - kRiffUncountedBytes) + data_size);
  out.append(kWaveId, kWavChunkIdBytes);
  out.append(kFmtId, kWavChunkIdBytes);
  AppendLe32(&out, fmt_size);
  AppendLe16(&out, format.tag);
  AppendLe16(&out, format.channels);
  AppendLe32(&out, format.samples_per_sec);
  AppendLe32(&out, format.bytes_per_sec);
  AppendLe16(&out, format.block_align);
  AppendLe16(&out, format.bits_per_sample);
  // The extra size (fmt size 18 and 20) and the reserved field (20): zero.
  out.append(fmt_size - kWavFmtMinBytes, '\0');
  out.append(kDataId, kWavChunkIdBytes);
  AppendLe32(&out, data_size);
  return out;
}

WaveFormat ParseWavFormat(const void* fmt) {
  const auto* b = static_cast<const unsigned char*>(fmt);
  WaveFormat f;
  f.tag = LoadLe16(b);
  f.channels = LoadLe16(b + 2);
  f.samples_per_sec = LoadLe32(b + 4);
  f.bytes_per_sec = LoadLe32(b + 8);
  f.block_align = LoadLe16(b + 12);
  f.bits_per_sample = LoadLe16(b + 14);
  return f;
}

bool WavChunkWalker::Next(WavChunk* chunk) {
  unsigned char header[kWavChunkHeaderBytes];
  if (next_ > length_ || length_ - next_ < kWavChunkHeaderBytes ||
      !ReadAt(next_, header, sizeof header)) {
    next_ = length_ + 1;  // the walk stays over
    return false;
  }
  std::memcpy(chunk->id, header, kWavChunkIdBytes);
  chunk->size = LoadLe32(header + kWavChunkIdBytes);
  chunk->offset = next_;
  next_ = chunk->body() + chunk->size;
  return true;
}

bool WavChunkWalker::ReadAt(uint64_t offset, void* to, size_t n) {
  if (file_ == nullptr) {
    std::memcpy(to, bytes_.data() + offset, n);
    return true;
  }
  return fseeko(file_, static_cast<off_t>(offset), SEEK_SET) == 0 && fread(to, 1, n, file_) == n;
}

}  // namespace platform
