// What the voice-file tests share: a scratch folder as the working
// directory (voices are named relative to it), the process log at level 1
// in a file there, and reading little-endian header fields.
#ifndef VTTEL_TESTS_TELEPHONY_VOICE_SCRATCH_FIXTURE_H_
#define VTTEL_TESTS_TELEPHONY_VOICE_SCRATCH_FIXTURE_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "frame/log.h"
#include "frame/settings.h"
#include "tests/test_support.h"

namespace telephony {

// The peer that makes and checks voice files.
inline constexpr const char* kSox = "/usr/bin/sox";

inline uint32_t Le32At(const std::string& s, size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(s[at])) |
         static_cast<uint32_t>(static_cast<uint8_t>(s[at + 1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(s[at + 2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(s[at + 3])) << 24;
}
inline uint16_t Le16At(const std::string& s, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1]) << 8);
}

class VoiceScratchTest : public ::testing::Test {
 protected:
  static constexpr const char* kLogName = "voice_log.txt";

  VoiceScratchTest() : chdir_(dir_.path()) {
    saved_level_ = frame::GetSettings().log_level.load();
    frame::GetSettings().log_level = 1;
    frame::OpenProcessLog(std::make_unique<frame::TagWriteLog>(kLogName, 1 << 20, true, true));
  }
  ~VoiceScratchTest() override {
    frame::CloseProcessLog();
    frame::GetSettings().log_level = saved_level_;
  }

  // The log so far.
  std::string Log() {
    frame::FlushProcessLog();
    return testing_support::ReadFile(kLogName).value_or("");
  }

  testing_support::TempDir dir_;
  testing_support::ScopedChdir chdir_;
  int32_t saved_level_ = 0;
};

}  // namespace telephony

#endif  // VTTEL_TESTS_TELEPHONY_VOICE_SCRATCH_FIXTURE_H_
