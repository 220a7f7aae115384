// Many lines play the same prompts at once: voice files handed out must
// stay whole while other lines load, unload and clear them.
#include <gtest/gtest.h>

#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "telephony/voice/voc_cache.h"
#include "tests/test_support.h"

namespace telephony {
namespace {

using testing_support::TempDir;

constexpr int kThreads = 32;

std::string FileText(int i) { return "prompt " + std::to_string(i) + std::string(3000, 'x'); }

TEST(VocCacheConcurrencyTest, PromptsStayWholeWhileOtherLinesUnloadThem) {
  TempDir dir;
  constexpr int kFiles = 4;
  for (int i = 0; i < kFiles; ++i) dir.Write(std::to_string(i), FileText(i));
  TagMemVocs vocs;
  std::latch start(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      start.arrive_and_wait();
      for (int round = 0; round < 100; ++round) {
        int i = (t + round) % kFiles;
        std::string path = dir.File(std::to_string(i));
        switch ((t + round) % 4) {
          case 0: {
            int32_t r = vocs.LoadVocFile(path);
            EXPECT_TRUE(r == static_cast<int32_t>(FileText(i).size()) || r == kVocNotLoaded);
            break;
          }
          case 1:
            vocs.UnloadVocFile(t % 8 == 1 ? std::string(kUnloadAllPath) : path);
            break;
          default:
            if (auto file = vocs.Find(path)) {
              std::this_thread::yield();  // "playing" while others unload
              EXPECT_EQ(file->data, FileText(i));
            }
        }
      }
    });
  }
  for (std::thread& th : threads) th.join();
}

}  // namespace
}  // namespace telephony
