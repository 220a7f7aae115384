// A map element written by value ends as a plain value written the same way
// would, field for field (the fields left over from earlier kinds too) and
// reference for reference, whichever form its cell keeps: compact while the
// value fits, full while it does not or while the element is handed out as
// a TagVar*, compact again after a write that fits; and a number copied out
// of it lands as Assign would put it.
#include "engine/map_element.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/map_table.h"
#include "tests/engine/map_check.h"
#include "tests/engine/values.h"

namespace engine {
namespace {

class NamedFunction : public ScriptFunction {
 public:
  std::string_view FunctionName() const override { return "OnCall"; }
};

NamedFunction g_function;

enum class Op {
  kInt,       // AssignInt(number)
  kFloat,     // AssignFloat(number)
  kString,    // Assign of the string "abc"
  kMapA,      // Assign of map A
  kMapB,      // Assign of map B
  kFunction,  // Assign of a function value
  kOddNull,   // Assign of NULL carrying the sums of a NULL addition
  kOddMap,    // Assign of map A with a float left over in it
  kPointer,   // the element handed out (Element), nothing written
};

struct Step {
  Op op;
  double number;
  bool compact;  // the element's form after the step
};

struct FormCase {
  const char* label;
  std::vector<Step> steps;
};

class MapElementTest : public MapCheckTest {
 protected:
  void SetUp() override {
    MapCheckTest::SetUp();
    a_.Element(Int(0))->SetInt(1);
    b_.Element(Int(0))->SetInt(2);
  }
  void TearDown() override {
    a_.ReleaseMap();
    b_.ReleaseMap();
    MapCheckTest::TearDown();
  }

  // The value a step assigns (for the Assign steps).
  TagVar Source(Op op) const {
    TagVar v;
    switch (op) {
      case Op::kString: v.SetString("abc"); break;
      case Op::kMapA:
      case Op::kMapB: v.Assign(op == Op::kMapA ? a_ : b_); break;
      case Op::kFunction: v.InitFunction("", nullptr, &g_function, 0); break;
      case Op::kOddNull: v.AddAssign(TagVar(), Flt(2.5)); break;
      case Op::kOddMap:
        v.SetFloat(0.5);
        v.Assign(a_);  // the float stays behind the map
        v.floatValue = 0.5;
        break;
      default: break;
    }
    return v;
  }

  // References held on h beside the test's own variable.
  int32_t ExtraRefs(int32_t h) const { return MapTable().RefCount(h) - 1; }

  TagVar a_, b_;
};

int32_t Holds(const TagVar& v, int32_t h) { return v.kind == kVarMap && v.mapHandle == h; }

void ExpectSameValue(const TagVar& want, const TagVar& got) {
  EXPECT_EQ(got.kind, want.kind);
  EXPECT_EQ(got.intValue, want.intValue);
  EXPECT_EQ(std::bit_cast<uint64_t>(got.floatValue), std::bit_cast<uint64_t>(want.floatValue));
  EXPECT_EQ(got.mapHandle, want.mapHandle);
  EXPECT_EQ(got.function, want.function);
  EXPECT_EQ(std::string(got.text()), std::string(want.text()));
}

TEST_F(MapElementTest, WritesByValueMatchAPlainValueInEitherForm) {
  const FormCase cases[] = {
      {"numbers stay compact, each keeping the other's field",
       {{Op::kInt, 5, true}, {Op::kFloat, 1.5, true}, {Op::kInt, 7, true}, {Op::kOddNull, 0, true}}},
      {"a string is full, and its text stays behind a number",
       {{Op::kString, 0, false}, {Op::kInt, 4, false}, {Op::kFloat, 1, false}}},
      {"a handed-out element is full until a write that fits",
       {{Op::kInt, 1, true}, {Op::kPointer, 0, false}, {Op::kInt, 2, true},
        {Op::kPointer, 0, false}, {Op::kMapA, 0, true}}},
      {"a map, its handle left behind a number, and back",
       {{Op::kMapA, 0, true}, {Op::kMapA, 0, true}, {Op::kInt, 3, false},
        {Op::kMapB, 0, true}, {Op::kMapA, 0, true}, {Op::kFloat, 2, false},
        {Op::kOddNull, 0, true}}},
      {"a function, left behind a number, and back",
       {{Op::kFunction, 0, true}, {Op::kFloat, 2, false}, {Op::kFunction, 0, true},
        {Op::kInt, 1, false}, {Op::kOddNull, 0, true}}},
      {"a map with a float left over does not fit",
       {{Op::kOddMap, 0, false}, {Op::kMapB, 0, true}, {Op::kOddMap, 0, false},
        {Op::kPointer, 0, false}, {Op::kInt, 9, false}, {Op::kOddNull, 0, true}}},
  };
  const TagVar key = Int(3);
  for (const FormCase& c : cases) {
    SCOPED_TRACE(c.label);
    TagVar want, m;
    for (size_t i = 0; i < c.steps.size(); ++i) {
      SCOPED_TRACE(i);
      const Step& step = c.steps[i];
      if (step.op == Op::kInt) {
        want.AssignInt(static_cast<int32_t>(step.number));
        m.AssignElementInt(key, static_cast<int32_t>(step.number));
      } else if (step.op == Op::kFloat) {
        want.AssignFloat(step.number);
        m.AssignElementFloat(key, step.number);
      } else if (step.op == Op::kPointer) {
        ExpectSameValue(want, *m.Element(key));
      } else {
        TagVar source = Source(step.op);
        want.Assign(source);
        m.AssignElement(key, source);
        source.ReleaseMap();
      }
      TagVar scratch;
      const TagVar* got = m.PeekElement(key, scratch);
      ExpectSameValue(want, *got);
      EXPECT_EQ(got == &scratch, step.compact);
      EXPECT_EQ(MapTable().IsCompact(m.mapHandle, 3), step.compact);
      // The statements' plain copy of a number out of the map: as Assign,
      // the text left over in the variable kept.
      TagVar copied, assigned;
      copied.SetString("left over");
      assigned.SetString("left over");
      assigned.Assign(*got);
      const bool plain = MapTable().CopyNumbersTo(m.mapHandle, key, copied);
      EXPECT_EQ(plain, step.compact && got->kind != kVarMap);
      if (plain) ExpectSameValue(assigned, copied);
      assigned.ReleaseMap();
      for (const TagVar* map : {&a_, &b_}) {
        const int32_t h = map->mapHandle;
        EXPECT_EQ(ExtraRefs(h), Holds(want, h) + Holds(*got, h)) << "map " << h;
      }
    }
    EXPECT_EQ(m.Length(), 1);
    want.ReleaseMap();
    m.ReleaseMap();
    EXPECT_EQ(ExtraRefs(a_.mapHandle), 0);
    EXPECT_EQ(ExtraRefs(b_.mapHandle), 0);
  }
}

// The maps compact elements hold go back when the elements go: erased,
// the map let go, or overwritten by a value in another map's place.
TEST_F(MapElementTest, CompactMapElementsGiveTheirReferencesBack) {
  TagVar m;
  for (int32_t k = 0; k < 100; ++k) m.AssignElement(Int(k), k % 2 == 0 ? a_ : b_);
  EXPECT_TRUE(MapTable().IsCompact(m.mapHandle, 99));
  EXPECT_EQ(ExtraRefs(a_.mapHandle), 50);
  MapTable().Erase(m.mapHandle, Int(0));
  m.AssignElementInt(Int(1), 0);
  EXPECT_EQ(ExtraRefs(a_.mapHandle), 49);
  EXPECT_EQ(ExtraRefs(b_.mapHandle), 49);
  m.ReleaseMap();
  EXPECT_EQ(ExtraRefs(a_.mapHandle), 0);
  EXPECT_EQ(ExtraRefs(b_.mapHandle), 0);
}

// A write whose release lets go the map that held the written map last:
// both maps go once the write has given back the written map's lock (a
// release under that lock would take it a second time, and hang).
TEST_F(MapElementTest, AWriteThatLetsItsOwnMapGo) {
  TagVar m, b;
  m.AssignElementInt(Int(0), 0);
  b.AssignElement(Int(0), m);
  m.AssignElement(Int(1), b);
  TagVar view(m);  // names m without a reference of its own
  const int32_t hm = m.mapHandle, hb = b.mapHandle;
  m.ReleaseMap();
  b.ReleaseMap();
  ASSERT_EQ(MapTable().RefCount(hm), 1);  // b[0]
  ASSERT_EQ(MapTable().RefCount(hb), 1);  // m[1]
  view.AssignElementInt(Int(1), 5);
  EXPECT_EQ(MapTable().RefCount(hm), kInvalidHandle);
  EXPECT_EQ(MapTable().RefCount(hb), kInvalidHandle);
}

// Element pointers handed out stay where they are while other keys are
// written by value and the dense part grows.
TEST_F(MapElementTest, HandedOutElementsStayPut) {
  TagVar m;
  for (int32_t k = 0; k < 64; ++k) m.AssignElementInt(Int(k), k);
  std::vector<TagVar*> out;
  for (int32_t k = 0; k < 64; k += 8) {
    TagVar* e = m.Element(Int(k));
    e->SetString("kept");
    out.push_back(e);
  }
  for (int32_t k = 0; k < 5000; ++k) {
    if (k % 8 != 0) m.AssignElementInt(Int(k), k);
  }
  for (int32_t k = 0; k < 64; k += 8) {
    EXPECT_EQ(m.Element(Int(k)), out[static_cast<size_t>(k / 8)]);
    EXPECT_STREQ(out[static_cast<size_t>(k / 8)]->text(), "kept");
  }
  EXPECT_TRUE(MapTable().IsCompact(m.mapHandle, 4999));
  m.ReleaseMap();
}

}  // namespace
}  // namespace engine
