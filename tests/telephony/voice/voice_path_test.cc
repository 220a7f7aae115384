// The voice-name rule: extension, absolute names, the voice directory of
// the selected language, and GBK names whose trail byte is 0x5C.
#include "telephony/voice/voice_path.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/tel_basic.h"
#include "telephony/line_settings.h"
#include "telephony/vt_call.h"
#include "tests/test_support.h"

namespace telephony {
namespace {

// "表" is 0xB1 0xED; "\x95\x5C" is one GBK character whose trail byte is
// the backslash code.
const std::string kTrail5C = "\x95\x5C";

struct PathCase {
  std::string name;
  std::string expected;
};

// A script of line 0 (built in a scratch folder, where its error file
// goes) and its voice settings.
class VoicePathTest : public ::testing::Test {
 protected:
  VoicePathTest() {
    voice_.voiceDirs[0] = "D:\\snd\\cn\\";
    voice_.voiceDirs[1] = "D:\\snd\\en\\";
    voice_.voiceDirIndex = 1;
  }
  testing_support::TempDir dir_;
  testing_support::ScopedChdir cd_{dir_.path()};
  TagVtCall call_;
  // The script built next gets its line settings and its line.
  const bool prepared_ = (RegisterLineSettings(), call_.lineNo = 0, true);
  engine::TagTelBasic script_{"none.vts", 0, &call_, 1, nullptr};
  VoiceSettings& voice_ = LineSettingsOf(script_).voice;
};

TEST_F(VoicePathTest, NamesResolveInTheSelectedLanguage) {
  const PathCase cases[] = {
      {"hello", "D:\\snd\\en\\hello.WAV"},
      {"hello.vox", "D:\\snd\\en\\hello.vox"},
      {"sub\\hello", "D:\\snd\\en\\sub\\hello.WAV"},
      {"E:\\x\\hello", "E:\\x\\hello.WAV"},
      {"\\hello", "\\hello.WAV"},
      {"/hello", "/hello.WAV"},
      {"a.b\\hello", "D:\\snd\\en\\a.b\\hello.WAV"},
      {"a.b/hello", "D:\\snd\\en\\a.b/hello.WAV"},
      {"x\\\\y", "x\\\\y.WAV"},  // two backslashes: absolute
      {"\\\\srv\\v\\a.wav", "\\\\srv\\v\\a.wav"},
      {"E:x", "D:\\snd\\en\\E:x.WAV"},  // a colon alone is not enough
      {"表.wav", "D:\\snd\\en\\表.wav"},
      // A trail byte 0x5C is no separator: the dot before it still counts,
      // and it with a following backslash is not a double backslash.
      {"a." + kTrail5C, "D:\\snd\\en\\a." + kTrail5C},
      {kTrail5C + "\\b", "D:\\snd\\en\\" + kTrail5C + "\\b.WAV"},
      {"C:" + kTrail5C, "D:\\snd\\en\\C:" + kTrail5C + ".WAV"},
  };
  for (const PathCase& c : cases) {
    EXPECT_EQ(ResolveVoicePath(script_, c.name), c.expected) << c.name;
  }
}

TEST_F(VoicePathTest, DirectoryAndExtensionComeFromTheScript) {
  voice_.voiceDirIndex = 2;  // an empty directory
  EXPECT_EQ(ResolveVoicePath(script_, "hello"), "hello.WAV");
  voice_.voiceDirIndex = 0;
  voice_.voiceExt = ".vox";  // as "SetSndExt(" sets it
  EXPECT_EQ(ResolveVoicePath(script_, "hello"), "D:\\snd\\cn\\hello.vox");
  voice_.voiceDirIndex = 7;  // out of range: no directory
  EXPECT_EQ(ResolveVoicePath(script_, "hello"), "hello.vox");
}

TEST(VoicePathRuleTest, ExtensionAndAbsoluteTests) {
  struct RuleCase {
    std::string name;
    bool has_extension;
    bool absolute;
  };
  const RuleCase cases[] = {
      {"", false, false},
      {"a.wav", true, false},
      {"a", false, false},
      {"dir.x/a", false, false},
      {"dir/a.x", true, false},
      {"/a", false, true},
      {"\\a.b", true, true},
      {"a:\\b", false, true},
      {"a\\\\b", false, true},
      {"a\\b", false, false},
      {kTrail5C + "a", false, false},
      {"." + kTrail5C, true, false},
      {kTrail5C + "\\", false, false},
      {":" + kTrail5C, false, false},
  };
  for (const RuleCase& c : cases) {
    EXPECT_EQ(HasFileExtension(c.name), c.has_extension) << c.name;
    EXPECT_EQ(IsAbsoluteVoicePath(c.name), c.absolute) << c.name;
  }
}

// The three ".WAV" name tests, side by side: each answers differently for
// the spellings a script may use.
TEST(WavNameTest, EachTestReadsTheSpellingsItsOwnWay) {
  struct WavCase {
    std::string name;
    bool names_wav_voice, ends_any_case, holds_upper;
  };
  const WavCase cases[] = {
      {"a.WAV", true, true, true},
      {"a.wav", true, true, false},
      {"a.Wav", false, true, false},
      {".WAV", true, false, true},  // four characters are not enough to end in it
      {"a.WAV.vox", false, false, true},
      {"a.wav.vox", false, false, false},
      {"a.vox", false, false, false},
      {"表.wAv", false, true, false},
  };
  for (const WavCase& c : cases) {
    EXPECT_EQ(NamesWavVoice(c.name), c.names_wav_voice) << c.name;
    EXPECT_EQ(EndsInWavAnyCase(c.name), c.ends_any_case) << c.name;
    EXPECT_EQ(HoldsUpperWav(c.name), c.holds_upper) << c.name;
  }
}

}  // namespace
}  // namespace telephony
