#include "telephony/voice/voice_wav.h"

#include <algorithm>
#include <cstring>

namespace telephony {
namespace {

constexpr char kRiffId[] = "RIFF";
constexpr char kWaveId[] = "WAVE";
constexpr char kFmtId[] = "fmt ";
constexpr char kDataId[] = "data";
constexpr size_t kIdBytes = 4;
constexpr uint32_t kPcmBits = 16;
constexpr uint32_t kCompandedBits = 8;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void PutLe16(std::string* out, uint32_t v) {
  out->push_back(static_cast<char>(v & 0xFF));
  out->push_back(static_cast<char>((v >> 8) & 0xFF));
}
void PutLe32(std::string* out, uint32_t v) {
  PutLe16(out, v & 0xFFFF);
  PutLe16(out, v >> 16);
}

bool ReadExactly(FILE* file, uint64_t offset, uint8_t* to, size_t n) {
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0 && fread(to, 1, n, file) == n;
}

// The fmt fields from the kept bytes of the fmt chunk (at least 16).
WavFormat ParseFormat(const uint8_t* fmt) {
  WavFormat f;
  f.format_tag = Le16(fmt);
  f.channels = Le16(fmt + 2);
  f.sample_rate = Le32(fmt + 4);
  f.byte_rate = Le32(fmt + 8);
  f.block_align = Le16(fmt + 12);
  f.bits_per_sample = Le16(fmt + 14);
  return f;
}

}  // namespace

WavFormat VoiceWavFormat(uint16_t format_tag) {
  WavFormat f;
  f.format_tag = format_tag;
  f.bits_per_sample = format_tag == kWavTagPcm ? kPcmBits : kCompandedBits;
  f.block_align = static_cast<uint16_t>(f.bits_per_sample / 8);
  f.byte_rate = f.sample_rate * f.block_align;
  return f;
}

bool SameSampleFormat(const WavFormat& a, const WavFormat& b) {
  return a.format_tag == b.format_tag && a.bits_per_sample == b.bits_per_sample &&
         a.sample_rate == b.sample_rate;
}

int64_t VoiceFileLength(FILE* file) {
  if (fseeko(file, 0, SEEK_END) != 0) return -1;
  return ftello(file);
}

WavReadResult ReadWavHeader(FILE* file, WavHeader* header) {
  const int64_t signed_length = VoiceFileLength(file);
  if (signed_length < 0) return WavReadResult::kMalformed;
  const auto length = static_cast<uint64_t>(signed_length);
  uint8_t preamble[kWavPreambleBytes];
  if (fseeko(file, 0, SEEK_SET) != 0) return WavReadResult::kMalformed;
  const size_t got = fread(preamble, 1, sizeof(preamble), file);
  if (got < kIdBytes || memcmp(preamble, kRiffId, kIdBytes) != 0) return WavReadResult::kNotRiff;
  if (got < kWavPreambleBytes) return WavReadResult::kMalformed;

  WavHeader h;
  h.riff_size = Le32(preamble + kRiffSizeOffset);
  h.fmt_size = Le32(preamble + kWavPreambleBytes - 4);
  // The fmt chunk and at least one chunk header after it must be in the file.
  uint64_t chunk = kWavPreambleBytes + uint64_t{h.fmt_size};
  if (h.fmt_size < kWavFmtMinBytes || chunk + kWavChunkHeaderBytes > length) {
    return WavReadResult::kMalformed;
  }
  uint8_t fmt[kWavFmtKeptBytes];
  if (!ReadExactly(file, kWavPreambleBytes, fmt, std::min(h.fmt_size, kWavFmtKeptBytes))) {
    return WavReadResult::kMalformed;
  }
  h.format = ParseFormat(fmt);

  uint8_t chunk_header[kWavChunkHeaderBytes];
  if (!ReadExactly(file, chunk, chunk_header, sizeof(chunk_header))) {
    return WavReadResult::kMalformed;
  }
  if (memcmp(chunk_header, kDataId, kIdBytes) != 0) {
    // One chunk before the data is stepped over; the next header is the
    // data header, whatever it says.
    chunk += kWavChunkHeaderBytes + uint64_t{Le32(chunk_header + kIdBytes)};
    if (chunk + kWavChunkHeaderBytes > length ||
        !ReadExactly(file, chunk, chunk_header, sizeof(chunk_header))) {
      return WavReadResult::kMalformed;
    }
  }
  h.data_size_offset = chunk + kIdBytes;
  h.data_offset = chunk + kWavChunkHeaderBytes;
  h.data_size = static_cast<uint32_t>(
      std::min<uint64_t>(Le32(chunk_header + kIdBytes), length - h.data_offset));
  if (fseeko(file, static_cast<off_t>(h.data_offset), SEEK_SET) != 0) {
    return WavReadResult::kMalformed;
  }
  *header = h;
  return WavReadResult::kOk;
}

std::string WavHeaderBytes(const WavFormat& format, uint32_t data_size, WavHeaderForm form) {
  const auto fmt_size = static_cast<uint32_t>(form);
  const size_t length = WavHeaderLength(form);
  data_size = std::min(data_size, kWavMaxDataBytes);
  std::string out;
  out.reserve(length);
  out.append(kRiffId, kIdBytes);
  PutLe32(&out, static_cast<uint32_t>(length - kRiffUncountedBytes) + data_size);
  out.append(kWaveId, kIdBytes);
  out.append(kFmtId, kIdBytes);
  PutLe32(&out, fmt_size);
  PutLe16(&out, format.format_tag);
  PutLe16(&out, format.channels);
  PutLe32(&out, format.sample_rate);
  PutLe32(&out, format.byte_rate);
  PutLe16(&out, format.block_align);
  PutLe16(&out, format.bits_per_sample);
  // The extra size (fmt size 18 and 20) and the reserved field (20): zero.
  out.append(fmt_size - kWavFmtMinBytes, '\0');
  out.append(kDataId, kIdBytes);
  PutLe32(&out, data_size);
  return out;
}

bool WriteBytes(FILE* file, std::string_view bytes) {
  return fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

bool WriteWavSizes(FILE* file, uint64_t data_offset, uint32_t data_size) {
  if (data_offset < kWavPreambleBytes + kWavFmtMinBytes + kWavChunkHeaderBytes) return false;
  data_size = std::min(data_size, kWavMaxDataBytes);
  std::string riff_size, data_size_bytes;
  const uint64_t riff = data_offset - kRiffUncountedBytes + data_size;
  PutLe32(&riff_size, static_cast<uint32_t>(std::min<uint64_t>(riff, UINT32_MAX)));
  PutLe32(&data_size_bytes, data_size);
  return fseeko(file, kRiffSizeOffset, SEEK_SET) == 0 &&
         fwrite(riff_size.data(), 1, riff_size.size(), file) == riff_size.size() &&
         fseeko(file, static_cast<off_t>(data_offset - 4), SEEK_SET) == 0 &&
         fwrite(data_size_bytes.data(), 1, data_size_bytes.size(), file) == data_size_bytes.size();
}

}  // namespace telephony
