// Shared-memory stores: the map a key's kind chooses, the results of each
// operation, NaN as a key, and the map references the values hold.
#include "services/interline/share_mem.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/map_table.h"
#include "tests/engine/map_check.h"
#include "tests/engine/values.h"

namespace services {
namespace {

using engine::Flt;
using engine::Int;
using engine::Str;
using engine::TagVar;

const double kNaN = std::nan("");

TEST(ShareMemTest, KeysOfEachKindAreEntriesOfTheirOwnMap) {
  TagShareMem m;
  TagVar null_key;
  struct Case {
    TagVar key;
    int32_t size;  // the size of the key's map after the set
  };
  const std::vector<Case> cases = {
      {Int(1), 1}, {Str("1"), 1}, {Flt(1.0), 1}, {Int(2), 2}, {Str("b"), 2},
      {null_key, 3},  // a NULL key is the integer 0
      {Flt(kNaN), 2}, {Flt(1.5), 3}, {Flt(-kNaN), 3},  // all NaNs are one key
      {Int(1), 3},                                     // set again: no new entry
  };
  int32_t n = 0;
  for (const Case& c : cases) EXPECT_EQ(m.Set(c.key, Int(++n)), c.size) << c.key.ToText();
  struct Read {
    TagVar key;
    std::string value;
  };
  const std::vector<Read> reads = {
      {Int(1), "10"}, {Str("1"), "2"}, {Flt(1.0), "3"}, {Int(0), "6"},
      {Flt(kNaN), "9"}, {Flt(1.5), "8"}, {Str("2"), "keep"}, {Flt(2.0), "keep"},
  };
  for (const Read& r : reads) {
    TagVar out = Str("keep");
    const int32_t got = m.Get(r.key, out);
    EXPECT_EQ(out.ToText(), r.value) << r.key.ToText();
    EXPECT_EQ(got < 0, r.value == "keep") << r.key.ToText();
  }
}

TEST(ShareMemTest, NaNSortsAfterEveryNumberAsOneKey) {
  TagShareMem m;
  for (double d : {kNaN, 3.0, -1e300, kNaN, 0.5}) m.Set(Flt(d), Flt(d));
  TagVar out;
  EXPECT_EQ(m.Get(Flt(kNaN), out), 4);
  EXPECT_TRUE(std::isnan(out.GetFloat()));
  for (double d : {3.0, -1e300, 0.5}) {
    EXPECT_EQ(m.Get(Flt(d), out), 4) << d;
    EXPECT_EQ(out.GetFloat(), d);
  }
}

TEST(ShareMemTest, ArithmeticAndExchangeNeedThePresentEntry) {
  TagShareMem m;
  TagVar out = Str("keep");
  EXPECT_EQ(m.Inc(Int(5), Int(2), out), kShareMemAbsent);
  EXPECT_EQ(m.Dec(Int(5), Int(2), out), kShareMemAbsent);
  EXPECT_EQ(m.Exchange(Int(5), out, Int(1)), kShareMemAbsent);
  EXPECT_EQ(out.ToText(), "keep");
  EXPECT_EQ(m.Get(Int(5), out), kShareMemAbsent);  // nothing was made

  m.Set(Int(5), Int(5));
  m.Set(Str("s"), Str("ab"));
  EXPECT_EQ(m.Inc(Int(5), Int(2), out), 0);
  EXPECT_EQ(out.ToText(), "7");
  EXPECT_EQ(m.Dec(Int(5), Flt(0.5), out), 0);
  EXPECT_EQ(out.ToText(), "6.5");
  EXPECT_EQ(m.Inc(Str("s"), Str("c"), out), 0);
  EXPECT_EQ(out.ToText(), "abc");
  EXPECT_EQ(m.Get(Str("s"), out), 1);
  EXPECT_EQ(out.ToText(), "abc");
  // The old value comes out, the new one goes in; out may be the new value.
  TagVar v = Int(40);
  EXPECT_EQ(m.Exchange(Int(5), v, v), 1);
  EXPECT_EQ(v.ToText(), "6.5");
  EXPECT_EQ(m.Get(Int(5), out), 1);
  EXPECT_EQ(out.ToText(), "40");
}

TEST(ShareMemTest, ClaimSetsOnlyAnEqualEntry) {
  TagShareMem m;
  EXPECT_FALSE(m.Claim(Str("state"), Str("free"), Int(1)));
  m.Set(Str("state"), Str("busy"));
  EXPECT_FALSE(m.Claim(Str("state"), Str("free"), Int(1)));
  m.Set(Str("state"), Str("free"));
  EXPECT_TRUE(m.Claim(Str("state"), Str("free"), Int(1)));
  TagVar out;
  m.Get(Str("state"), out);
  EXPECT_EQ(out.ToText(), "1");
}

class ShareMemMapTest : public engine::MapCheckTest {};

TEST_F(ShareMemMapTest, StoredMapsLiveUntilClearedOrTheStoreGoes) {
  const size_t before = engine::MapTable().LiveMaps();
  TagVar map;
  map.Element(Int(1))->SetInt(5);
  {
    TagShareMem m;
    m.Set(Int(1), map);
    m.Set(Str("a"), map);
    TagVar old;
    m.Set(Int(2), map);
    m.Exchange(Int(2), old, Int(0));  // the map comes out into old
    old.ReleaseMap();
    map.ReleaseMap();
    EXPECT_EQ(engine::MapTable().LiveMaps(), before + 1);  // held by the store
    TagVar out;
    m.Get(Str("a"), out);
    EXPECT_EQ(out.GetElement(Int(1))->GetInt(), 5);
    out.ReleaseMap();
    m.Clear();
    EXPECT_EQ(engine::MapTable().LiveMaps(), before);

    TagVar again;
    again.Element(Int(1))->SetInt(6);
    m.Set(Flt(1.0), again);
    again.ReleaseMap();
  }  // the store's end gives the last reference back
}

}  // namespace
}  // namespace services
