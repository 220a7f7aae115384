// The real meter against real work: wall-clock waits, so labelled slow.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "frame/cpu_load.h"

namespace frame {
namespace {

void Spin(std::atomic<bool>* stop) {
  volatile uint64_t x = 0;
  while (!stop->load(std::memory_order_relaxed)) x = x + 1;
}

TEST(CpuLoadSlow, IdleProcessReadsLow) {
  GetCPUPercentage meter;
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_LT(meter.GetPercentage(), 20);
}

TEST(CpuLoadSlow, TwoBusyProcessorsReadAbout200) {
  if (std::thread::hardware_concurrency() < 2) GTEST_SKIP() << "needs two processors";
  GetCPUPercentage meter;
  std::atomic<bool> stop{false};
  std::thread a(Spin, &stop), b(Spin, &stop);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  meter.GetPercentage();
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  int p = meter.GetPercentage();
  stop = true;
  a.join();
  b.join();
  EXPECT_GT(p, 130);
  EXPECT_LT(p, 260);
}

}  // namespace
}  // namespace frame
