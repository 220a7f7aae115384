// A map's lock under contention: threads that find it held sleep and are
// woken, and no two hold it at once (a plain counter guarded by it ends
// exact; the thread sanitizer sees the counter's accesses ordered).
#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

#include "engine/map_table.h"

namespace engine {
namespace {

TEST(MapLockTest, EveryHolderHasItAlone) {
  constexpr int kThreads = 8;
  constexpr int kRounds = 20000;
  MapLock lock;
  long counter = 0;  // guarded by lock
  int holders = 0;   // guarded by lock
  bool overlap = false;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kRounds; ++i) {
        std::lock_guard<MapLock> hold(lock);
        if (++holders != 1) overlap = true;
        ++counter;
        if (i % 64 == 0) std::this_thread::yield();  // holders that wait
        --holders;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(counter, long{kThreads} * kRounds);
  EXPECT_FALSE(overlap);
}

}  // namespace
}  // namespace engine
