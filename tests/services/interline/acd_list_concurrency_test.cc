// Eight lines send into, read and receive from the groups of one ACD list
// at once: every message is received exactly once.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "frame/settings.h"
#include "services/interline/acd_list.h"
#include "tests/engine/values.h"

namespace services {
namespace {

using engine::Int;

constexpr int kLines = 8;
constexpr int kPerLine = 300;
constexpr int kGroups = 5;
constexpr auto kDeadline = std::chrono::seconds(20);

TEST(AcdListConcurrencyTest, EightLinesLoseAndDuplicateNothing) {
  const uint32_t old_limit = frame::GetSettings().max_msg_num.exchange(0);
  TagAcdList list;
  std::atomic<int> received_total{0};
  std::vector<std::vector<int32_t>> received(kLines);
  const auto end = std::chrono::steady_clock::now() + kDeadline;
  std::vector<std::thread> lines;
  for (int32_t line = 0; line < kLines; ++line) {
    lines.emplace_back([&, line] {
      auto take = [&](const engine::TagVar& id) {
        TagMsgFields got;
        if (list.Recv(line, 0, id, got) == 0) return false;
        received[static_cast<size_t>(line)].push_back(got.fields[0].GetInt());
        received_total.fetch_add(1);
        return true;
      };
      for (int i = 0; i < kPerLine; ++i) {
        TagMsgFields m;
        m.sender = line;
        m.SetField(0, Int(line * kPerLine + i));
        m.SetCount(1);
        list.Send("g" + std::to_string(i % kGroups), m);
        // Every third message is taken at once by its id, the rest by reading.
        if (i % 3 == 0) take(Int(line * kPerLine + i));
      }
      while (received_total.load() < kLines * kPerLine && std::chrono::steady_clock::now() < end) {
        TagMsgFields seen;
        if (list.Read(line, seen) == 0 || !take(seen.fields[0])) std::this_thread::sleep_for(std::chrono::microseconds(100));
      }
    });
  }
  for (auto& t : lines) t.join();
  frame::GetSettings().max_msg_num.store(old_limit);
  std::vector<int32_t> all;
  for (const auto& r : received) all.insert(all.end(), r.begin(), r.end());
  std::sort(all.begin(), all.end());
  ASSERT_EQ(all.size(), static_cast<size_t>(kLines * kPerLine));
  for (int32_t i = 0; i < kLines * kPerLine; ++i) ASSERT_EQ(all[static_cast<size_t>(i)], i);
  for (int g = 0; g < kGroups; ++g) EXPECT_EQ(list.Num("g" + std::to_string(g)), 0) << g;
}

}  // namespace
}  // namespace services
