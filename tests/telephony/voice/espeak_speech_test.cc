// The system speech voice against the espeak-ng program: "TxtSpeakToFile("
// in the system-voice mode writes 8 kHz files of each format whose samples
// follow espeak-ng's own output resampled by sox; a missing program gives
// the creation code on every call and one log line per run.
#include "telephony/voice/espeak_speech.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/pipe_process.h"
#include "platform/wave_device.h"
#include "telephony/line_settings.h"
#include "telephony/statements/speech_statements.h"
#include "tests/telephony/script_on_line.h"
#include "tests/telephony/voice_scratch_fixture.h"

namespace telephony {
namespace {

std::vector<int16_t> Pcm16(const std::string& bytes) {
  std::vector<int16_t> s(bytes.size() / 2);
  std::memcpy(s.data(), bytes.data(), s.size() * 2);
  return s;
}

// The best correlation of a and b over small shifts.
double Correlation(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
  double best = -1;
  for (int lag = -8; lag <= 8; ++lag) {
    double sab = 0, saa = 0, sbb = 0;
    for (size_t i = 0; i < a.size(); ++i) {
      const long j = static_cast<long>(i) + lag;
      if (j < 0 || j >= static_cast<long>(b.size())) continue;
      sab += double(a[i]) * b[j];
      saa += double(a[i]) * a[i];
      sbb += double(b[j]) * b[j];
    }
    if (saa > 0 && sbb > 0) best = std::max(best, sab / std::sqrt(saa * sbb));
  }
  return best;
}

// espeak-ng's own speech of a UTF-8 text, resampled to 8 kHz by sox.
std::vector<int16_t> Reference(const char8_t* utf8, const char* voice) {
  const std::string text = reinterpret_cast<const char*>(utf8);
  EXPECT_EQ(platform::RunProcess({"espeak-ng", "-v", voice, "-w", "ref.wav", text}, "", nullptr)
                .exit_status, 0);
  EXPECT_EQ(platform::RunProcess({kSox, "ref.wav", "-r", "8000", "-t", "raw", "-e", "signed",
                                  "-b", "16", "ref.raw"}, "", nullptr).exit_status, 0);
  return Pcm16(testing_support::ReadFile("ref.raw").value_or(""));
}

class EspeakSpeechTest : public VoiceScratchTest {
 protected:
  EspeakSpeechTest() {
    RegisterSpeechStatements();
    std::filesystem::create_directories("voc");
    call_.lineNo = 2;
  }
  std::unique_ptr<ScriptOnLine> Run(const std::string& lines) {
    auto run = std::make_unique<ScriptOnLine>(lines + "\nreturn(0)\n", call_);
    EXPECT_TRUE(run->compiled()) << run->Errors();
    LineSettingsOf(run->script()).voice.voiceDirs[0] = "voc\\";
    run->RunHere();
    return run;
  }
  RecordingCall call_;
};

TEST_F(EspeakSpeechTest, FilesOfEachFormatHoldTheVoice) {
  auto run = Run("r0 = TxtSpeakToFile(\"你好\", \"f0.wav\", 0, 1)\n"
                 "r1 = TxtSpeakToFile(\"你好\", \"f1.wav\", 1, 1)\n"
                 "r2 = TxtSpeakToFile(\"你好\", \"f2.wav\", 2, 1)\n"
                 "r3 = TxtSpeakToFile(\"你好\", \"f3.wav\", 3, 1)");
  const struct {
    const char* file;
    uint16_t tag, align, bits;
  } kFormats[] = {{"voc/f0.wav", 1, 2, 16}, {"voc/f1.wav", 6, 1, 8}, {"voc/f2.wav", 7, 1, 8},
                  {"voc/f3.wav", 1, 1, 8}};
  std::string pcm;
  for (const auto& f : kFormats) {
    SCOPED_TRACE(f.file);
    const std::string wav = testing_support::ReadFile(f.file).value_or("");
    ASSERT_GT(wav.size(), 46u + 1000);
    EXPECT_EQ(Le16At(wav, 20), f.tag);
    EXPECT_EQ(Le16At(wav, 22), 1);
    EXPECT_EQ(Le32At(wav, 24), 8000u);
    EXPECT_EQ(Le32At(wav, 28), 8000u * f.align);
    EXPECT_EQ(Le16At(wav, 32), f.align);
    EXPECT_EQ(Le16At(wav, 34), f.bits);
    EXPECT_EQ(Le32At(wav, 42), wav.size() - 46);
    EXPECT_EQ(Le32At(wav, 4), wav.size() - 8);
    if (f.bits == 16) pcm = wav.substr(46);
  }
  for (const char* r : {"r0", "r1", "r2", "r3"}) EXPECT_EQ(run->Int(r), 0) << r;
  EXPECT_FALSE(testing_support::FileExists("voc/f1.wav.wav"));
  EXPECT_GT(Correlation(Pcm16(pcm), Reference(u8"你好", kEspeakChineseVoice)), 0.95);
  EXPECT_LT(Correlation(Pcm16(pcm), Reference(u8"你好", kEspeakEnglishVoice)), 0.95);
}

TEST_F(EspeakSpeechTest, AMissingProgramFailsEveryCallAndIsLoggedOncePerRun) {
  testing_support::ScopedEnv espeak("VTTEL_ESPEAK", "/nonexistent/espeak-ng");
  auto run = Run("r1 = TxtSpeakToFile(\"a\", \"m.wav\", 0, 0)\nr2 = TxtSpeakToFile(\"a\", \"m\", 1, 0)");
  EXPECT_EQ(run->Int("r1"), kSpeechNoVoice);
  EXPECT_EQ(run->Int("r2"), kSpeechNoVoice);
  run->RunHere();  // a second run logs once more
  const std::string log = Log();
  size_t lines = 0;
  for (size_t at = log.find("Could not create a TTS voice"); at != std::string::npos;
       at = log.find("Could not create a TTS voice", at + 1)) {
    ++lines;
  }
  EXPECT_EQ(lines, 2u);
  EXPECT_NE(log.find("hr=0x80040154"), std::string::npos);
  EXPECT_EQ(call_.errors, (std::vector<std::string>{"MsTxt2Voc(PCM) Err.", "MsTxt2Voc(A-Law) Err.",
                                                    "MsTxt2Voc(PCM) Err.", "MsTxt2Voc(A-Law) Err."}));
  EXPECT_FALSE(testing_support::FileExists("voc/m.wav"));
}

TEST_F(EspeakSpeechTest, AStoppedLineEndsTheSpeaking) {
  // A speech program that never ends.
  testing_support::WriteFile("slow.sh", "#!/bin/sh\nexec sleep 30\n");
  std::filesystem::permissions("slow.sh", std::filesystem::perms::owner_all);
  testing_support::ScopedEnv espeak("VTTEL_ESPEAK", dir_.path() + "/slow.sh");
  const auto start = std::chrono::steady_clock::now();
  std::thread stopper([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    call_.stopFlag.store(1);
  });
  Run("r = TxtSpeakToFile(\"a\", \"s.wav\", 0, 0)");
  stopper.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(call_.errors, std::vector<std::string>{"MsTxt2Voc(PCM) Err."});
}

TEST_F(EspeakSpeechTest, TheSoundCardPlaysTheSpeechUnderItsLinesTag) {
  std::filesystem::create_directories("card");
  auto devices = platform::MakePacedWaveDevices(dir_.path() + "/card");
  platform::ScopedWaveDevices use(devices.get());
  {
    TagTTS speech(kDefaultWaveDevice, 5);
    ASSERT_EQ(speech.Start("你好", false, false), 0);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!speech.Ended() && std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(speech.Ended());
  }
  const std::string wav = testing_support::ReadFile("card/out-L5-1.wav").value_or("");
  ASSERT_GT(wav.size(), 44u);
  const std::vector<int16_t> reference = Reference(u8"你好", kEspeakChineseVoice);
  const std::vector<int16_t> played = Pcm16(wav.substr(wav.size() - reference.size() * 2));
  EXPECT_GT(Correlation(played, reference), 0.95);
}

}  // namespace
}  // namespace telephony
