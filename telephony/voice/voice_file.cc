#include "telephony/voice/voice_file.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>

#include "frame/log.h"
#include "platform/host_path.h"
#include "telephony/voice/voice_path.h"
#include "telephony/voice/voice_wav.h"

namespace telephony {
namespace {

// Copy blocks: a recording is converted 2048 bytes at a time, a voice
// appended 2000, and samples for editing are read 16000 at a time.
constexpr size_t kRawCopyBlock = 2048;
constexpr size_t kAppendCopyBlock = 2000;
constexpr size_t kReadBlock = 16000;


struct FileCloser {
  void operator()(FILE* f) const { fclose(f); }
};
using UniqueFile = std::unique_ptr<FILE, FileCloser>;

struct CopyResult {
  uint64_t copied = 0;
  bool write_failed = false;
};

// Copies up to count bytes from the position of from to that of to, in
// blocks of at most block bytes; stops early when a read gives nothing.
CopyResult CopyBytes(FILE* from, FILE* to, uint64_t count, size_t block) {
  CopyResult result;
  std::string buffer(block, '\0');
  while (result.copied < count) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(block, count - result.copied));
    const size_t got = fread(buffer.data(), 1, want, from);
    if (got == 0) break;
    if (fwrite(buffer.data(), 1, got, to) != got) {
      result.write_failed = true;
      break;
    }
    result.copied += got;
  }
  return result;
}

// Reads up to count bytes from the position of file in blocks.
size_t ReadBlocks(FILE* file, void* buffer, size_t count) {
  auto* to = static_cast<unsigned char*>(buffer);
  size_t done = 0;
  while (done < count) {
    const size_t got = fread(to + done, 1, std::min(kReadBlock, count - done), file);
    if (got == 0) break;
    done += got;
  }
  return done;
}

bool WriteAll(FILE* file, const std::string& bytes) {
  return fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

int PathLength(std::string_view path) { return static_cast<int>(path.size()); }

// The sample type of a WAV format, or nullopt (logged) when the system
// cannot use it.
std::optional<VoiceSampleType> UsableSampleType(const platform::WaveFormat& format) {
  if (format.samples_per_sec != platform::kVoiceSampleRate) {
    frame::LogMsg("采样率不是8000");
    return std::nullopt;
  }
  switch (format.tag) {
    case platform::kWaveTagAlaw:
    case platform::kWaveTagUlaw:
      if (format.bits_per_sample != 8) {
        frame::LogMsg("数据位不是8Bit");
        return std::nullopt;
      }
      return format.tag == platform::kWaveTagUlaw ? VoiceSampleType::kUlaw : VoiceSampleType::kAlaw;
    case platform::kWaveTagPcm:
      if (format.bits_per_sample != 16) {
        frame::LogMsg("PCM数据位不是16Bit");
        return std::nullopt;
      }
      return VoiceSampleType::kPcm16;
    default:
      return VoiceSampleType::kAlaw;
  }
}

// Where the samples of a WAV voice go in the play file.
struct PlayFileTarget {
  bool has_header = false;
  uint64_t data_offset = 0;
  uint32_t data_size = 0;
};

// Prepares the play file for the samples of a WAV voice of the given
// format: writes the header of an empty file, checks the format of one
// with a header. Returns kAppendDone or the refusal (logged, file unchanged).
int PreparePlayFile(FILE* play_file, const platform::WaveFormat& voice_format,
                    std::string_view voice_path, PlayFileTarget* target) {
  const int64_t length = VoiceFileLength(play_file);
  if (length < 0) return kAppendWriteFailed;
  if (length == 0) {
    const std::string header =
        platform::WavHeaderBytes(voice_format, 0, platform::WavHeaderForm::k46);
    if (!WriteAll(play_file, header)) return kAppendWriteFailed;
    *target = {true, header.size(), 0};
    return kAppendDone;
  }
  WavHeader play;
  switch (ReadWavHeader(play_file, &play)) {
    case WavReadResult::kNotRiff:  // the first piece was headerless: stay so
      *target = {};
      return kAppendDone;
    case WavReadResult::kMalformed:
      frame::LogAlwaysF("Play file header damaged, not appended: %.*s", PathLength(voice_path),
                        voice_path.data());
      return kAppendBadWav;
    case WavReadResult::kOk:
      break;
  }
  if (!SameSampleFormat(play.format, voice_format)) {
    frame::LogAlwaysF(
        "Voice format differs from play file: %.*s tag %u %u-bit %u Hz, play file "
        "tag %u %u-bit %u Hz",
        PathLength(voice_path), voice_path.data(), voice_format.tag, voice_format.bits_per_sample,
        voice_format.samples_per_sec, play.format.tag, play.format.bits_per_sample,
        play.format.samples_per_sec);
    return kAppendFormatDiffers;
  }
  *target = {true, play.data_offset, play.data_size};
  return kAppendDone;
}

}  // namespace

int RawAlawToWav(std::string_view raw_path, std::string_view wav_path) {
  UniqueFile source(platform::OpenHostFile(raw_path, "rb"));
  if (!source) return kRawToWavNoSource;
  const int64_t length = VoiceFileLength(source.get());
  if (length < 0 || fseeko(source.get(), 0, SEEK_SET) != 0) return kRawToWavNoSource;
  const auto count = static_cast<uint32_t>(std::min<int64_t>(length, platform::kWavMaxDataBytes));

  UniqueFile target(platform::OpenHostFile(wav_path, "wb"));
  if (!target) return kRawToWavNoTarget;
  const std::string header = platform::WavHeaderBytes(platform::VoiceFormat(platform::kWaveTagAlaw),
                                                      count, platform::WavHeaderForm::k46);
  if (!WriteAll(target.get(), header)) return kRawToWavNoTarget;
  const CopyResult copy = CopyBytes(source.get(), target.get(), count, kRawCopyBlock);
  if (copy.write_failed) return kRawToWavNoTarget;
  // A source that shrank while it was copied: the header tells what came.
  if (copy.copied != count &&
      !WriteWavSizes(target.get(), header.size(), static_cast<uint32_t>(copy.copied))) {
    return kRawToWavNoTarget;
  }
  return fclose(target.release()) == 0 ? kRawToWavDone : kRawToWavNoTarget;
}

int AppendVoiceFile(FILE* play_file, std::string_view voice_path) {
  UniqueFile voice(platform::OpenHostFile(voice_path, "rb"));
  if (!voice) {
    frame::LogAlwaysF("Open file error: %.*s", PathLength(voice_path), voice_path.data());
    return kAppendNoVoice;
  }
  WavHeader voice_header;
  WavReadResult kind = WavReadResult::kNotRiff;
  if (NamesWavVoice(voice_path)) kind = ReadWavHeader(voice.get(), &voice_header);
  if (kind == WavReadResult::kMalformed) {
    frame::LogAlwaysF("Voice header damaged, not appended: %.*s", PathLength(voice_path),
                      voice_path.data());
    return kAppendBadWav;
  }

  PlayFileTarget target;
  uint64_t count = voice_header.data_size;
  if (kind == WavReadResult::kOk) {
    const int prepared = PreparePlayFile(play_file, voice_header.format, voice_path, &target);
    if (prepared != kAppendDone) return prepared;
  } else {
    const int64_t length = VoiceFileLength(voice.get());
    if (length < 0 || fseeko(voice.get(), 0, SEEK_SET) != 0) return kAppendNoVoice;
    count = static_cast<uint64_t>(length);
  }

  if (fseeko(play_file, 0, SEEK_END) != 0) return kAppendWriteFailed;
  const CopyResult copy = CopyBytes(voice.get(), play_file, count, kAppendCopyBlock);
  if (copy.write_failed) return kAppendWriteFailed;
  if (target.has_header) {
    const uint64_t data_size =
        std::min<uint64_t>(target.data_size + copy.copied, platform::kWavMaxDataBytes);
    if (!WriteWavSizes(play_file, target.data_offset, static_cast<uint32_t>(data_size))) {
      return kAppendWriteFailed;
    }
  }
  return fflush(play_file) == 0 ? kAppendDone : kAppendWriteFailed;
}

size_t ReadVoiceData(FILE* file, void* buffer, size_t capacity, VoiceSampleType* type) {
  *type = VoiceSampleType::kAlaw;
  if (file == nullptr) {
    frame::LogMsg("File not open!");
    return 0;
  }
  WavHeader header;
  switch (ReadWavHeader(file, &header)) {
    case WavReadResult::kNotRiff:
      frame::LogMsg("不是Wave文件");
      if (fseeko(file, 0, SEEK_SET) != 0) return 0;
      return ReadBlocks(file, buffer, capacity);
    case WavReadResult::kMalformed:
      frame::LogMsg("Wave文件头损坏");
      return 0;
    case WavReadResult::kOk:
      break;
  }
  const std::optional<VoiceSampleType> usable = UsableSampleType(header.format);
  if (!usable) return 0;
  *type = *usable;
  return ReadBlocks(file, buffer, std::min<size_t>(capacity, header.data_size));
}

}  // namespace telephony
