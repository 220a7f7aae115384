// A test's sound card: the file wave devices in a folder of the test's own,
// on a FakeClock that the test moves.
#ifndef VTTEL_TESTS_TELEPHONY_WAVE_FIXTURE_H_
#define VTTEL_TESTS_TELEPHONY_WAVE_FIXTURE_H_

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "platform/clock.h"
#include "platform/wave_device.h"
#include "tests/test_support.h"

namespace telephony {

// The little-endian 32-bit value at a byte offset of a file's bytes.
inline uint32_t Le32At(const std::string& s, size_t at) {
  return static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1]) << 8 |
         static_cast<uint8_t>(s[at + 2]) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(s[at + 3])) << 24;
}

// Devices that open nothing.
class RefusingDevices : public platform::WaveDevices {
 public:
  int32_t OpenOut(int32_t, const platform::WaveFormat&, std::string_view,
                  platform::WaveNoticeQueue*, std::unique_ptr<platform::WaveOut>*) override {
    return platform::kWaveBadDevice;
  }
  int32_t OpenIn(int32_t, const platform::WaveFormat&, std::string_view,
                 platform::WaveNoticeQueue*, std::unique_ptr<platform::WaveIn>*) override {
    return platform::kWaveBadDevice;
  }
};

class WaveFixture : public ::testing::Test {
 protected:
  // Moves the clock in steps until done() holds (at most limit_ms of it);
  // the devices see each step within a millisecond of real time.
  bool AdvanceUntil(const std::function<bool()>& done, uint32_t limit_ms = 600000) {
    for (uint32_t moved = 0; moved <= limit_ms; moved += kStepMs) {
      if (done()) return true;
      clock_.Advance(kStepMs);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return done();
  }
  // Waits in real time, the clock standing, until done() holds (at most 5 s).
  static bool WaitStanding(const std::function<bool()>& done) {
    for (int waited = 0; waited < 5000 && !done(); ++waited) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
  }
  // The voice bytes of capture file "out-<tag>-<n>.wav".
  std::string Captured(const std::string& tag, int n = 1) const {
    const std::string file =
        testing_support::ReadFile(dir_.File("out-" + tag + "-" + std::to_string(n) + ".wav"))
            .value_or("");
    return file.size() >= kCaptureHeader ? file.substr(kCaptureHeader) : "";
  }

  static constexpr uint32_t kStepMs = 50;
  static constexpr size_t kCaptureHeader = 46;
  platform::FakeClock clock_;
  platform::ScopedClock scoped_clock_{&clock_};
  testing_support::TempDir dir_;
  std::unique_ptr<platform::WaveDevices> devices_ = platform::MakePacedWaveDevices(dir_.path());
  platform::ScopedWaveDevices scoped_devices_{devices_.get()};
};

}  // namespace telephony

#endif  // VTTEL_TESTS_TELEPHONY_WAVE_FIXTURE_H_
