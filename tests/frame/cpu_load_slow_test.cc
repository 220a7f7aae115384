// The real meter against real work: wall-clock waits, so labelled slow.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <thread>

#include "frame/cpu_load.h"

namespace frame {
namespace {

void Spin(std::atomic<bool>* stop) {
  volatile uint64_t x = 0;
  while (!stop->load(std::memory_order_relaxed)) x = x + 1;
}

uint64_t ProcessCpuMs() {
  rusage u;
  getrusage(RUSAGE_SELF, &u);
  return static_cast<uint64_t>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000u +
         static_cast<uint64_t>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000u;
}

TEST(CpuLoadSlow, IdleProcessReadsLow) {
  GetCPUPercentage meter;
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_LT(meter.GetPercentage(), 20);
}

// Two spinning threads: the meter reads what the process really used over
// the interval, counted over all processors (about 200 on an idle machine
// with two or more; less when the machine is busy, but always what was
// used).
TEST(CpuLoadSlow, TwoBusyThreadsReadWhatTheProcessUsed) {
  if (std::thread::hardware_concurrency() < 2) GTEST_SKIP() << "needs two processors";
  GetCPUPercentage meter;
  std::atomic<bool> stop{false};
  std::thread a(Spin, &stop), b(Spin, &stop);
  std::this_thread::sleep_for(std::chrono::milliseconds(450));
  meter.GetPercentage();  // the measurement starts here
  const uint64_t cpu_start = ProcessCpuMs();
  const auto wall_start = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  const int p = meter.GetPercentage();
  const uint64_t cpu_used = ProcessCpuMs() - cpu_start;
  const auto wall = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - wall_start)
                        .count();
  stop = true;
  a.join();
  b.join();
  const int actual = static_cast<int>(cpu_used * 100 / static_cast<uint64_t>(wall));
  EXPECT_NEAR(p, actual, 25) << "meter " << p << ", measured " << actual;
  // When the machine gave the two threads two processors, the meter must
  // count past 100 (it is not divided by the number of processors).
  if (actual >= 150) {
    EXPECT_GT(p, 120);
  }
  EXPECT_LT(p, 260);
}

}  // namespace
}  // namespace frame
