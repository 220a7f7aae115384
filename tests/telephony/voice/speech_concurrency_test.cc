// Lines speaking at once: the syllable library loads once for 32 threads
// that speak first, and 20 lines speaking into files through espeak-ng each
// get their own speech.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "telephony/voice/espeak_speech.h"
#include "telephony/voice/syllable_lib.h"
#include "tests/telephony/voc_lib_fixture.h"
#include "tests/telephony/voice_scratch_fixture.h"

namespace telephony {
namespace {

class SpeechConcurrencyTest : public VoiceScratchTest {};

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST_F(SpeechConcurrencyTest, ThirtyTwoFirstSpeakersLoadTheLibraryOnce) {
  constexpr int kThreads = 32;
  VocLibBuilder lib;
  for (char d = '0'; d <= '9'; ++d) lib.Clip(std::string(1, d), 50 + (d - '0'));
  std::filesystem::create_directory("lib");
  lib.WriteTo("lib");
  CGetHypy hypy;
  std::vector<std::thread> threads;
  std::vector<int32_t> results(kThreads);
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      hypy.LoadVocLib("lib");
      results[i] = hypy.TextToVocFile(std::to_string(i), "o" + std::to_string(i) + ".raw");
    });
  }
  for (std::thread& t : threads) t.join();
  for (int i = 0; i < kThreads; ++i) {
    const std::string digits = std::to_string(i);
    std::string want;
    for (char d : digits) want += lib.ClipOf(std::string(1, d));
    EXPECT_EQ(results[i], static_cast<int32_t>(digits.size()));
    EXPECT_EQ(testing_support::ReadFile("o" + digits + ".raw"), want) << i;
  }
  EXPECT_EQ(Count(Log(), "loaded: 10 syllables"), 1u);
}

TEST_F(SpeechConcurrencyTest, TwentyLinesSpeakIntoTheirOwnFiles) {
  constexpr int kLines = 20;
  auto text = [](int i) { return "line " + std::to_string(i); };
  std::vector<std::string> alone(kLines);
  for (int i = 0; i < kLines; ++i) {
    TagMsTTS voice;
    ASSERT_EQ(voice.SpeakToFile(text(i), "a.wav", false, kSpeechAlaw), 0);
    alone[i] = testing_support::ReadFile("a.wav").value_or("");
  }
  std::vector<std::thread> lines;
  std::vector<int32_t> results(kLines, -99);
  for (int i = 0; i < kLines; ++i) {
    lines.emplace_back([&, i] {
      TagMsTTS voice;
      results[i] = voice.SpeakToFile(text(i), "l" + std::to_string(i) + ".wav", false, kSpeechAlaw);
    });
  }
  for (std::thread& t : lines) t.join();
  for (int i = 0; i < kLines; ++i) {
    EXPECT_EQ(results[i], 0);
    EXPECT_EQ(testing_support::ReadFile("l" + std::to_string(i) + ".wav"), alone[i]) << i;
  }
}

}  // namespace
}  // namespace telephony
