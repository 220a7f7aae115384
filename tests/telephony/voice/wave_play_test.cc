// The sound-card player on the file wave devices: what each kind of file
// plays, the ".VOX" conversion beside the file (once, again when the
// ".VOX" changes, once for many lines at a time), loops and stops.
#include "telephony/voice/wave_play.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "telephony/voice/wave_convert.h"
#include "tests/telephony/wave_fixture.h"

namespace telephony {
namespace {

using testing_support::ReadFile;
using testing_support::WriteFile;

std::string Le16(uint16_t v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
std::string Le32(uint32_t v) {
  return Le16(static_cast<uint16_t>(v)) + Le16(static_cast<uint16_t>(v >> 16));
}
std::string Pattern(size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s.push_back(static_cast<char>(i * 13 + 1));
  return s;
}
// An A-law WAV: a format chunk of fmt_size bytes, an optional chunk before
// the data, then data and 60 bytes of trailer.
std::string AlawWav(uint32_t fmt_size, const std::string& data, const std::string& before = "") {
  std::string fmt = Le16(6) + Le16(1) + Le32(8000) + Le32(8000) + Le16(1) + Le16(8);
  fmt.resize(fmt_size, '\0');
  std::string body = "WAVEfmt " + Le32(fmt_size) + fmt + before + "data" +
                     Le32(static_cast<uint32_t>(data.size())) + data + std::string(60, '\x01');
  return "RIFF" + Le32(static_cast<uint32_t>(body.size())) + body;
}

class WavePlayTest : public WaveFixture {
 protected:
  // Plays file from position to its end under tag; the status.
  int32_t PlayToEnd(const std::string& file, const std::string& tag, int32_t position = 0) {
    TagWavePlay player(file, 100, platform::kWaveDefaultDevice, position, tag);
    if (player.status() == kWavePlayOk) {
      EXPECT_TRUE(AdvanceUntil([&] { return player.Finished(); })) << file;
    }
    return player.status();
  }
};

TEST_F(WavePlayTest, PlaysTheVoiceOfEachKindOfFile) {
  const std::string voice = Pattern(1000);
  WriteFile(dir_.File("raw189"), voice.substr(0, 189));
  WriteFile(dir_.File("raw1000"), voice);
  WriteFile(dir_.File("fmt20.wav"), AlawWav(20, voice.substr(0, 500)));
  WriteFile(dir_.File("list.wav"), AlawWav(16, voice.substr(0, 300), "LIST" + Le32(4) + "abcd"));
  WriteFile(dir_.File("bad.wav"), "RIFF" + std::string(300, '\xFF'));
  struct Case {
    std::string file;
    int32_t position;
    int32_t status;
    std::string played;
  };
  const Case cases[] = {
      {"none", 0, kWavePlayNoFile, ""},
      {"raw189", 0, kWavePlayTooShort, ""},
      {"raw1000", 0, kWavePlayOk, voice.substr(0, 910)},  // the last 90 bytes stay
      {"raw1000", 500, kWavePlayOk, voice.substr(500, 410)},
      {"fmt20.wav", 0, kWavePlayOk, voice.substr(0, 500)},
      {"list.wav", 0, kWavePlayOk, voice.substr(0, 300)},
      {"bad.wav", 0, kWavePlayTooShort, ""},
  };
  int line = 0;
  for (const Case& c : cases) {
    const std::string tag = "L" + std::to_string(line++);
    EXPECT_EQ(PlayToEnd(dir_.File(c.file), tag, c.position), c.status) << c.file;
    EXPECT_EQ(Captured(tag), c.played) << c.file;
  }
}

// A play with nothing to play (its position at or past the end of the
// voice, or an empty data chunk) opens, is finished at once and plays
// nothing; its Stop and its end do not wait for a buffer that never comes.
TEST_F(WavePlayTest, APlayWithNothingToPlayIsFinishedAtOnce) {
  WriteFile(dir_.File("raw1000"), Pattern(1000));
  WriteFile(dir_.File("empty.wav"), AlawWav(18, "") + std::string(200, '\x01'));
  struct Case {
    std::string file;
    int32_t position;
  };
  const Case cases[] = {{"raw1000", 910}, {"raw1000", 5000}, {"empty.wav", 0}};
  int line = 10;
  for (const Case& c : cases) {
    const std::string tag = "L" + std::to_string(line++);
    const auto start = std::chrono::steady_clock::now();
    {
      TagWavePlay player(dir_.File(c.file), 100, platform::kWaveDefaultDevice, c.position, tag);
      EXPECT_EQ(player.status(), kWavePlayOk) << c.file;
      EXPECT_TRUE(player.Finished()) << c.file << " at " << c.position;
      player.Stop();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1))
        << c.file << " at " << c.position;
    EXPECT_EQ(Captured(tag), "") << c.file;
  }
}

TEST_F(WavePlayTest, ADeviceThatDoesNotOpenGivesMinusThree) {
  auto devices = platform::MakePacedWaveDevices(dir_.File("missing"));
  platform::ScopedWaveDevices scoped(devices.get());
  WriteFile(dir_.File("raw"), Pattern(500));
  EXPECT_EQ(PlayToEnd(dir_.File("raw"), "L0"), kWavePlayNoDevice);
}

TEST_F(WavePlayTest, ReopenPlaysTheNextFileOnTheSamePlayer) {
  WriteFile(dir_.File("a"), Pattern(400));
  WriteFile(dir_.File("b.wav"), AlawWav(18, Pattern(700).substr(100)));
  TagWavePlay player(dir_.File("a"), 100, platform::kWaveDefaultDevice, 0, "L2");
  ASSERT_TRUE(AdvanceUntil([&] { return player.Finished(); }));
  player.Reopen(dir_.File("b.wav"), 100, 0);
  ASSERT_EQ(player.status(), kWavePlayOk);
  ASSERT_TRUE(AdvanceUntil([&] { return player.Finished(); }));
  EXPECT_EQ(Captured("L2", 1), Pattern(310));
  EXPECT_EQ(Captured("L2", 2), Pattern(700).substr(100));
}

TEST_F(WavePlayTest, ALoopPlaysUntilStop) {
  const std::string voice = Pattern(1000);
  WriteFile(dir_.File("loop"), voice);
  TagWavePlay player(dir_.File("loop"), 100, platform::kWaveDefaultDevice, 0, "L3");
  player.SetLoop(true);
  const std::string once = voice.substr(0, 910);
  // The voice (910 bytes, 114 ms) plays three times and goes on.
  ASSERT_TRUE(AdvanceUntil([&] { return Captured("L3").size() >= 3 * once.size(); }));
  EXPECT_FALSE(player.Finished());
  player.Stop();
  EXPECT_TRUE(player.Finished());
  const std::string played = Captured("L3");
  for (size_t at = 0; at < played.size(); at += once.size()) {
    EXPECT_EQ(played.substr(at, once.size()), once.substr(0, played.size() - at)) << at;
  }
}

class VoxPlayTest : public WavePlayTest {
 protected:
  void SetUp() override {
    vox_ = dir_.File("x.VOX");
    WriteFile(vox_, Pattern(4000));
    ASSERT_EQ(ConvertVoxToWav(vox_, dir_.File("expected.wav")), kConvertDone);
    expected_ = ReadFile(dir_.File("expected.wav")).value();
  }
  std::vector<std::string> FilesInDir() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }
  std::string vox_, expected_;
};

TEST_F(VoxPlayTest, ConvertsOnceAndAgainWhenTheVoxChanges) {
  const std::string wav = vox_ + ".wav";
  EXPECT_EQ(PlayableVoiceFile(vox_), wav);
  EXPECT_EQ(ReadFile(wav), expected_);
  // An unchanged ".VOX" keeps the WAV file as it is.
  WriteFile(wav, expected_ + "kept");
  EXPECT_EQ(PlayableVoiceFile(vox_), wav);
  EXPECT_EQ(ReadFile(wav), expected_ + "kept");
  // A ".VOX" newer than it is converted again.
  std::filesystem::last_write_time(
      vox_, std::filesystem::last_write_time(wav) + std::chrono::seconds(1));
  EXPECT_EQ(PlayableVoiceFile(vox_), wav);
  EXPECT_EQ(ReadFile(wav), expected_);
  // Any case of the extension; other names are played as they are.
  WriteFile(dir_.File("y.vox"), Pattern(4000));
  EXPECT_EQ(PlayableVoiceFile(dir_.File("y.vox")), dir_.File("y.vox.wav"));
  EXPECT_EQ(ReadFile(dir_.File("y.vox.wav")), expected_);
  EXPECT_EQ(PlayableVoiceFile(dir_.File("z.wav")), dir_.File("z.wav"));
}

TEST_F(VoxPlayTest, AFailedConversionLeavesNoWavFile) {
  EXPECT_EQ(PlayToEnd(dir_.File("none.VOX"), "L0"), kWavePlayNoFile);
  for (const std::string& name : FilesInDir()) EXPECT_EQ(name.find("none"), std::string::npos);
}

}  // namespace
}  // namespace telephony
