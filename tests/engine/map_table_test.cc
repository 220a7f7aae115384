#include "engine/map_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/engine/map_check.h"
#include "tests/engine/values.h"

namespace engine {
namespace {


class MapTableTest : public MapCheckTest {
 protected:
  // Sets m[key] = value, making m a map if it is not one.
  static void Put(TagVar& m, const TagVar& key, const TagVar& value) {
    m.Element(key)->Assign(value);
  }
  static std::string Dump(const TagVar& m) { return m.ToText(); }
};

TEST_F(MapTableTest, ThreeKindsOfKeyIterateInOrder) {
  TagVar m;
  Put(m, Flt(1.0), Str("float"));
  Put(m, Str("1"), Str("string"));
  Put(m, Int(1), Str("int"));
  TagVar inner;
  Put(inner, Int(0), Int(0));
  Put(m, inner, Str("map"));
  Put(m, Int(-5), Str("neg"));
  Put(m, Str("\xb0"), Str("high"));
  Put(m, Str("a"), Str("low"));
  EXPECT_EQ(m.Length(), 7);
  std::vector<std::string> seen;
  TagVar key, value;
  for (int32_t i = 0; m.GetItem(i, key, value) == i; ++i) seen.push_back(value.ToText());
  EXPECT_EQ(seen, (std::vector<std::string>{"neg", "int", "string", "low", "high", "float",
                                            "map"}));
  // A map key comes out as the integer of its handle.
  EXPECT_EQ(m.GetItem(6, key, value), 6);
  EXPECT_EQ(key.kind, kVarInt);
  EXPECT_EQ(key.intValue, inner.mapHandle);
  EXPECT_EQ(m.GetItem(7, key, value), kPastLastEntry);
  std::vector<TagVarP> keys;
  ASSERT_EQ(m.GetKeys(keys), 7);
  EXPECT_EQ(keys[0].kind, kIntKeys);
  EXPECT_EQ(keys[2].kind, kStringKeys);
  EXPECT_EQ(keys[2].stringKey, "1");
  EXPECT_EQ(keys[5].kind, kFloatKeys);
  EXPECT_EQ(keys[6].kind, kMapKeys);
  value.ReleaseMap();
  key.ReleaseMap();
  m.ReleaseMap();
  inner.ReleaseMap();
}

TEST_F(MapTableTest, KeySelection) {
  TagVar m;
  TagVar null_key;               // NULL selects the integer keys by its intValue
  Put(m, null_key, Int(1));
  EXPECT_EQ(m.GetElement(Int(0))->intValue, 1);
  TagVar with_zero;
  with_zero.SetBytes("ab\0cd", 5);  // a string key ends at its first zero byte
  Put(m, with_zero, Int(2));
  EXPECT_EQ(m.GetElement(Str("ab"))->intValue, 2);
  Put(m, Flt(NAN), Int(3));  // NaN keys are one key and break nothing
  Put(m, Flt(NAN), Int(4));
  Put(m, Flt(0.5), Int(5));
  EXPECT_EQ(m.GetElement(Flt(NAN))->intValue, 4);
  EXPECT_EQ(m.GetElement(Flt(0.5))->intValue, 5);
  EXPECT_EQ(m.Length(), 4);
  m.ReleaseMap();
}

TEST_F(MapTableTest, InvalidHandles) {
  TagMapObject& t = MapTable();
  const int32_t bad = 0x7fff0000;
  TagVar k, v;
  EXPECT_EQ(t.Count(bad), kInvalidHandle);
  EXPECT_EQ(t.AddRef(bad), kInvalidHandle);
  EXPECT_EQ(t.Release(bad), kInvalidHandle);
  EXPECT_EQ(t.Find(bad, Int(1)), nullptr);
  EXPECT_EQ(t.GetOrInsert(bad, Int(1)), nullptr);
  EXPECT_EQ(t.GetItem(bad, 0, k, v), kInvalidHandle);
  std::vector<TagVarP> keys(3);
  EXPECT_EQ(t.GetKeys(bad, keys), kInvalidHandle);
  EXPECT_TRUE(keys.empty());
  EXPECT_EQ(t.Erase(bad, Int(1)), 0);
  EXPECT_EQ(t.Copy(bad), kInvalidHandle);
  EXPECT_EQ(t.Union(bad, bad), kInvalidHandle);
  std::string out = "old";
  EXPECT_EQ(t.Dump(bad, out), kInvalidHandle);
  EXPECT_EQ(out, "");
  TagVar good;
  Put(good, Int(1), Int(1));
  EXPECT_EQ(t.Intersect(bad, good.mapHandle), kInvalidHandle);
  EXPECT_EQ(t.Intersect(good.mapHandle, bad), kInvalidSecond);
  EXPECT_EQ(t.Difference(bad, good.mapHandle), kInvalidHandle);
  EXPECT_EQ(t.Difference(good.mapHandle, bad), kInvalidSecond);
  // The union of a map and a bad second map is a copy of the first.
  TagVar u;
  u.AddAssign(good, good);
  int32_t copy = t.Union(good.mapHandle, bad);
  EXPECT_EQ(t.Count(copy), 1);
  t.Release(copy);
  u.ReleaseMap();
  good.ReleaseMap();
}

// Union keeps a's value unless it is NULL; Intersect takes b's values;
// Difference keeps a's.
TEST_F(MapTableTest, SetOperations) {
  TagVar a, b;
  Put(a, Int(1), Str("a1"));
  Put(a, Int(2), TagVar());  // NULL in a
  Put(a, Int(3), Str("a3"));
  Put(b, Int(2), Str("b2"));
  Put(b, Int(3), Str("b3"));
  Put(b, Int(4), Str("b4"));
  TagVar u, i, d;
  u.AddAssign(a, b);
  i.MultiplyAssign(a, b);
  d.SubtractAssign(a, b);
  EXPECT_EQ(Dump(u), "{\r\n1:\"a1\",\r\n2:\"b2\",\r\n3:\"a3\",\r\n4:\"b4\"\r\n}");
  EXPECT_EQ(Dump(i), "{\r\n2:\"b2\",\r\n3:\"b3\"\r\n}");
  EXPECT_EQ(Dump(d), "{\r\n1:\"a1\"\r\n}");
  for (TagVar* v : {&a, &b, &u, &i, &d}) v->ReleaseMap();
}

TEST_F(MapTableTest, CopyPutsMapKeysAmongTheIntegers) {
  TagVar m, k;
  Put(k, Int(0), Int(0));
  Put(m, k, Str("by map"));
  int32_t copy = MapTable().Copy(m.mapHandle);
  EXPECT_NE(MapTable().Find(copy, Int(k.mapHandle)), nullptr);
  EXPECT_EQ(MapTable().Find(copy, k), nullptr);
  MapTable().Release(copy);
  m.ReleaseMap();
  k.ReleaseMap();
}

TEST_F(MapTableTest, EraseReleasesAMapElement) {
  TagVar m, inner;
  Put(inner, Int(1), Int(1));
  Put(m, Str("x"), inner);
  const int32_t h = inner.mapHandle;
  EXPECT_EQ(MapTable().RefCount(h), 2);
  EXPECT_EQ(MapTable().Erase(m.mapHandle, Str("absent")), 0);
  EXPECT_EQ(m.Length(), 1);
  EXPECT_EQ(MapTable().Erase(m.mapHandle, Str("x")), 1);
  EXPECT_EQ(MapTable().RefCount(h), 1);
  EXPECT_EQ(m.Length(), 0);
  inner.ReleaseMap();
  EXPECT_EQ(MapTable().RefCount(h), kInvalidHandle);
  m.ReleaseMap();
}

TEST_F(MapTableTest, SharedMapLivesUntilTheLastReference) {
  TagVar a, b;
  Put(a, Int(1), Int(1));
  b.Assign(a);
  const int32_t h = a.mapHandle;
  a.ReleaseMap();
  EXPECT_EQ(MapTable().Count(h), 1);
  b.ReleaseMap();
  EXPECT_EQ(MapTable().Count(h), kInvalidHandle);
}

TEST_F(MapTableTest, DeletingAMapReleasesNestedMapsDeeply) {
  // 100,000 maps each holding the next: released without deep recursion.
  TagVar outer;
  Put(outer, Int(0), Int(0));
  int32_t previous = outer.mapHandle;
  for (int i = 0; i < 100000; ++i) {
    int32_t h = MapTable().NewMap();
    TagVar* slot = MapTable().GetOrInsert(previous, Int(1));
    TagVar holder;
    holder.kind = kVarMap;
    holder.mapHandle = h;
    slot->Assign(holder);  // the element takes the only reference
    previous = h;
  }
  outer.ReleaseMap();
}

TEST_F(MapTableTest, DumpBytes) {
  TagVar empty;
  Put(empty, Int(0), Int(0));
  MapTable().Erase(empty.mapHandle, Int(0));
  EXPECT_EQ(Dump(empty), "{\r\n\r\n}");

  TagVar m, inner;
  Put(inner, Str("k"), Flt(2.5));
  Put(m, Int(-3), Int(7));
  Put(m, Str("name"), Str("\xd6\xd0\xce\xc4"));
  Put(m, Flt(1.5), TagVar());
  Put(m, Str("sub"), inner);
  Put(m, inner, Int(1));
  Put(m, Str("self"), m);  // a map that contains itself
  const std::string h = std::to_string(inner.mapHandle);
  EXPECT_EQ(Dump(m),
            "{\r\n-3:7,\r\n\"name\":\"\xd6\xd0\xce\xc4\",\r\n\"self\":{...},\r\n"
            "\"sub\":{\r\n\"k\":2.5\r\n},\r\n1.500000:NULL,\r\n" + h + ":1\r\n}");
  // The map holds a reference to itself: take the element out to free it.
  MapTable().Erase(m.mapHandle, Str("self"));
  m.ReleaseMap();
  inner.ReleaseMap();
  empty.ReleaseMap();
}

TEST_F(MapTableTest, LongerCyclesStopToo) {
  TagVar a, b;
  Put(a, Int(1), Int(1));
  Put(b, Int(2), a);
  Put(a, Int(3), b);
  EXPECT_EQ(Dump(a), "{\r\n1:1,\r\n3:{\r\n2:{...}\r\n}\r\n}");
  MapTable().Erase(a.mapHandle, Int(3));
  a.ReleaseMap();
  b.ReleaseMap();
}

TEST_F(MapTableTest, HandleCounterWrapsAndSkipsLiveHandles) {
  TagMapObject table;
  int32_t first = table.NewMap();
  EXPECT_EQ(first, 1);
  table.SetLastHandleForTest(INT32_MAX - 1);
  EXPECT_EQ(table.NewMap(), INT32_MAX);
  EXPECT_EQ(table.NewMap(), 2);  // 1 is still in use
  EXPECT_EQ(table.LiveMaps(), 3u);
}

}  // namespace
}  // namespace engine
