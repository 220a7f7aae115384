#include "telephony/voice/voice_mix.h"

#include <algorithm>
#include <string>

#include "frame/log.h"
#include "platform/byte_order.h"
#include "platform/file_ops.h"
#include "platform/host_path.h"
#include "telephony/voice/edit_source.h"
#include "telephony/voice/voice_wav.h"

namespace telephony {
namespace {

// Samples are encoded and written this many at a time.
constexpr size_t kWriteBlockSamples = 8000;

int PathLength(std::string_view path) { return static_cast<int>(path.size()); }

// How many samples of the shorter file take part.
size_t MixedCount(size_t shorter) {
  return shorter > kMixTailCutAbove ? shorter - kMixTailCut : shorter;
}

int16_t Sum(int16_t a, int16_t b) { return HoldEditSample(int64_t{a} + b); }

// The bytes of n samples in the file's encoding: 16-bit little-endian or A-law.
void EncodeBlock(const int16_t* samples, size_t n, bool pcm, std::string* out) {
  out->clear();
  for (size_t i = 0; i < n; ++i) {
    if (pcm) {
      platform::AppendLe16(out, static_cast<uint16_t>(samples[i]));
    } else {
      out->push_back(static_cast<char>(CompressAlaw(samples[i])));
    }
  }
}

bool WriteSamples(FILE* file, const TagVocFile& voice, bool pcm) {
  const uint16_t tag = pcm ? platform::kWaveTagPcm : platform::kWaveTagAlaw;
  const uint64_t data_bytes = uint64_t{voice.count()} * (pcm ? 2 : 1);
  if (data_bytes > platform::kWavMaxDataBytes) return false;
  const std::string header = platform::WavHeaderBytes(
      platform::VoiceFormat(tag), static_cast<uint32_t>(data_bytes), platform::WavHeaderForm::k44);
  if (fwrite(header.data(), 1, header.size(), file) != header.size()) return false;
  std::string block;
  for (size_t from = 0; from < voice.count(); from += kWriteBlockSamples) {
    EncodeBlock(voice.samples() + from, std::min(kWriteBlockSamples, voice.count() - from), pcm,
                &block);
    if (fwrite(block.data(), 1, block.size(), file) != block.size()) return false;
  }
  return true;
}

int WriteVoice(const TagVocFile& voice, std::string_view path, bool pcm) {
  FILE* file = platform::OpenHostFile(path, "wb");
  if (file == nullptr) {
    frame::LogMsgF("'%.*s' 无法创建!", PathLength(path), path.data());
    return -1;
  }
  bool ok = WriteSamples(file, voice, pcm);
  ok = fclose(file) == 0 && ok;
  if (!ok) {
    platform::RemoveScriptFile(path);
    frame::LogMsgF("'%.*s' 无法创建!", PathLength(path), path.data());
    return -1;
  }
  return 0;
}

}  // namespace

TagVocFile& MixSamples(TagVocFile& first, TagVocFile& second, int32_t offset_ms) {
  const size_t a = first.count();
  const size_t b = second.count();
  if (b >= a) {
    const size_t m = MixedCount(a);
    for (size_t j = 0; j < m; ++j)
      second.samples()[j] = Sum(first.samples()[j], second.samples()[j]);
    return second;
  }
  // 64 bits: offset x 8 of a 32-bit offset does not wrap.
  const int64_t shift = int64_t{offset_ms} * kMixSamplesPerMs;
  const int64_t end = static_cast<int64_t>(a);
  // The part of second that lands inside first: i with 0 <= shift + i < a.
  const int64_t m = static_cast<int64_t>(MixedCount(b));
  const int64_t from = std::max<int64_t>(0, -shift);
  const int64_t to = std::min<int64_t>(m, end - shift);
  for (int64_t i = from; i < to; ++i) {
    int16_t& into = first.samples()[shift + i];
    into = Sum(into, second.samples()[i]);
  }
  return first;
}

int MixVocFiles(std::string_view first, float first_gain, int32_t offset_ms,
                std::string_view second, float second_gain, std::string_view output) {
  frame::LogMsgF("Mix:%.*s - %.*s", PathLength(first), first.data(), PathLength(second),
                 second.data());
  TagVocFile one(first, first_gain);
  frame::LogMsg("Mix 1.");
  TagVocFile two(second, second_gain);
  frame::LogMsg("Mix 2.");
  if (one.status() != TagVocFile::kLoaded || two.status() != TagVocFile::kLoaded) {
    frame::LogMsg("Mix: 至少有一个文件不正确.");
    return kMixBadInput;
  }
  const TagVocFile& sum = MixSamples(one, two, offset_ms);
  const int written = sum.type() == VoiceSampleType::kPcm16 ? WritePcm16Wav(sum, output)
                                                            : WriteAlawWav(sum, output);
  frame::LogMsg("Mix 3.");
  return written == 0 ? kMixDone : kMixNoOutput;
}

int WritePcm16Wav(const TagVocFile& voice, std::string_view path) {
  return WriteVoice(voice, path, true);
}

int WriteAlawWav(const TagVocFile& voice, std::string_view path) {
  return WriteVoice(voice, path, false);
}

}  // namespace telephony
