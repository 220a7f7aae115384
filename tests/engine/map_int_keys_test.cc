// The integer keys of a map: ascending order whichever part holds a key
// (the dense segments or the tree), elements that stay where they are while
// their key is in the map, and erase and insert again across both parts.
#include "engine/map_int_keys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace engine {
namespace {

std::vector<int32_t> KeysOf(const MapIntKeys& keys) {
  std::vector<int32_t> out;
  keys.ForEach([&](int32_t k, const TagVar& v) {
    EXPECT_EQ(v.intValue, k) << "element of " << k;
    out.push_back(k);
    return true;
  });
  return out;
}

struct OrderCase {
  const char* label;
  std::vector<int32_t> inserted;
  std::vector<int32_t> erased;
  std::vector<int32_t> expected;
};

TEST(MapIntKeysTest, KeysIterateInAscendingOrderWhereverTheyLive) {
  const OrderCase cases[] = {
      {"negative, dense and far keys", {5, -3, 1000000, 0, 7, -100, INT32_MAX, INT32_MIN},
       {}, {INT32_MIN, -100, -3, 0, 5, 7, 1000000, INT32_MAX}},
      {"a tree key inside the next segment keeps it from being added",
       {12, 0, 1, 2, 3, 4, 5, 6, 7, 8}, {}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 12}},
      {"sparse keys stay in the tree", {0, 16, 64, 256, 4096}, {}, {0, 16, 64, 256, 4096}},
      {"erased keys leave both parts and come back", {0, 1, 2, 3, 100, -1},
       {1, 100, -1, 55}, {0, 2, 3}},
  };
  for (const OrderCase& c : cases) {
    SCOPED_TRACE(c.label);
    MapIntKeys keys;
    for (int32_t k : c.inserted) keys.GetOrInsert(k)->SetInt(k);
    for (int32_t k : c.erased) {
      int32_t released = 0;
      keys.Erase(k, &released);
      EXPECT_EQ(keys.Find(k), nullptr);
    }
    EXPECT_EQ(KeysOf(keys), c.expected);
    EXPECT_EQ(keys.size(), c.expected.size());
    for (int32_t k : c.erased) keys.GetOrInsert(k)->SetInt(k);
    EXPECT_EQ(keys.size(), c.expected.size() + c.erased.size());
  }
}

TEST(MapIntKeysTest, ElementsStayPutWhileTheDensePartGrows) {
  constexpr int32_t kKeys = 5000;
  MapIntKeys keys;
  std::vector<TagVar*> first;
  for (int32_t k = 0; k < kKeys; ++k) {
    TagVar* e = keys.GetOrInsert(k);
    e->SetString("v");
    e->SetInt(k);
    first.push_back(e);
  }
  for (int32_t k = 0; k < kKeys; ++k) {
    ASSERT_EQ(keys.Find(k), first[static_cast<size_t>(k)]) << k;
    ASSERT_EQ(keys.GetOrInsert(k), first[static_cast<size_t>(k)]) << k;
  }
  EXPECT_EQ(keys.size(), static_cast<size_t>(kKeys));
  keys.clear();
  EXPECT_EQ(keys.size(), 0u);
  EXPECT_EQ(keys.Find(3), nullptr);
}

TEST(MapIntKeysTest, EraseReportsTheMapAnElementHeld) {
  MapIntKeys keys;
  TagVar* e = keys.GetOrInsert(2);
  e->kind = kVarMap;  // a handle as the table would have stored it
  e->mapHandle = 42;
  int32_t released = 0;
  EXPECT_TRUE(keys.Erase(2, &released));
  EXPECT_EQ(released, 42);
  EXPECT_FALSE(keys.Erase(2, &released));
}

TEST(MapIntKeysTest, ClearReportsTheMapsTheElementsHeld) {
  // Dense keys (0, 3) and tree keys (-1, a far one), maps among scalars.
  const std::vector<std::pair<int32_t, int32_t>> maps = {{0, 40}, {3, 41}, {-1, 42}, {1 << 29, 43}};
  MapIntKeys keys;
  for (int32_t k = 0; k < 8; ++k) keys.GetOrInsert(k)->SetInt(k);
  for (const auto& [k, h] : maps) {
    TagVar* e = keys.GetOrInsert(k);
    e->kind = kVarMap;  // handles as the table would have stored them
    e->mapHandle = h;
  }
  std::vector<int32_t> held;
  keys.clear(&held);
  std::sort(held.begin(), held.end());
  EXPECT_EQ(held, (std::vector<int32_t>{40, 41, 42, 43}));
  EXPECT_EQ(keys.size(), 0u);
  EXPECT_EQ(keys.Find(3), nullptr);
  keys.GetOrInsert(3)->SetInt(3);  // usable again
  EXPECT_EQ(KeysOf(keys), (std::vector<int32_t>{3}));
}

}  // namespace
}  // namespace engine
