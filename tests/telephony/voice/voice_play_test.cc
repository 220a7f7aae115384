// The play path: where each kind of play goes for each state of the script
// (play-to-file switch, voice caches, break flag, call object).
#include "telephony/voice/voice_play.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/tel_basic.h"
#include "telephony/line_settings.h"
#include "telephony/voice/voc_cache.h"
#include "telephony/vt_call.h"
#include "tests/test_support.h"

namespace telephony {
namespace {

using testing_support::ReadFile;
using testing_support::WriteFile;

constexpr int32_t kLine = 3;
constexpr int32_t kCallResult = 7;

// Writes down the play operations as "Name(args)" and returns kCallResult.
class PlayLog : public TagVtCall {
 public:
  PlayLog() { lineNo = kLine; }
  int32_t Play(std::string_view file, int32_t brk, int32_t pc) override {
    return Note("Play(" + std::string(file) + "," + std::to_string(brk) + "," +
                std::to_string(pc) + ")");
  }
  int32_t PlayMemVoc(const char* bytes, int32_t start, int32_t length, int32_t, int32_t brk)
      override {
    return Note("PlayMemVoc(" + std::string(bytes + start, static_cast<size_t>(length)) + "," +
                std::to_string(brk) + ")");
  }
  int32_t PcPlay(std::string_view file, int32_t loop, int32_t wait, int32_t brk) override {
    return Note("PcPlay(" + std::string(file) + "," + std::to_string(loop) + "," +
                std::to_string(wait) + "," + std::to_string(brk) + ")");
  }
  std::vector<std::string> ops;

 private:
  int32_t Note(std::string op) {
    ops.push_back(std::move(op));
    return kCallResult;
  }
};

enum class Cache { kNone, kScript, kProcess };

struct PlayCase {
  const char* label;
  bool to_file;
  Cache cache;
  uint8_t break_on_key;
  std::string voice;    // "Play(": the resolved path
  std::string played;   // what the call object did ("" nothing)
  int32_t result;
  std::string file;     // what the play file holds afterwards
};

class VoicePlayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile("a.vox", "AAAA");
    voice().voiceDirs[0] = "";
    voice().voiceDirIndex = 0;
    voice().voiceExt = ".vox";
  }
  void TearDown() override { telephony::GlobalVocCache().Clear(); }

  void Prepare(const PlayCase& c) {
    call_.ops.clear();
    telephony::GlobalVocCache().Clear();
    LineSettingsOf(script_).voiceCache.Clear();
    if (c.cache == Cache::kScript) LineSettingsOf(script_).voiceCache.LoadVocFile("a.vox");
    if (c.cache == Cache::kProcess) telephony::GlobalVocCache().LoadVocFile("a.vox");
    voice().breakOnKey = c.break_on_key;
    voice().playToFile = c.to_file ? 1 : 0;
    WriteFile(PlayFilePath(script_), "");
  }

  VoiceSettings& voice() { return LineSettingsOf(script_).voice; }

  testing_support::TempDir dir_;
  testing_support::ScopedChdir cd_{dir_.path()};
  PlayLog call_;
  // Scripts built from here on get their line settings.
  const bool registered_ = (RegisterLineSettings(), true);
  engine::TagTelBasic script_{"none.vts", kLine, &call_, 1, nullptr};
};

TEST_F(VoicePlayTest, PlayGoesToThePlayFileTheCacheOrTheFile) {
  const std::string long_path(kMaxPlayPathBytes + 5, 'x');
  const PlayCase cases[] = {
      {"a file on the line, with the break flag", false, Cache::kNone, 1, "a.vox",
       "Play(a.vox,1,0)", kCallResult, ""},
      {"without the break flag", false, Cache::kNone, 0, "a.vox", "Play(a.vox,0,0)",
       kCallResult, ""},
      {"the script's cache plays from memory", false, Cache::kScript, 1, "a.vox",
       "PlayMemVoc(AAAA,1)", kCallResult, ""},
      {"so does the process-wide one", false, Cache::kProcess, 0, "a.vox", "PlayMemVoc(AAAA,0)",
       kCallResult, ""},
      {"the play file takes the voice, cached or not", true, Cache::kScript, 1, "a.vox", "", 0,
       "AAAA"},
      {"a missing voice into the play file", true, Cache::kNone, 1, "none.vox", "", -1, ""},
      {"a long path is cut", false, Cache::kNone, 1, long_path,
       "Play(" + long_path.substr(0, kMaxPlayPathBytes) + ",1,0)", kCallResult, ""},
  };
  for (const PlayCase& c : cases) {
    SCOPED_TRACE(c.label);
    Prepare(c);
    EXPECT_EQ(PlayVoice(script_, c.voice), c.result);
    EXPECT_EQ(call_.ops, c.played.empty() ? std::vector<std::string>{}
                                          : std::vector<std::string>{c.played});
    EXPECT_EQ(ReadFile(PlayFilePath(script_)).value_or("?"), c.file);
  }
}

TEST_F(VoicePlayTest, SoundCardPlaysAreDivertedButNeverCached) {
  Prepare({"", false, Cache::kScript, 1, "", "", 0, ""});
  EXPECT_EQ(PcPlayVoice(script_, "a.vox", true, false), kCallResult);
  EXPECT_EQ(call_.ops, std::vector<std::string>{"PcPlay(a.vox,1,0,0)"});
  EXPECT_FALSE(MayPlayFromMemory(script_, true));
  EXPECT_TRUE(MayPlayFromMemory(script_, false));

  Prepare({"", true, Cache::kNone, 1, "", "", 0, ""});
  EXPECT_EQ(PcPlayVoice(script_, "a.vox", false, true), 0);
  EXPECT_TRUE(call_.ops.empty());
  EXPECT_EQ(ReadFile(PlayFilePath(script_)).value_or("?"), "AAAA");
  EXPECT_FALSE(MayPlayFromMemory(script_, false));
}

TEST_F(VoicePlayTest, WithoutACallObjectNothingPlays) {
  engine::TagTelBasic alone("none.vts", kLine, nullptr, 1, nullptr);
  telephony::GlobalVocCache().LoadVocFile("a.vox");  // a script without a call has no cache
  EXPECT_EQ(PlayVoice(alone, "a.vox"), kNoCallObject);
  EXPECT_EQ(PlayVoice(alone, "b.vox"), kNoCallObject);
  EXPECT_EQ(PcPlayVoice(alone, "a.vox", false, false), kNoCallObject);
  EXPECT_EQ(PlayFile(alone, "a.vox", true, true), kNoCallObject);
}

}  // namespace
}  // namespace telephony
