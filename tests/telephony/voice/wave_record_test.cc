// The sound-card recorder on the file wave devices: the voice it takes from
// the input file, the header it completes, and its failures.
#include "telephony/voice/wave_record.h"

#include <gtest/gtest.h>

#include <string>

#include "frame/log.h"
#include "platform/message_service.h"
#include "tests/telephony/wave_fixture.h"

namespace telephony {
namespace {

using testing_support::ReadFile;
using testing_support::WriteFile;

class WaveRecordTest : public WaveFixture {
 protected:
  void SetUp() override {
    for (int i = 0; i < 40000; ++i) input_.push_back(static_cast<char>(i * 7 + i / 256));
    WriteFile(dir_.File("in-L4.raw"), input_);
  }
  std::string input_;
};

TEST_F(WaveRecordTest, TwoSecondsGiveThirtyTwoThousandBytes) {
  const std::string file = dir_.File("two.wav");
  {
    TagWaveRecord recorder(file, platform::kWaveDefaultDevice, "L4");
    ASSERT_EQ(recorder.status(), 0);
    const uint32_t start = clock_.TickCount();
    ASSERT_EQ(recorder.Start(), kRecordStarted);
    // The first buffer (1.28 s) fills; the stop at 2 s returns the second
    // one partly filled.
    clock_.Advance(1280);
    ASSERT_TRUE(WaitStanding([&] { return recorder.total() == kRecordDefaultBuffer; }));
    clock_.Advance(start + 2000 - clock_.TickCount());
    recorder.Stop();
    EXPECT_TRUE(recorder.IsFinished());
    EXPECT_EQ(recorder.total(), 32000u);
  }
  const std::string wav = ReadFile(file).value();
  ASSERT_EQ(wav.size(), 48u + 32000);
  EXPECT_EQ(Le32At(wav, 4), 32040u);
  EXPECT_EQ(Le32At(wav, 16), 20u);
  EXPECT_EQ(Le32At(wav, 44), 32000u);
  EXPECT_EQ(wav.substr(48), input_.substr(0, 32000));
}

TEST_F(WaveRecordTest, AStopBeforeTheFirstBufferKeepsThePart) {
  const std::string file = dir_.File("part.wav");
  {
    TagWaveRecord recorder(file, platform::kWaveDefaultDevice, "L4");
    ASSERT_EQ(recorder.Start(), kRecordStarted);
    clock_.Advance(500);
    recorder.Stop();
  }
  const std::string wav = ReadFile(file).value();
  EXPECT_EQ(Le32At(wav, 44), 8000u);
  EXPECT_EQ(wav.substr(48), input_.substr(0, 8000));
}

TEST_F(WaveRecordTest, AFileThatCannotBeMadeGivesAMessageAndMinusOne) {
  platform::RecordingMessageService messages;
  platform::ScopedMessageService scoped(&messages);
  const std::string file = dir_.File("missing/x.wav");
  TagWaveRecord recorder(file, platform::kWaveDefaultDevice, "L4");
  EXPECT_EQ(recorder.status(), -1);
  ASSERT_EQ(messages.messages().size(), 1u);
  EXPECT_EQ(messages.messages()[0].text, "无法创建'" + file + "'");
  EXPECT_EQ(messages.messages()[0].caption, "出错了Record()");
  EXPECT_EQ(recorder.Start(), kRecordNoFile);
}

TEST_F(WaveRecordTest, ADeviceThatDoesNotOpenFailsTheStart) {
  RefusingDevices refusing;
  platform::ScopedWaveDevices scoped(&refusing);
  const std::string file = dir_.File("x.wav");
  {
    TagWaveRecord recorder(file, platform::kWaveDefaultDevice, "L4");
    EXPECT_EQ(recorder.Start(), kRecordNoDevice);
    EXPECT_TRUE(recorder.IsFinished());
  }
  // Nothing recorded: the header keeps its zero sizes.
  const std::string wav = ReadFile(file).value();
  ASSERT_EQ(wav.size(), 48u);
  EXPECT_EQ(Le32At(wav, 4), 0u);
  EXPECT_EQ(Le32At(wav, 44), 0u);
}

TEST_F(WaveRecordTest, TheFirstWriteFailureOfARecordingIsLogged) {
  testing_support::ScopedChdir chdir(dir_.path());
  frame::OpenProcessLog(std::make_unique<frame::TagWriteLog>("log.txt", 1 << 20, true, true));
  {
    TagWaveRecord recorder("/dev/full", platform::kWaveDefaultDevice, "L4");
    ASSERT_EQ(recorder.status(), 0);
    ASSERT_EQ(recorder.Start(), kRecordStarted);
    // Two buffers fill and fail to be written; then a stop.
    ASSERT_TRUE(AdvanceUntil([&] { return clock_.TickCount() > 3000; }));
    recorder.Stop();
    EXPECT_EQ(recorder.total(), 0u);
  }
  frame::CloseProcessLog();
  const std::string log = ReadFile(dir_.File("log.txt")).value_or("");
  const std::string line = "Record: writing \"/dev/full\" failed";
  const size_t first = log.find(line);
  ASSERT_NE(first, std::string::npos) << log;
  EXPECT_EQ(log.find(line, first + 1), std::string::npos) << log;
}

}  // namespace
}  // namespace telephony
