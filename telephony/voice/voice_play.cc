#include "telephony/voice/voice_play.h"

#include <cstdio>
#include <iterator>

#include "engine/tel_basic.h"
#include "platform/gbk.h"
#include "platform/host_path.h"
#include "telephony/line_settings.h"
#include "telephony/voice/voice_file.h"
#include "telephony/vt_call.h"

namespace telephony {
namespace {

// The longest prefix of a GBK text of at most max bytes that does not cut a
// double-byte character.
std::string_view CutAtCharacter(std::string_view text, size_t max) {
  size_t end = 0;
  while (end < text.size()) {
    const size_t next = end + platform::GbkCharLength(text, end);
    if (next > max) break;
    end = next;
  }
  return text.substr(0, end);
}

// False for a script without its stores (built without a call object): it
// has no settings to play by, and no line to play on either.
bool MayPlay(const engine::TagTelBasic& script) { return FindLineSettings(script) != nullptr; }

}  // namespace

std::string PlayFilePath(const engine::TagTelBasic& script) {
  const VoiceSettings& voice = LineSettingsOf(script).voice;
  const int32_t language = voice.voiceDirIndex;
  std::string path;
  if (language >= 0 && language < std::ssize(voice.voiceDirs)) path = voice.voiceDirs[language];
  path += 't';
  path += std::to_string(script.lineNo);
  path += voice.voiceExt;
  return path;
}

bool PlaysToFile(const engine::TagTelBasic& script) {
  return LineSettingsOf(script).voice.playToFile != 0;
}

int32_t SetPlayToFile(engine::TagTelBasic& script, bool on) {
  LineSettingsOf(script).voice.playToFile = on ? 1 : 0;
  if (!on) return 0;
  FILE* f = platform::OpenHostFile(PlayFilePath(script), "wb");
  if (f == nullptr) return kPlayFileNotOpen;
  std::fclose(f);
  return 0;
}

bool MayPlayFromMemory(const engine::TagTelBasic& script, bool on_pc) {
  return !PlaysToFile(script) && !on_pc;
}

int32_t AppendToPlayFile(const engine::TagTelBasic& script, std::string_view voice_path) {
  FILE* play_file = platform::OpenHostFile(PlayFilePath(script), "r+b");
  if (play_file == nullptr) return kPlayFileNotOpen;
  const int32_t r = AppendVoiceFile(play_file, voice_path);
  std::fclose(play_file);
  return r;
}

CachedVoice FindCachedVoice(engine::TagTelBasic& script, std::string_view voice_path) {
  if (auto own = LineSettingsOf(script).voiceCache.Find(voice_path)) return own;
  return GlobalVocCache().Find(voice_path);
}

std::vector<CachedVoice> FindAllCached(engine::TagTelBasic& script,
                                       const std::vector<std::string>& voice_paths) {
  std::vector<CachedVoice> cached;
  for (const std::string& path : voice_paths) {
    CachedVoice voice = FindCachedVoice(script, path);
    if (voice == nullptr) return {};
    cached.push_back(std::move(voice));
  }
  return cached;
}

int32_t PlayMemory(engine::TagTelBasic& script, const char* bytes, int32_t length) {
  TagVtCall* call = LineCallOf(script);
  if (call == nullptr) return kNoCallObject;
  return call->PlayMemVoc(bytes, 0, length, 0, LineSettingsOf(script).voice.breakOnKey);
}

int32_t PlayFile(engine::TagTelBasic& script, std::string_view path, bool break_on_key,
                 bool on_pc) {
  TagVtCall* call = LineCallOf(script);
  if (call == nullptr) return kNoCallObject;
  return call->Play(path, break_on_key ? 1 : 0, on_pc ? 1 : 0);
}

int32_t PlayVoice(engine::TagTelBasic& script, std::string_view voice_path) {
  if (!MayPlay(script)) return kNoCallObject;
  if (PlaysToFile(script)) return AppendToPlayFile(script, voice_path);
  if (auto cached = FindCachedVoice(script, voice_path)) {
    return PlayMemory(script, cached->data.data(), cached->size);
  }
  return PlayFile(script, CutAtCharacter(voice_path, kMaxPlayPathBytes),
                  LineSettingsOf(script).voice.breakOnKey != 0, false);
}

int32_t PcPlayVoice(engine::TagTelBasic& script, std::string_view voice_path, bool loop,
                    bool wait) {
  if (!MayPlay(script)) return kNoCallObject;
  if (PlaysToFile(script)) return AppendToPlayFile(script, voice_path);
  TagVtCall* call = LineCallOf(script);
  if (call == nullptr) return kNoCallObject;
  return call->PcPlay(voice_path, loop ? 1 : 0, wait ? 1 : 0, 0);
}

}  // namespace telephony
