#include "telephony/voice/voice_wav.h"

#include <algorithm>
#include <cstring>

#include "platform/byte_order.h"

namespace telephony {
namespace {

using platform::kWavChunkHeaderBytes;
using platform::kWavChunkIdBytes;
using platform::kWavFmtMinBytes;

constexpr char kRiffId[] = "RIFF";
// The data size sits in the last four bytes before the samples.
constexpr uint64_t kDataSizeBytes = 4;

bool ReadExactly(FILE* file, uint64_t offset, uint8_t* to, size_t n) {
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0 && fread(to, 1, n, file) == n;
}

}  // namespace

bool SameSampleFormat(const platform::WaveFormat& a, const platform::WaveFormat& b) {
  return a.tag == b.tag && a.bits_per_sample == b.bits_per_sample &&
         a.samples_per_sec == b.samples_per_sec;
}

int64_t VoiceFileLength(FILE* file) {
  if (fseeko(file, 0, SEEK_END) != 0) return -1;
  return ftello(file);
}

WavReadResult ReadWavHeader(FILE* file, WavHeader* header) {
  const int64_t signed_length = VoiceFileLength(file);
  if (signed_length < 0) return WavReadResult::kMalformed;
  const auto length = static_cast<uint64_t>(signed_length);
  uint8_t riff[platform::kWavRiffHeaderBytes];
  if (fseeko(file, 0, SEEK_SET) != 0) return WavReadResult::kMalformed;
  const size_t got = fread(riff, 1, sizeof(riff), file);
  if (got < kWavChunkIdBytes || memcmp(riff, kRiffId, kWavChunkIdBytes) != 0) {
    return WavReadResult::kNotRiff;
  }

  WavHeader h;
  platform::WavChunkWalker walk(file, length);
  platform::WavChunk fmt, data;
  // The first chunk is the fmt chunk whatever its id; it and at least one
  // chunk header after it must be in the file.
  if (got < sizeof(riff) || !walk.Next(&fmt)) return WavReadResult::kMalformed;
  h.riff_size = platform::LoadLe32(riff + platform::kRiffSizeOffset);
  h.fmt_size = fmt.size;
  if (h.fmt_size < kWavFmtMinBytes || !walk.Next(&data)) return WavReadResult::kMalformed;
  uint8_t fields[kWavFmtMinBytes];
  if (!ReadExactly(file, fmt.body(), fields, sizeof(fields))) return WavReadResult::kMalformed;
  h.format = platform::ParseWavFormat(fields);
  // One chunk before the data is stepped over; the next header is the data
  // header, whatever it says.
  if (!data.Is("data") && !walk.Next(&data)) return WavReadResult::kMalformed;
  h.data_size_offset = data.body() - kDataSizeBytes;
  h.data_offset = data.body();
  h.data_size = static_cast<uint32_t>(std::min<uint64_t>(data.size, length - h.data_offset));
  if (fseeko(file, static_cast<off_t>(h.data_offset), SEEK_SET) != 0) {
    return WavReadResult::kMalformed;
  }
  *header = h;
  return WavReadResult::kOk;
}

bool WriteBytes(FILE* file, std::string_view bytes) {
  return fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

bool WriteWavSizes(FILE* file, uint64_t data_offset, uint32_t data_size) {
  if (data_offset < platform::kWavRiffHeaderBytes + kWavChunkHeaderBytes + kWavFmtMinBytes +
                        kWavChunkHeaderBytes) {
    return false;
  }
  data_size = std::min(data_size, platform::kWavMaxDataBytes);
  const uint64_t riff = data_offset - platform::kRiffUncountedBytes + data_size;
  char riff_size[4], data_size_bytes[4];
  platform::StoreLe32(riff_size, static_cast<uint32_t>(std::min<uint64_t>(riff, UINT32_MAX)));
  platform::StoreLe32(data_size_bytes, data_size);
  return fseeko(file, platform::kRiffSizeOffset, SEEK_SET) == 0 &&
         WriteBytes(file, std::string_view(riff_size, sizeof riff_size)) &&
         fseeko(file, static_cast<off_t>(data_offset - kDataSizeBytes), SEEK_SET) == 0 &&
         WriteBytes(file, std::string_view(data_size_bytes, sizeof data_size_bytes));
}

}  // namespace telephony
