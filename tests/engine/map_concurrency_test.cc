// Two lines can share a map (shared memory, messages): eight threads read
// and write one map at once through the map's atomic operations, and the
// map must come out whole, with every reference accounted for.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "engine/map_table.h"
#include "engine/tag_var.h"

namespace engine {
namespace {

std::string KeyText(int t, int k) { return "t" + std::to_string(t) + "_" + std::to_string(k); }

void Worker(int32_t h, int t, int rounds) {
  TagMapObject& table = MapTable();
  TagVar mine;  // this thread's variable sharing the map
  TagVar handle;
  handle.kind = kVarMap;
  handle.mapHandle = h;
  mine.Assign(handle);
  TagVar key, value, nested, scratch, shared_key, item_key, item_value;
  shared_key.SetString("nested");
  for (int i = 0; i < rounds; ++i) {
    key.SetString(KeyText(t, i % 50));
    value.SetInt(i);
    table.Store(h, key, value);               // string keys of this thread
    key.SetInt(t * 100000 + i % 30);
    value.SetString("x");
    table.Store(h, key, value);               // integer keys of this thread
    table.GetItem(h, i % 64, item_key, item_value);  // positional reads of anything
    table.Load(h, shared_key, value);         // a key every thread writes
    if (i % 10 == 0) {
      nested.Element(key)->SetInt(i);         // a nested map moves in and out
      table.Store(h, shared_key, nested);
      nested.ReleaseMap();
      if (i % 20 == 0) table.Erase(h, shared_key);
    }
    if (i % 7 == 0) table.Erase(h, key);
    if (i % 100 == 0) {
      std::string dump;
      table.Dump(h, dump);
      scratch.AddAssign(mine, mine);          // a union of the shared map
      scratch.MultiplyAssign(mine, scratch);
      scratch.ReleaseMap();
    }
  }
  key.ReleaseMap();
  value.ReleaseMap();
  item_key.ReleaseMap();
  item_value.ReleaseMap();
  mine.ReleaseMap();
}

TEST(MapConcurrency, EightThreadsShareOneMap) {
  const size_t maps_before = MapTable().LiveMaps();
  TagVar shared;
  shared.Element(TagVar())->SetInt(0);
  const int32_t h = shared.mapHandle;
  constexpr int kThreads = 8, kRounds = 2000;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back(Worker, h, t, kRounds);
  for (auto& th : threads) th.join();
  // Every thread's 50 string keys hold their last values.
  for (int t = 0; t < kThreads; ++t) {
    for (int k = 0; k < 50; ++k) {
      TagVar key, value;
      key.SetString(KeyText(t, k));
      ASSERT_TRUE(MapTable().Load(h, key, value));
      ASSERT_EQ(value.kind, kVarInt);
      EXPECT_EQ(value.intValue, kRounds - 50 + k);
    }
  }
  EXPECT_EQ(MapTable().RefCount(h), 1);
  shared.ReleaseMap();
  EXPECT_EQ(MapTable().LiveMaps(), maps_before);
}

}  // namespace
}  // namespace engine
