#include "frame/cpu_load.h"

#include <gtest/gtest.h>

#include <atomic>

#include "platform/clock.h"

namespace frame {
namespace {

// A processor-time source that a test drives: each reading adds the
// busy share of the ticks that passed since the last reading.
class FakeCpu {
 public:
  explicit FakeCpu(platform::FakeClock* clock) : clock_(clock), last_tick_(clock->TickCount()) {}
  GetCPUPercentage::CpuTimeSource Source() {
    return [this](uint64_t* ms) {
      uint32_t now = clock_->TickCount();
      cpu_ms_ += static_cast<uint64_t>(now - last_tick_) * percent_ / 100;
      last_tick_ = now;
      *ms = cpu_ms_;
      ++readings_;
      return true;
    };
  }
  void set_percent(int p) { percent_ = p; }
  int readings() const { return readings_; }

 private:
  platform::FakeClock* clock_;
  uint32_t last_tick_;
  uint64_t cpu_ms_ = 0;
  int percent_ = 0;
  int readings_ = 0;
};

class CpuLoadTest : public ::testing::Test {
 protected:
  platform::FakeClock clock_{0xFFFFFF00u};  // near the wrap of the tick
  platform::ScopedClock scoped_{&clock_};
  FakeCpu cpu_{&clock_};
};

TEST_F(CpuLoadTest, MeasuresEvery400MsAndAcrossTheTickWrap) {
  GetCPUPercentage meter(cpu_.Source());
  cpu_.set_percent(200);  // two busy processors
  clock_.Advance(500);
  EXPECT_EQ(meter.GetPercentage(), 200);
  cpu_.set_percent(30);
  clock_.Advance(100);
  EXPECT_EQ(meter.GetPercentage(), 200);  // 100 ms later: the same reading
  clock_.Advance(400);
  EXPECT_EQ(meter.GetPercentage(), 30);
}

TEST_F(CpuLoadTest, UnreadableProcessReadsZero) {
  GetCPUPercentage meter([](uint64_t*) { return false; });
  clock_.Advance(1000);
  EXPECT_EQ(meter.GetPercentage(), 0);
}

TEST_F(CpuLoadTest, WaitCpuIdleOnABusyMachineGivesUpAfter200Readings) {
  GetCPUPercentage meter(cpu_.Source());
  ScopedCpuMeter scoped(&meter);
  cpu_.set_percent(90);
  clock_.Advance(500);
  ASSERT_EQ(meter.GetPercentage(), 90);
  WaitCpuIdle(20, 65);
  EXPECT_EQ(clock_.SleptMillis(), 64000u);
  EXPECT_EQ(clock_.SleepCalls(), 200u);
  // A reading is measured anew only when 400 ms have passed: with 320 ms
  // between readings, every second one after the first measures (99 of
  // 200), besides the construction and the reading above.
  EXPECT_EQ(cpu_.readings(), 1 + 1 + 99);
}

TEST_F(CpuLoadTest, WaitCpuIdleReturnsAfterTheFirstQuietReading) {
  GetCPUPercentage meter(cpu_.Source());
  ScopedCpuMeter scoped(&meter);
  cpu_.set_percent(10);
  clock_.Advance(500);
  WaitCpuIdle(40, 75);
  EXPECT_EQ(clock_.SleptMillis(), 75u);
  WaitCpuIdle(40, 0);  // no sleep when ms is 0
  EXPECT_EQ(clock_.SleptMillis(), 75u);
}

TEST_F(CpuLoadTest, WaitCpuIdleWaitsOutABusySpell) {
  GetCPUPercentage meter(cpu_.Source());
  ScopedCpuMeter scoped(&meter);
  cpu_.set_percent(80);
  clock_.Advance(500);
  meter.GetPercentage();
  cpu_.set_percent(10);  // quiet from now on: the next measurement sees it
  WaitCpuIdle(20, 65);
  EXPECT_EQ(clock_.SleptMillis(), 2u * 320u + 65u);
}

TEST_F(CpuLoadTest, SleepTicksSleepsInFiftyMsSteps) {
  struct {
    uint32_t ms;
    uint32_t elapsed;
  } cases[] = {{0, 50}, {1, 50}, {50, 50}, {51, 100}, {100, 100}, {350, 350}};
  for (const auto& c : cases) {
    EXPECT_EQ(SleepTicks(c.ms), c.elapsed) << c.ms;
  }
}

}  // namespace
}  // namespace frame
