// Many lines load the same scripts at once: the script cache must read a
// file from disk once however many lines ask, and buffers handed out must
// stay whole while other lines clear the cache.
#include <gtest/gtest.h>

#include <latch>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/script_cache.h"
#include "tests/test_support.h"

namespace engine {
namespace {

using testing_support::TempDir;
using testing_support::WriteFile;

constexpr int kThreads = 32;

std::string FileText(int i) { return "script " + std::to_string(i) + std::string(3000, 'x'); }

TEST(FileCacheConcurrencyTest, ThirtyTwoLinesLoadingOneScriptReadTheDiskOnce) {
  TempDir dir;
  std::string path = dir.File("main.vts");
  WriteFile(path, ScrambleScript(FileText(0), 0x00C0FFEEu));
  for (bool check_time : {false, true}) {
    SCOPED_TRACE(check_time);
    TagMemVts cache;
    std::latch start(kThreads);
    std::vector<std::shared_ptr<const FileBuffNode>> got(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        start.arrive_and_wait();
        got[t] = cache.Get(path, false, check_time);
      });
    }
    for (std::thread& th : threads) th.join();
    ASSERT_NE(got[0], nullptr);
    for (const auto& node : got) EXPECT_EQ(node.get(), got[0].get());
    EXPECT_EQ(got[0]->data, FileText(0));
    EXPECT_EQ(got[0]->scrambled, 1);
    EXPECT_EQ(cache.DiskReads(), 1u);
    EXPECT_EQ(cache.Count(), 1u);
  }
}

TEST(FileCacheConcurrencyTest, ScriptsStayWholeWhileTheCacheIsCleared) {
  TempDir dir;
  constexpr int kFiles = 4;
  for (int i = 0; i < kFiles; ++i) dir.Write(std::to_string(i), FileText(i));
  TagMemVts cache;
  std::latch start(kThreads + 1);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      start.arrive_and_wait();
      for (int round = 0; round < 50; ++round) {
        int i = (t + round) % kFiles;
        auto node = cache.Get(dir.File(std::to_string(i)), round % 3 == 0, round % 2 == 0);
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->data, FileText(i));
      }
    });
  }
  start.arrive_and_wait();
  for (int i = 0; i < 50; ++i) {
    cache.Clear();
    std::this_thread::yield();
  }
  for (std::thread& th : threads) th.join();
}

}  // namespace
}  // namespace engine
