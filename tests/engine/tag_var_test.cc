#include "engine/tag_var.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>

#include "engine/map_table.h"
#include "tests/engine/map_check.h"
#include "tests/engine/values.h"

namespace engine {
namespace {

class NamedFunction : public ScriptFunction {
 public:
  explicit NamedFunction(std::string name) : name_(std::move(name)) {}
  std::string_view FunctionName() const override { return name_; }

 private:
  std::string name_;
};

NamedFunction g_function("OnCall");

TagVar Fn() {
  TagVar x;
  x.InitFunction("OnCall", nullptr, &g_function, 0);
  return x;
}

// A map value with n integer elements 0..n-1 (one reference held).
void MakeMap(TagVar& m, int n) {
  for (int i = 0; i < n; ++i) m.Element(Int(i))->SetInt(i * 10);
  if (n == 0) {
    m.Element(Int(0));
    MapTable().Erase(m.mapHandle, Int(0));
  }
}

class TagVarTest : public MapCheckTest {};

TEST_F(TagVarTest, DefaultsAndLeftOverFields) {
  TagVar v;
  EXPECT_EQ(v.kind, kVarNull);
  EXPECT_STREQ(v.name(), "");
  EXPECT_STREQ(v.text(), "");
  v.SetString("hello");
  EXPECT_EQ(v.intValue, 6);  // byte length + 1
  v.SetInt(7);
  EXPECT_STREQ(v.text(), "hello");  // the text stays behind
  v.SetFloat(2.5);
  EXPECT_EQ(v.intValue, 7);  // so does the integer
  EXPECT_EQ(v.GetInt(), 2);
  TagVar bytes;
  bytes.SetBytes("a\0b", 3);
  EXPECT_EQ(bytes.intValue, 4);
  EXPECT_EQ(bytes.Length(), 3);
  TagVar copy(bytes);
  EXPECT_EQ(copy.Bytes(), std::string_view("a\0b", 3));
}

TEST_F(TagVarTest, InitDefinesWhateverTheOldReadOnly) {
  TagVar v(1);
  EXPECT_EQ(v.InitInt("_retVal", "note", 5, 0), 5);
  EXPECT_STREQ(v.name(), "_retVal");
  EXPECT_EQ(v.readOnly, 0);
  v.InitString("", nullptr, "const", 1);
  EXPECT_EQ(v.kind, kVarString);
  EXPECT_EQ(v.readOnly, 1);
  EXPECT_EQ(v.SetInt(9), 0);
  EXPECT_STREQ(v.text(), "const");
  EXPECT_EQ(v.SetString("x"), nullptr);
  EXPECT_EQ(v.InitFloat("pi", nullptr, 3.25, 1), 3.25);
  EXPECT_EQ(v.intValue, 0);
}

TEST_F(TagVarTest, ReadOnlyRefusesEverySetter) {
  TagVar ro;
  ro.InitInt("k", nullptr, 4, 1);
  EXPECT_EQ(ro.SetInt(1), 0);
  EXPECT_EQ(ro.SetFloat(1.5), 0);
  EXPECT_EQ(ro.SetBytes("x", 1), nullptr);
  ro.Assign(Str("x"));
  ro.AssignInt(8);
  EXPECT_EQ(ro.AddAssign(Int(1), Int(2)), -1);
  EXPECT_EQ(ro.kind, kVarInt);
  EXPECT_EQ(ro.intValue, 4);
  EXPECT_EQ(ro.Element(Int(1)), &NullVar());
  EXPECT_EQ(ro.kind, kVarInt);
}

TEST_F(TagVarTest, Conversions) {
  struct {
    TagVar v;
    int32_t i;
    double f;
    const char* text;
    int32_t length;
  } cases[] = {
      {Int(-5), -5, -5.0, "-5", 4},
      {Flt(-2.7), -2, -2.7, "-2.7", 4},
      {Flt(3.0), 3, 3.0, "3.", 4},
      {Flt(0.5), 0, 0.5, "0.5", 4},
      {Flt(-2.0), -2, -2.0, "-2.", 4},
      {Flt(100.0), 100, 100.0, "100.", 4},
      {Flt(3e9), -1294967296, 3e9, "3000000000.", 4},  // low 32 bits
      {Flt(NAN), 0, NAN, "nan", 4},
      {Flt(1e30), 0, 1e30, "1000000000000000019884624838656.", 4},
      {Str(" -12abc"), -12, -12.0, " -12abc", 7},
      {Str("0x1F"), 0, 0.0, "0x1F", 4},
      {Str("99999999999"), INT_MAX, 99999999999.0, "99999999999", 11},
      {Str("1.5e2x"), 1, 150.0, "1.5e2x", 6},
      {Str("inf"), 0, 0.0, "inf", 3},
      {Str(""), 0, 0.0, "", 0},
      {TagVar(), 0, 0.0, "NULL", 4},
      {Fn(), 0, 0.0, "function OnCall", 4},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(c.v.GetInt(), c.i);
    if (std::isnan(c.f)) {
      EXPECT_TRUE(std::isnan(c.v.GetFloat()));
    } else {
      EXPECT_EQ(c.v.GetFloat(), c.f);
    }
    EXPECT_EQ(c.v.ToText(), c.text);
    EXPECT_EQ(c.v.Length(), c.length);
  }
  EXPECT_EQ(Str("ab").ToText(true), "\"ab\"");
  EXPECT_EQ(Int(3).ToText(true), "3");
}

TEST_F(TagVarTest, MapConversions) {
  TagVar m;
  MakeMap(m, 3);
  EXPECT_EQ(m.GetInt(), m.mapHandle);
  EXPECT_EQ(m.GetFloat(), static_cast<double>(m.mapHandle));
  EXPECT_EQ(m.Length(), 3);
  TagVar stale;
  stale.kind = kVarMap;
  stale.mapHandle = 0x7ffffff0;  // names no map
  EXPECT_EQ(stale.Length(), -1);
  EXPECT_EQ(stale.ToText(), "");
  m.ReleaseMap();
}

// Comparisons across kinds: Equals, Greater, Less.
TEST_F(TagVarTest, Comparisons) {
  TagVar m1, m2, m1_alias;
  MakeMap(m1, 1);
  MakeMap(m2, 2);
  m1_alias.Assign(m1);
  TagVar nan = Flt(NAN);
  TagVar n, i0 = Int(0), i12 = Int(12), i3 = Int(3), s12 = Str("12"), sab = Str("ab"),
            sab2 = Str("ab"), sb = Str("b"), s2 = Str("2"), f2 = Flt(2.0), fn = Fn(), fn2 = Fn(),
            shigh = Str("\xb0"), sa = Str("a"), i1 = Int(1);
  const auto cases = {
      std::tuple{"int 0 / letters", &i0, &sab, 1, 0, 0},
      std::tuple{"NULL / int 0", &n, &i0, 0, 0, 0},
      std::tuple{"NULL / NULL", &n, &n, 1, 0, 0},
      std::tuple{"float 2 / string 2", &f2, &s2, 1, 0, 0},
      std::tuple{"int 12 / string 12", &i12, &s12, 1, 0, 0},
      std::tuple{"string 12 / int 3", &s12, &i3, 0, 1, 0},
      std::tuple{"same text", &sab, &sab2, 1, 0, 0},
      std::tuple{"b / ab", &sb, &sab, 0, 1, 0},
      std::tuple{"ab / b", &sab, &sb, 0, 0, 1},
      std::tuple{"unsigned bytes", &shigh, &sa, 0, 1, 0},
      std::tuple{"string / NULL", &sab, &n, 0, 0, 0},
      std::tuple{"same map", &m1, &m1_alias, 1, 0, 0},
      std::tuple{"maps by count", &m2, &m1, 0, 1, 0},
      std::tuple{"maps by count, less", &m1, &m2, 0, 0, 1},
      std::tuple{"same function", &fn, &fn2, 1, 0, 0},
      std::tuple{"function / int 0", &fn, &i0, 0, 0, 0},
      std::tuple{"string / map", &s12, &m1, 0, 0, 0},
      std::tuple{"NULL / letters", &n, &sab, 0, 0, 0},
      std::tuple{"float 2 / int 0", &f2, &i0, 0, 1, 0},
      std::tuple{"NaN / 1", &nan, &i1, 0, 0, 1},
  };
  for (const auto& [what, a, b, eq, gt, lt] : cases) {
    SCOPED_TRACE(what);
    EXPECT_EQ(TagVar::Equals(*a, *b), eq);
    EXPECT_EQ(TagVar::Greater(*a, *b), gt);
    EXPECT_EQ(TagVar::Less(*a, *b), lt);
  }
  m1.ReleaseMap();
  m2.ReleaseMap();
  m1_alias.ReleaseMap();
}

TEST_F(TagVarTest, AdditionRules) {
  TagVar m;
  MakeMap(m, 1);
  TagVar n, fn = Fn();
  const auto cases = {
      std::tuple{"string + int", Str("ab"), Int(3), kVarString, "ab3"},
      std::tuple{"string + float", Str("ab"), Flt(1.5), kVarString, "ab1.5"},
      std::tuple{"int + string", Int(3), Str("ab"), kVarInt, "3"},
      std::tuple{"string 7 + int 3", Str("7"), Int(3), kVarString, "73"},
      std::tuple{"int 3 + string 7", Int(3), Str("7"), kVarInt, "10"},
      std::tuple{"string + NULL", Str("ab"), TagVar(n), kVarString, "ab"},
      std::tuple{"string + string", Str("ab"), Str("cd"), kVarString, "abcd"},
      std::tuple{"empty + string", Str(""), Str("cd"), kVarString, "cd"},
      std::tuple{"string + map", Str("ab"), TagVar(m), kVarString, "ab0."},
      std::tuple{"string + function", Str("f"), TagVar(fn), kVarString, "f0."},
      std::tuple{"float + int", Flt(2.0), Int(3), kVarFloat, "5."},
      std::tuple{"int overflow wraps", Int(INT_MAX), Int(1), kVarInt, "-2147483648"},
      std::tuple{"NULL + NULL", TagVar(), TagVar(), kVarNull, "NULL"},
      std::tuple{"NULL + string", TagVar(), Str("ab"), kVarNull, "NULL"},
      std::tuple{"function + int", TagVar(fn), Int(1), kVarInt, "1"},
      std::tuple{"map + string", TagVar(m), Str("x"), kVarNull, "NULL"},
  };
  for (const auto& [what, a, b, kind, text] : cases) {
    SCOPED_TRACE(what);
    TagVar r;
    r.AddAssign(a, b);
    EXPECT_EQ(r.kind, kind);
    EXPECT_EQ(r.ToText(), text);
  }
  TagVar r;
  r.AddAssign(m, Int(2));
  EXPECT_EQ(r.intValue, m.mapHandle + 2);
  m.ReleaseMap();
}

TEST_F(TagVarTest, HugeFloatTextIsAppendedWhole) {
  TagVar r;
  r.AddAssign(Str("x"), Flt(1e300));
  EXPECT_EQ(r.Length(), 1 + 301 + 1);  // "x", 301 digits, the point
}

TEST_F(TagVarTest, SubtractionAndMultiplicationRules) {
  const auto cases = {
      std::tuple{'-', Int(5), Flt(1.5), kVarFloat, "3.5"},
      std::tuple{'-', Int(INT_MIN), Int(1), kVarInt, "2147483647"},
      std::tuple{'-', Str("ab"), Int(1), kVarString, "ab"},
      std::tuple{'-', Int(5), Str("2"), kVarInt, "5"},
      std::tuple{'-', TagVar(), Int(1), kVarNull, "NULL"},
      std::tuple{'*', Int(3), Int(4), kVarInt, "12"},
      std::tuple{'*', Int(INT_MAX), Int(2), kVarInt, "-2"},
      std::tuple{'*', Int(INT_MIN), Int(-1), kVarInt, "-2147483648"},
      std::tuple{'*', Flt(0.5), Int(3), kVarFloat, "1.5"},
      std::tuple{'*', Str("ab"), Int(3), kVarString, "ab"},
  };
  for (const auto& [op, a, b, kind, text] : cases) {
    SCOPED_TRACE(std::string(1, op) + " " + a.ToText() + " " + b.ToText());
    TagVar r;
    if (op == '-') {
      r.SubtractAssign(a, b);
    } else {
      r.MultiplyAssign(a, b);
    }
    EXPECT_EQ(r.kind, kind);
    EXPECT_EQ(r.ToText(), text);
  }
}

TEST_F(TagVarTest, AssignSharesMapsAndCountsReferences) {
  TagVar a, b;
  MakeMap(a, 2);
  const int32_t h = a.mapHandle;
  EXPECT_EQ(MapTable().RefCount(h), 1);
  b.Assign(a);
  EXPECT_EQ(b.mapHandle, h);
  EXPECT_EQ(MapTable().RefCount(h), 2);
  b.Assign(a);  // equal handles change no count
  EXPECT_EQ(MapTable().RefCount(h), 2);
  b.AssignInt(1);  // assigning an integer over one releases one reference
  b.Assign(Int(1));
  EXPECT_EQ(MapTable().RefCount(h), 1);
  b.Assign(a);
  TagVar other;
  MakeMap(other, 1);
  b.Assign(other);  // a different map: the old one loses a reference
  EXPECT_EQ(MapTable().RefCount(h), 1);
  EXPECT_EQ(MapTable().RefCount(other.mapHandle), 2);
  a.Assign(a);  // self-assignment changes nothing
  EXPECT_EQ(MapTable().RefCount(h), 1);
  a.ReleaseMap();
  EXPECT_EQ(MapTable().RefCount(h), kInvalidHandle);
  b.ReleaseMap();
  other.ReleaseMap();
}

TEST_F(TagVarTest, ArithmeticOverAMapTargetReleasesIt) {
  TagVar target;
  MakeMap(target, 1);
  target.AddAssign(Int(1), Int(2));
  EXPECT_EQ(target.kind, kVarInt);
  EXPECT_EQ(target.intValue, 3);
}

TEST_F(TagVarTest, MapResultsAreHeldOnceAndRefusedOnesReleased) {
  TagVar a, b;
  MakeMap(a, 2);
  MakeMap(b, 3);
  const size_t before = MapTable().LiveMaps();
  TagVar sum;
  sum.AddAssign(a, b);
  EXPECT_EQ(MapTable().RefCount(sum.mapHandle), 1);
  TagVar ro;
  ro.InitInt("k", nullptr, 0, 1);
  EXPECT_EQ(ro.AddAssign(a, b), -1);  // refused: no union is left behind
  EXPECT_EQ(MapTable().LiveMaps(), before + 1);
  sum.ReleaseMap();
  a.ReleaseMap();
  b.ReleaseMap();
}

TEST_F(TagVarTest, ElementAccess) {
  TagVar v = Int(5);
  EXPECT_EQ(v.GetElement(Int(1)), &NullVar());
  EXPECT_EQ(v.GetElement(Int(1))->SetInt(3), 0);  // the NULL value refuses writes
  EXPECT_EQ(NullVar().kind, kVarNull);
  TagVar* e = v.Element(Int(1));
  EXPECT_EQ(v.kind, kVarMap);
  EXPECT_EQ(v.Length(), 1);
  EXPECT_EQ(e->kind, kVarNull);
  e->SetString("one");
  EXPECT_EQ(v.GetElement(Int(1)), e);
  EXPECT_EQ(v.GetElement(Str("1")), &NullVar());
  TagVar key, value;
  EXPECT_EQ(v.GetItem(0, key, value), 0);
  EXPECT_EQ(key.intValue, 1);
  EXPECT_EQ(value.ToText(), "one");
  EXPECT_EQ(v.GetItem(1, key, value), kPastLastEntry);
  EXPECT_EQ(Int(1).GetItem(0, key, value), -1);
  std::vector<TagVarP> keys;
  EXPECT_EQ(v.GetKeys(keys), 1);
  EXPECT_EQ(Int(1).GetKeys(keys), 0);
  v.ReleaseMap();
}

TEST_F(TagVarTest, SetBytesFromItsOwnText) {
  TagVar v = Str("abcdef");
  v.SetBytes(v.text() + 2, 3);
  EXPECT_EQ(v.ToText(), "cde");
  v.SetBytes(v.text(), 0);
  EXPECT_EQ(v.ToText(), "");
}

}  // namespace
}  // namespace engine

namespace engine {
namespace {

TEST(TagVarRepeat, RepeatsAndRefusesHugeResults) {
  TagVar s;
  s.SetString("ab");
  EXPECT_EQ(s.RepeatAssign(s, 3), 7);  // repeats its own old text
  EXPECT_EQ(s.ToText(), "ababab");
  TagVar r;
  for (int32_t n : {0, -2}) {
    r.RepeatAssign(s, n);
    EXPECT_EQ(r.kind, kVarString);
    EXPECT_EQ(r.ToText(), "");
  }
  // 6 bytes times 400 million passes the longest string: nothing changes
  // and nothing is allocated for it.
  EXPECT_EQ(r.RepeatAssign(s, 400000000), -1);
  EXPECT_EQ(r.ToText(), "");
  TagVar i;
  i.SetInt(5);
  EXPECT_EQ(r.RepeatAssign(i, 3), 1);  // a non-string unit has no bytes
}

}  // namespace
}  // namespace engine
