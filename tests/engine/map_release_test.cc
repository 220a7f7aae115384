// A map that loses its last reference gives back the maps its elements
// hold, under every kind of key and wherever an integer key lives (dense
// part or tree); the elements' own strings go with it.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine/map_table.h"
#include "engine/tag_var.h"
#include "tests/engine/map_check.h"
#include "tests/engine/values.h"

namespace engine {
namespace {

class MapReleaseTest : public MapCheckTest {};

TEST_F(MapReleaseTest, ReleasingAMapGivesBackTheMapsEveryKeyKindHolds) {
  TagVar key_map;
  key_map.Element(Int(0))->SetInt(0);
  TagVar map_key;  // a map key is the map's handle, and holds no reference
  map_key.kind = kVarMap;
  map_key.mapHandle = key_map.mapHandle;
  const std::vector<TagVar> keys = {Int(0),       Int(5),   Int(-3), Int(1 << 30),
                                    Str("inner"), Flt(2.5), map_key};
  TagVar outer;
  std::vector<int32_t> inner_handles;
  for (const TagVar& key : keys) {
    TagVar inner;
    inner.Element(Str("x"))->SetString("a string element");
    outer.Element(key)->Assign(inner);
    inner_handles.push_back(inner.mapHandle);
    inner.ReleaseMap();
  }
  outer.Element(Int(1))->SetString("a string beside them");
  for (int32_t h : inner_handles) EXPECT_EQ(MapTable().RefCount(h), 1) << h;
  outer.ReleaseMap();
  for (int32_t h : inner_handles) EXPECT_EQ(MapTable().RefCount(h), kInvalidHandle) << h;
  key_map.ReleaseMap();
}

}  // namespace
}  // namespace engine
