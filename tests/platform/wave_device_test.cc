// The wave devices: the choice by VTTEL_SOUND, the paced file and null
// devices on a test's clock (capture files, raw input then silence, a reset
// that returns the part played) and ALSA through a test configuration that
// writes the samples into a file.
#include "platform/wave_device.h"

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/g711.h"
#include "tests/test_support.h"

namespace platform {
namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

uint32_t Le32At(const std::string& bytes, size_t at) {
  return static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8 |
         static_cast<uint8_t>(bytes[at + 2]) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 3])) << 24;
}

// Skips the opened notice and returns the next one.
WaveNotice NextAfterOpen(WaveNoticeQueue& queue) {
  WaveNotice notice = queue.Wait();
  EXPECT_EQ(notice.kind, WaveNoticeKind::kOpened);
  return queue.Wait();
}

TEST(WaveDeviceChoice, SettingsNameTheirDevices) {
  struct Case {
    const char* setting;
    bool names_devices;
  };
  const Case cases[] = {{"null", true},   {"file:/tmp/x", true}, {"alsa", true},
                        {"alsa:hw:0", true}, {"file:", false},    {"alsa:", false},
                        {"pulse", false},  {"NULL", false}};
  for (const Case& c : cases) {
    EXPECT_EQ(MakeWaveDevices(c.setting) != nullptr, c.names_devices) << c.setting;
  }
}

class PacedDeviceTest : public ::testing::Test {
 protected:
  FakeClock clock_;
  ScopedClock scoped_clock_{&clock_};
  TempDir dir_;
  std::unique_ptr<WaveDevices> devices_ = MakePacedWaveDevices(dir_.path());
  WaveNoticeQueue queue_;
};

TEST_F(PacedDeviceTest, EachOutputOpenWritesACaptureFileOfItsTag) {
  const std::string voice(800, '\x12');
  for (const char* tag : {"L3", "L3", "pc"}) {
    std::unique_ptr<WaveOut> out;
    ASSERT_EQ(devices_->OpenOut(kWaveDefaultDevice, AlawVoiceFormat(), tag, &queue_, &out),
              kWaveOk);
    ASSERT_EQ(out->Write(reinterpret_cast<const uint8_t*>(voice.data()), 800, 7), kWaveOk);
    EXPECT_EQ(out->Write(reinterpret_cast<const uint8_t*>(voice.data()), 800, 8),
              kWaveStillPlaying);
    clock_.Advance(100);  // 800 A-law bytes play in 100 ms
    const WaveNotice done = NextAfterOpen(queue_);
    EXPECT_EQ(done.kind, WaveNoticeKind::kDone);
    EXPECT_EQ(done.buffer_id, 7u);
    out.reset();
    EXPECT_EQ(queue_.Wait().kind, WaveNoticeKind::kClosed);
  }
  for (const char* name : {"out-L3-1.wav", "out-L3-2.wav", "out-pc-1.wav"}) {
    const std::string capture = ReadFile(dir_.File(name)).value_or("");
    ASSERT_EQ(capture.size(), 46u + 800) << name;
    EXPECT_EQ(capture.substr(0, 4), "RIFF");
    EXPECT_EQ(Le32At(capture, 4), 38u + 800);
    EXPECT_EQ(capture[20], kWaveTagAlaw);
    EXPECT_EQ(Le32At(capture, 42), 800u);
    EXPECT_EQ(capture.substr(46), voice);
  }
}

TEST_F(PacedDeviceTest, ResetReturnsThePartPlayedAtOnce) {
  const std::string voice(8000, '\x33');  // one second
  std::unique_ptr<WaveOut> out;
  ASSERT_EQ(devices_->OpenOut(kWaveDefaultDevice, AlawVoiceFormat(), "L1", &queue_, &out),
            kWaveOk);
  ASSERT_EQ(out->Write(reinterpret_cast<const uint8_t*>(voice.data()), 8000, 1), kWaveOk);
  clock_.Advance(250);
  out->Reset();  // the clock does not move: the buffer comes back at once
  const WaveNotice done = NextAfterOpen(queue_);
  EXPECT_EQ(done.kind, WaveNoticeKind::kDone);
  EXPECT_EQ(done.bytes, 2000u);
  out.reset();
  EXPECT_EQ(ReadFile(dir_.File("out-L1-1.wav")).value_or("").size(), 46u + 2000);
}

TEST_F(PacedDeviceTest, InputReadsItsRawFileThenSilence) {
  struct Case {
    WaveFormat format;
    char silence;
  };
  const Case cases[] = {{AlawVoiceFormat(), static_cast<char>(kAlawZero)},
                        {Pcm16VoiceFormat(), '\0'}};
  for (const Case& c : cases) {
    WriteFile(dir_.File("in-L5.raw"), std::string(300, '\x41'));
    std::unique_ptr<WaveIn> in;
    ASSERT_EQ(devices_->OpenIn(kWaveDefaultDevice, c.format, "L5", &queue_, &in), kWaveOk);
    std::vector<uint8_t> buffer(c.format.bytes_per_sec / 10, 0x99);  // 100 ms
    ASSERT_EQ(in->AddBuffer(buffer.data(), static_cast<uint32_t>(buffer.size()), 3), kWaveOk);
    ASSERT_EQ(in->Start(), kWaveOk);
    clock_.Advance(100);
    const WaveNotice done = NextAfterOpen(queue_);
    ASSERT_EQ(done.bytes, buffer.size());
    const std::string got(buffer.begin(), buffer.end());
    EXPECT_EQ(got, std::string(300, '\x41') + std::string(buffer.size() - 300, c.silence));
    // A buffer given and reset before its time holds what was recorded so far.
    ASSERT_EQ(in->AddBuffer(buffer.data(), static_cast<uint32_t>(buffer.size()), 4), kWaveOk);
    clock_.Advance(50);
    in->Reset();
    EXPECT_EQ(queue_.Wait().bytes, buffer.size() / 2);
    in.reset();
    EXPECT_EQ(queue_.Wait().kind, WaveNoticeKind::kClosed);
  }
}

TEST_F(PacedDeviceTest, RefusesAMissingCaptureFolderAndFormatsWithoutTime) {
  auto devices = MakePacedWaveDevices(dir_.File("missing"));
  std::unique_ptr<WaveOut> out;
  EXPECT_EQ(devices->OpenOut(kWaveDefaultDevice, AlawVoiceFormat(), "L0", &queue_, &out),
            kWaveBadDevice);
  EXPECT_EQ(out, nullptr);
  WaveFormat timeless = AlawVoiceFormat();
  timeless.bytes_per_sec = 0;
  EXPECT_EQ(devices_->OpenOut(kWaveDefaultDevice, timeless, "L0", &queue_, &out), kWaveBadFormat);
  std::unique_ptr<WaveIn> in;
  timeless = Pcm16VoiceFormat();
  timeless.block_align = 0;
  EXPECT_EQ(devices_->OpenIn(kWaveDefaultDevice, timeless, "L0", &queue_, &in), kWaveBadFormat);
  EXPECT_EQ(in, nullptr);
}

// ALSA, pointed by the test's own configuration at a file PCM over "null":
// what the device is given arrives in the file as the samples ALSA took.
TEST(AlsaWaveDevice, WritesTheSamplesGiven) {
  TempDir home;
  const std::string raw = home.File("alsa.raw");
  WriteFile(home.File(".asoundrc"), "pcm.vttest {\n  type file\n  slave.pcm \"null\"\n  file \"" +
                                        raw + "\"\n  format \"raw\"\n}\n");
  testing_support::ScopedEnv env("HOME", home.path());
  snd_config_update_free_global();  // ALSA reads its configuration again
  std::string pcm;
  for (int i = 0; i < 1600; ++i) pcm.push_back(static_cast<char>(i * 7));
  const std::string alaw = "\xD5\x55\x2A\xAA";
  std::string alaw_samples;
  for (char code : alaw) {
    const auto s = static_cast<uint16_t>(AlawToLinear(static_cast<uint8_t>(code)));
    alaw_samples += static_cast<char>(s & 0xFF);
    alaw_samples += static_cast<char>(s >> 8);
  }
  struct Case {
    WaveFormat format;
    std::string given;
    std::string written;
  };
  const Case cases[] = {{Pcm16VoiceFormat(), pcm, pcm}, {AlawVoiceFormat(), alaw, alaw_samples}};
  for (const Case& c : cases) {
    auto devices = MakeAlsaWaveDevices("vttest");
    WaveNoticeQueue queue;
    std::unique_ptr<WaveOut> out;
    ASSERT_EQ(devices->OpenOut(kWaveDefaultDevice, c.format, "L0", &queue, &out), kWaveOk);
    ASSERT_EQ(out->Write(reinterpret_cast<const uint8_t*>(c.given.data()),
                         static_cast<uint32_t>(c.given.size()), 1),
              kWaveOk);
    EXPECT_EQ(NextAfterOpen(queue).bytes, c.given.size());
    out.reset();
    EXPECT_EQ(ReadFile(raw).value_or(""), c.written);
  }
}

// Without VTTEL_SOUND the devices are ALSA's when its "default" opens, else
// the null devices (which take the voice and write it nowhere).
TEST(AlsaWaveDevice, NoSettingTakesAlsaDefaultWhenItOpens) {
  TempDir home;
  const std::string raw = home.File("default.raw");
  testing_support::ScopedEnv env("HOME", home.path());
  struct Case {
    std::string default_pcm;
    bool written;
  };
  const Case cases[] = {
      {"type file\n  slave.pcm \"null\"\n  file \"" + raw + "\"\n  format \"raw\"", true},
      {"type hw\n  card 99", false},
  };
  for (const Case& c : cases) {
    std::remove(raw.c_str());
    WriteFile(home.File(".asoundrc"), "pcm.!default {\n  " + c.default_pcm + "\n}\n");
    snd_config_update_free_global();  // ALSA reads its configuration again
    auto devices = MakeWaveDevices(nullptr);
    ASSERT_NE(devices, nullptr);
    WaveNoticeQueue queue;
    std::unique_ptr<WaveOut> out;
    ASSERT_EQ(devices->OpenOut(kWaveDefaultDevice, Pcm16VoiceFormat(), "L0", &queue, &out),
              kWaveOk);
    const std::string pcm(320, '\x21');
    ASSERT_EQ(out->Write(reinterpret_cast<const uint8_t*>(pcm.data()), 320, 1), kWaveOk);
    EXPECT_EQ(NextAfterOpen(queue).kind, WaveNoticeKind::kDone);
    out.reset();
    EXPECT_EQ(ReadFile(raw).has_value(), c.written) << c.default_pcm;
  }
}

}  // namespace
}  // namespace platform
