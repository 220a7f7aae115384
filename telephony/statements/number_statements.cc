#include "telephony/statements/number_statements.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "engine/arguments.h"
#include "engine/statement_args.h"
#include "engine/tel_basic.h"
#include "frame/log.h"
#include "platform/file_ops.h"
#include "telephony/line_settings.h"
#include "telephony/voice/number_reading.h"
#include "telephony/voice/voc_cache.h"
#include "telephony/voice/voice_file.h"
#include "telephony/voice/voice_path.h"
#include "telephony/voice/voice_play.h"
#include "telephony/voice/voice_wav.h"

namespace telephony {
namespace {

using engine::TagTelBasic;

struct FileCloser {
  void operator()(FILE* f) const { fclose(f); }
};
using UniqueFile = std::unique_ptr<FILE, FileCloser>;

int TextLength(std::string_view text) { return static_cast<int>(text.size()); }

// The pieces joined the way AppendVoiceFile joins them in the play file:
// a WAV piece gives its samples (its header read, not assumed), the first
// one also the format of the joined voice; a headerless piece gives all its
// bytes. A WAV piece of another format or with a damaged header is left
// out (logged).
class VoiceJoiner {
 public:
  void Add(std::string_view path, const MemStruct& voice) {
    const std::string_view bytes(voice.data.data(),
                                 std::min<size_t>(voice.data.size(), voice.size));
    WavHeader header;
    const WavReadResult kind = NamesWavVoice(path) ? ReadHeader(bytes, &header)
                                                   : WavReadResult::kNotRiff;
    if (kind == WavReadResult::kNotRiff) {
      samples_.append(bytes);
      return;
    }
    if (kind == WavReadResult::kMalformed) {
      frame::LogAlwaysF("Voice header damaged, not played: %.*s", TextLength(path), path.data());
      return;
    }
    if (samples_.empty() && !has_header_) {
      has_header_ = true;
      format_ = header.format;
    } else if (has_header_ && !SameSampleFormat(format_, header.format)) {
      frame::LogAlwaysF("Voice format differs from the first piece, not played: %.*s",
                        TextLength(path), path.data());
      return;
    }
    samples_.append(bytes.substr(header.data_offset, header.data_size));
  }

  size_t sample_bytes() const { return samples_.size(); }

  // The joined voice: a 46-byte header when the first piece was WAV.
  std::string Voice() const {
    if (!has_header_) return samples_;
    const auto size =
        static_cast<uint32_t>(std::min<size_t>(samples_.size(), platform::kWavMaxDataBytes));
    return platform::WavHeaderBytes(format_, size, platform::WavHeaderForm::k46) + samples_;
  }

 private:
  static WavReadResult ReadHeader(std::string_view bytes, WavHeader* header) {
    if (bytes.empty()) return WavReadResult::kNotRiff;
    UniqueFile file(fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb"));
    if (!file) return WavReadResult::kMalformed;
    return ReadWavHeader(file.get(), header);
  }

  bool has_header_ = false;
  platform::WaveFormat format_;
  std::string samples_;
};

int32_t PlayFromMemory(TagTelBasic& script, std::string_view text,
                       const std::vector<std::string>& paths,
                       const std::vector<CachedVoice>& cached) {
  VoiceJoiner joiner;
  for (size_t i = 0; i < paths.size(); ++i) joiner.Add(paths[i], *cached[i]);
  if (joiner.sample_bytes() == 0) {
    frame::LogAlwaysF("TagPlayNumber('%.*s'): size=0", TextLength(text), text.data());
    return kNumberNothingCached;
  }
  const std::string voice = joiner.Voice();
  const auto length = static_cast<int32_t>(
      std::min<size_t>(voice.size(), std::numeric_limits<int32_t>::max()));
  PlayMemory(script, voice.data(), length);
  return kNumberPlayed;
}

// Opens the play file for reading and writing, created when missing and
// emptied unless keep.
UniqueFile OpenPlayFile(std::string_view path, bool keep) {
  return UniqueFile(platform::OpenScriptFileForUpdate(path, keep));
}

int32_t PlayThroughFile(TagTelBasic& script, std::string_view text,
                        const std::vector<std::string>& paths, bool on_pc) {
  const std::string play_path = PlayFilePath(script);
  const bool to_file = PlaysToFile(script);
  {
    UniqueFile play_file = OpenPlayFile(play_path, to_file);
    if (!play_file) {
      frame::LogAlwaysF("TagPlayNumber('%.*s'): Open File error: %s", TextLength(text),
                        text.data(), play_path.c_str());
      return kNumberNoPlayFile;
    }
    // A missing piece is logged by AppendVoiceFile; the rest are still said.
    for (const std::string& path : paths) AppendVoiceFile(play_file.get(), path);
  }
  if (to_file) return kNumberPlayed;
  PlayFile(script, play_path, LineSettingsOf(script).voice.breakOnKey != 0, on_pc);
  platform::RemoveScriptFile(play_path);
  return kNumberPlayed;
}

// Logs why a text has no reading; an invalid date or time is not logged.
void LogRefusal(std::string_view text, NumberReadStatus status) {
  const int n = TextLength(text);
  switch (status) {
    case NumberReadStatus::kOk:
    case NumberReadStatus::kNoReading:
      frame::LogAlwaysF("TagPlayNumber('%.*s'): fCount=0", n, text.data());
      break;
    case NumberReadStatus::kMinusSign:
      frame::LogAlwaysF("TagPlayNumber('%.*s'): a minus sign cannot be read", n, text.data());
      break;
    case NumberReadStatus::kTooManyDigits:
      frame::LogAlwaysF("TagPlayNumber('%.*s'): more than %zu integer digits", n, text.data(),
                        kMaxIntegerDigits);
      break;
    case NumberReadStatus::kInvalid:
      break;
  }
}

// "PlayNumber(" and "PcPlayNumber(": the number as text, the mode as an
// integer; on the sound card for "PcPlayNumber(" and on a virtual line.
class TagPlayNumber : public engine::TagOper {
 public:
  explicit TagPlayNumber(const engine::StatementBuild& build)
      : number_(engine::Arg(build, 0)),
        mode_(engine::Arg(build, 1)),
        script_(build.script),
        onPc_(build.pcMode) {}

  int32_t Execute() override {
    std::string text = engine::ArgConvertedText(*number_);
    const int32_t mode = engine::ArgInt(*mode_);
    if (script_ == nullptr) return kNumberNoReading;
    if (text.size() > kNumberTextMax) text.resize(kNumberTextMax);
    return PlayNumber(*script_->GetRunContext(), text, mode, onPc_);
  }

 private:
  engine::TagVar* number_;
  engine::TagVar* mode_;
  TagTelBasic* script_;
  bool onPc_;
};

}  // namespace

int32_t PlayNumber(TagTelBasic& script, std::string_view text, int32_t mode, bool on_pc) {
  const NumberReading reading = ReadNumber(text, mode, LineSettingsOf(script).voice.voiceDirIndex);
  if (reading.status != NumberReadStatus::kOk || reading.voices.empty()) {
    LogRefusal(text, reading.status);
    return kNumberNoReading;
  }
  std::vector<std::string> paths;
  for (const std::string& voice : reading.voices) {
    paths.push_back(ResolveVoicePath(script, voice));
  }
  if (MayPlayFromMemory(script, on_pc)) {
    const std::vector<CachedVoice> cached = FindAllCached(script, paths);
    if (!cached.empty()) return PlayFromMemory(script, text, paths, cached);
  }
  return PlayThroughFile(script, text, paths, on_pc);
}

void RegisterNumberStatements() {
  RegisterLineSettings();
  engine::StatementRegistry& r = engine::Statements();
  r.Register("PlayNumber(", &engine::BuildStatement<TagPlayNumber>);
  r.Register("PcPlayNumber(", &engine::BuildStatement<TagPlayNumber>);
}

}  // namespace telephony
