#include "engine/calculate.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "engine/map_table.h"
#include "tests/engine/map_check.h"
#include "tests/engine/values.h"

namespace engine {
namespace {

// The five kinds every two-operand opcode is run over, in table order:
// NULL, the string "3ab" (leading number 3, intValue 4), the integer 3,
// the float 2.5 and a map {1: "one"} whose handle is 40.
enum Operand { kN, kS, kI, kF, kM };
constexpr int kKinds = 5;
constexpr int32_t kMapHandle = 40;

// What the target (an integer 999 before the instruction) holds after it.
struct Expect {
  char kind;  // 'k' kept, 'n' NULL, 'i' integer, 'f' float, 's' string, 'm' map
  int32_t i = 0;
  double f = 0.0;
  const char* s = "";
};
constexpr Expect K{'k'};
constexpr Expect Z{'n'};
constexpr Expect E(int32_t v) { return {'i', v}; }
constexpr Expect D(double v) { return {'f', 0, v}; }
constexpr Expect T(const char* v) { return {'s', 0, 0.0, v}; }
constexpr Expect Mp(int32_t count) { return {'m', count}; }  // a map of count elements

constexpr int32_t kSentinel = 999;

class CalculateTest : public MapCheckTest {
 protected:
  // Makes operand k into v; a second map operand shares the first's map.
  void Make(Operand k, TagVar& v, const TagVar* map_to_share = nullptr) {
    switch (k) {
      case kN:
        break;
      case kS:
        v.SetString("3ab");
        break;
      case kI:
        v.SetInt(3);
        break;
      case kF:
        v.SetFloat(2.5);
        break;
      case kM:
        if (map_to_share != nullptr && map_to_share->kind == kVarMap) {
          v.Assign(*map_to_share);
        } else {
          MapTable().SetLastHandleForTest(kMapHandle - 1);
          v.Element(Int(1))->SetString("one");
          ASSERT_EQ(v.mapHandle, kMapHandle);
        }
        break;
    }
  }

  static void Check(const TagVar& t, const Expect& e, const std::string& where) {
    SCOPED_TRACE(where);
    switch (e.kind) {
      case 'k':
        EXPECT_EQ(t.kind, kVarInt);
        EXPECT_EQ(t.intValue, kSentinel);
        break;
      case 'n':
        EXPECT_EQ(t.kind, kVarNull);
        break;
      case 'i':
        EXPECT_EQ(t.kind, kVarInt);
        EXPECT_EQ(t.intValue, e.i);
        break;
      case 'f':
        EXPECT_EQ(t.kind, kVarFloat);
        EXPECT_DOUBLE_EQ(t.floatValue, e.f);
        break;
      case 's':
        EXPECT_EQ(t.kind, kVarString);
        EXPECT_EQ(t.Bytes(), e.s);
        break;
      case 'm':
        ASSERT_EQ(t.kind, kVarMap);
        EXPECT_EQ(t.Length(), e.i);
        if (e.i == 1) {
          EXPECT_EQ(t.GetElement(Int(1))->Bytes(), "one");
        }
        break;
    }
  }

  // Runs op over every pair of kinds into a fresh integer target, as an
  // instruction of its own and as the instruction of an expression (whose
  // numeric steps must give what the instruction gives).
  void RunGrid(uint8_t op, const std::vector<Expect>& grid) {
    ASSERT_EQ(grid.size(), static_cast<size_t>(kKinds * kKinds));
    for (const bool in_expression : {false, true}) {
      for (int a = 0; a < kKinds; ++a) {
        for (int b = 0; b < kKinds; ++b) {
          TagVar l, r, target;
          Make(static_cast<Operand>(a), l);
          Make(static_cast<Operand>(b), r, &l);
          target.SetInt(kSentinel);
          Run(TagCalculate(&target, nullptr, &l, op, &r), in_expression);
          Check(target, grid[static_cast<size_t>(a * kKinds + b)],
                std::string("opcode '") + static_cast<char>(op ? op : '0') + "' left " +
                    "NSIFM"[a] + " right " + "NSIFM"[b] +
                    (in_expression ? " in an expression" : ""));
          target.ReleaseMap();
          l.ReleaseMap();
          r.ReleaseMap();
        }
      }
    }
  }

  static void Run(const TagCalculate& c, bool in_expression) {
    if (in_expression) {
      TagExpre({c}).Execute();
    } else {
      TagCalculate(c).Execute();
    }
  }

  void RunUnary(uint8_t op, const std::vector<Expect>& row) {
    ASSERT_EQ(row.size(), static_cast<size_t>(kKinds));
    for (int a = 0; a < kKinds; ++a) {
      TagVar l, target;
      Make(static_cast<Operand>(a), l);
      target.SetInt(kSentinel);
      TagCalculate(&target, nullptr, &l, op).Execute();
      Check(target, row[static_cast<size_t>(a)],
            std::string("unary '") + static_cast<char>(op ? op : '0') + "' on " + "NSIFM"[a]);
      target.ReleaseMap();
      l.ReleaseMap();
    }
  }
};

// Rows: left N S I F M; columns: right N S I F M.
TEST_F(CalculateTest, ComparisonsOverEveryPairOfKinds) {
  RunGrid(kOpEqual, {E(1), E(0), E(0), E(0), E(0),  //
                     E(0), E(1), E(1), E(0), E(0),  //
                     E(0), E(1), E(1), E(0), E(0),  //
                     E(0), E(0), E(0), E(1), E(0),  //
                     E(0), E(0), E(0), E(0), E(1)});
  RunGrid(kOpNotEqual, {E(0), E(1), E(1), E(1), E(1),  //
                        E(1), E(0), E(0), E(1), E(1),  //
                        E(1), E(0), E(0), E(1), E(1),  //
                        E(1), E(1), E(1), E(0), E(1),  //
                        E(1), E(1), E(1), E(1), E(0)});
  RunGrid(kOpLess, {E(0), E(0), E(1), E(1), E(0),  //
                    E(0), E(0), E(0), E(0), E(0),  //
                    E(0), E(0), E(0), E(0), E(1),  //
                    E(0), E(1), E(1), E(0), E(1),  //
                    E(0), E(0), E(0), E(0), E(0)});
  RunGrid(kOpGreater, {E(0), E(0), E(0), E(0), E(0),  //
                       E(0), E(0), E(0), E(1), E(0),  //
                       E(1), E(0), E(0), E(1), E(0),  //
                       E(1), E(0), E(0), E(0), E(0),  //
                       E(0), E(0), E(1), E(1), E(0)});
  RunGrid(kOpLessEqual, {E(1), E(0), E(1), E(1), E(0),  //
                         E(0), E(1), E(1), E(0), E(0),  //
                         E(0), E(1), E(1), E(0), E(1),  //
                         E(0), E(1), E(1), E(1), E(1),  //
                         E(0), E(0), E(0), E(0), E(1)});
  RunGrid(kOpGreaterEqual, {E(1), E(0), E(0), E(0), E(0),  //
                            E(0), E(1), E(1), E(1), E(0),  //
                            E(1), E(1), E(1), E(1), E(0),  //
                            E(1), E(0), E(0), E(1), E(0),  //
                            E(0), E(0), E(1), E(1), E(1)});
}

TEST_F(CalculateTest, LogicAndBitOperatorsUseIntegerConversions) {
  // The map converts to its handle 40, the float 2.5 to 2, "3ab" to 3.
  RunGrid(kOpAnd, {E(0), E(0), E(0), E(0), E(0),  //
                   E(0), E(1), E(1), E(1), E(1),  //
                   E(0), E(1), E(1), E(1), E(1),  //
                   E(0), E(1), E(1), E(1), E(1),  //
                   E(0), E(1), E(1), E(1), E(1)});
  RunGrid(kOpOr, {E(0), E(1), E(1), E(1), E(1),  //
                  E(1), E(1), E(1), E(1), E(1),  //
                  E(1), E(1), E(1), E(1), E(1),  //
                  E(1), E(1), E(1), E(1), E(1),  //
                  E(1), E(1), E(1), E(1), E(1)});
  RunGrid(kOpBitAnd, {E(0), E(0), E(0), E(0), E(0),  //
                      E(0), E(3), E(3), E(2), E(0),  //
                      E(0), E(3), E(3), E(2), E(0),  //
                      E(0), E(2), E(2), E(2), E(0),  //
                      E(0), E(0), E(0), E(0), E(40)});
  RunGrid(kOpBitOr, {E(0), E(3), E(3), E(2), E(40),   //
                     E(3), E(3), E(3), E(3), E(43),   //
                     E(3), E(3), E(3), E(3), E(43),   //
                     E(2), E(3), E(3), E(2), E(42),   //
                     E(40), E(43), E(43), E(42), E(40)});
  RunGrid(kOpBitXor, {E(0), E(3), E(3), E(2), E(40),   //
                      E(3), E(0), E(0), E(1), E(43),   //
                      E(3), E(0), E(0), E(1), E(43),   //
                      E(2), E(1), E(1), E(0), E(42),   //
                      E(40), E(43), E(43), E(42), E(0)});
  // Shift counts are taken and 31: the map's 40 shifts by 8.
  RunGrid(kOpShiftLeft, {E(0), E(0), E(0), E(0), E(0),            //
                         E(3), E(24), E(24), E(12), E(768),       //
                         E(3), E(24), E(24), E(12), E(768),       //
                         E(2), E(16), E(16), E(8), E(512),        //
                         E(40), E(320), E(320), E(160), E(10240)});
  // A map on the left loses the key (none of these is present) and is the
  // result.
  RunGrid(kOpShiftRight, {E(0), E(0), E(0), E(0), E(0),  //
                          E(3), E(0), E(0), E(0), E(0),  //
                          E(3), E(0), E(0), E(0), E(0),  //
                          E(2), E(0), E(0), E(0), E(0),  //
                          Mp(1), Mp(1), Mp(1), Mp(1), Mp(1)});
}

TEST_F(CalculateTest, ArithmeticOverEveryPairOfKinds) {
  RunGrid(kOpMod, {K, E(0), E(0), E(0), E(0),  //
                   K, E(0), E(0), E(1), E(3),  //
                   K, E(0), E(0), E(1), E(3),  //
                   K, E(2), E(2), E(0), E(2),  //
                   K, E(1), E(1), E(0), E(0)});
  RunGrid(kOpDiv, {K, K, E(0), D(0.0), K,                         //
                   K, K, E(1), D(1.2), K,                         //
                   K, E(1), E(1), D(1.2), E(0),                   //
                   K, D(2.5 / 3), D(2.5 / 3), D(1.0), D(0.0625),  //
                   K, K, E(13), D(16.0), K});
  RunGrid(kOpMul, {K, K, E(0), D(0.0), K,                     //
                   K, K, T("3ab3ab3ab"), D(7.5), K,           //
                   E(0), E(9), E(9), D(7.5), E(120),          //
                   D(0.0), D(7.5), D(7.5), D(6.25), D(100.0), //
                   K, K, E(120), D(100.0), Mp(1)});
  RunGrid(kOpAdd, {Z, Z, E(3), D(2.5), Z,                                     //
                   T("3ab"), T("3ab3ab"), T("3ab3"), T("3ab2.5"), T("3ab0."), //
                   E(3), E(6), E(6), D(5.5), E(43),                           //
                   D(2.5), D(5.5), D(5.5), D(5.0), D(42.5),                   //
                   Z, Z, E(43), D(42.5), Mp(1)});
  // Two non-numbers that are not two maps: the integer target keeps its
  // kind and takes the difference of the integer fields ("3ab" holds 4).
  RunGrid(kOpSub, {E(0), E(-4), E(-3), D(-2.5), E(0),       //
                   E(4), E(0), E(0), D(0.5), E(4),          //
                   E(3), E(0), E(0), D(0.5), E(-37),        //
                   D(2.5), D(-0.5), D(-0.5), D(0.0), D(-37.5), //
                   E(0), E(-4), E(37), D(37.5), Mp(0)});
  // None of these keys is in the map; nothing else is a map.
  RunGrid(kOpElement, std::vector<Expect>(kKinds * kKinds, Z));
}

TEST_F(CalculateTest, OneOperandOpcodesOverEveryKind) {
  RunUnary(kOpCopy, {Z, T("3ab"), E(3), D(2.5), Mp(1)});
  RunUnary(kOpNot, {E(1), E(0), E(0), E(0), E(0)});
  RunUnary(kOpComplement, {E(-1), E(-4), E(-4), E(-3), E(-41)});
  // The minus follows the operand's kind for numbers; other kinds negate
  // the integer field into the (integer) target.
  RunUnary(kOpSub, {E(0), E(-4), E(-3), D(-2.5), E(0)});
}

struct NumberCase {
  const char* what;
  TagVar (*left)();
  uint8_t op;
  TagVar (*right)();
  Expect expect;
};

TEST_F(CalculateTest, NumberEdgeCases) {
  const NumberCase cases[] = {
      {"7 / 2", [] { return Int(7); }, '/', [] { return Int(2); }, E(3)},
      {"7.0 / 2", [] { return Flt(7.0); }, '/', [] { return Int(2); }, D(3.5)},
      {"-7 / 2", [] { return Int(-7); }, '/', [] { return Int(2); }, E(-3)},
      {"-7 % 2", [] { return Int(-7); }, '%', [] { return Int(2); }, E(-1)},
      {"7 % -2", [] { return Int(7); }, '%', [] { return Int(-2); }, E(1)},
      {"7 / 0", [] { return Int(7); }, '/', [] { return Int(0); }, K},
      {"7 % 0", [] { return Int(7); }, '%', [] { return Int(0); }, K},
      {"7 % 0.5 (0 as integer)", [] { return Int(7); }, '%', [] { return Flt(0.5); }, K},
      {"7 / 0.0005", [] { return Int(7); }, '/', [] { return Flt(0.0005); }, K},
      {"7 / 0.001", [] { return Int(7); }, '/', [] { return Flt(0.001); }, K},
      {"7 / -0.001", [] { return Int(7); }, '/', [] { return Flt(-0.001); }, K},
      {"1 / 0.002", [] { return Int(1); }, '/', [] { return Flt(0.002); }, D(500.0)},
      {"INT_MIN / -1", [] { return Int(INT_MIN); }, '/', [] { return Int(-1); }, E(INT_MIN)},
      {"INT_MIN % -1", [] { return Int(INT_MIN); }, '%', [] { return Int(-1); }, E(0)},
      {"INT_MAX + 1", [] { return Int(INT_MAX); }, '+', [] { return Int(1); }, E(INT_MIN)},
      {"INT_MIN - 1", [] { return Int(INT_MIN); }, '-', [] { return Int(1); }, E(INT_MAX)},
      {"65536 * 65536", [] { return Int(65536); }, '*', [] { return Int(65536); }, E(0)},
      {"256 >> 4", [] { return Int(256); }, 'R', [] { return Int(4); }, E(16)},
      {"-16 >> 2", [] { return Int(-16); }, 'R', [] { return Int(2); }, E(-4)},
      {"-1 >> 40", [] { return Int(-1); }, 'R', [] { return Int(40); }, E(-1)},
      {"1 << 33", [] { return Int(1); }, 'L', [] { return Int(33); }, E(2)},
      {"1 << -1", [] { return Int(1); }, 'L', [] { return Int(-1); }, E(INT_MIN)},
      {"3 << 31", [] { return Int(3); }, 'L', [] { return Int(31); }, E(INT_MIN)},
      {"\"ab\" * 3", [] { return Str("ab"); }, '*', [] { return Int(3); }, T("ababab")},
      {"\"ab\" * 0", [] { return Str("ab"); }, '*', [] { return Int(0); }, T("")},
      {"\"ab\" * -2", [] { return Str("ab"); }, '*', [] { return Int(-2); }, T("")},
      {"3 * \"ab\"", [] { return Int(3); }, '*', [] { return Str("ab"); }, E(0)},
      {"\"ab\" * 1.5", [] { return Str("ab"); }, '*', [] { return Flt(1.5); }, D(0.0)},
      {"\"x\" == 0", [] { return Str("x"); }, '=', [] { return Int(0); }, E(1)},
      {"\"12\" == 12", [] { return Str("12"); }, '=', [] { return Int(12); }, E(1)},
      {"\"a\" - 1", [] { return Str("a"); }, '-', [] { return Int(1); }, E(-1)},
  };
  for (const bool in_expression : {false, true}) {
    for (const NumberCase& c : cases) {
      TagVar l = c.left(), r = c.right(), target;
      target.SetInt(kSentinel);
      Run(TagCalculate(&target, nullptr, &l, c.op, &r), in_expression);
      Check(target, c.expect, std::string(c.what) + (in_expression ? " in an expression" : ""));
    }
  }
}

TEST_F(CalculateTest, UnaryMinusFollowsTheOperandsKind) {
  struct Case {
    TagVar (*operand)();
    TagVar (*target)();
    Expect expect;
  };
  const Case cases[] = {
      {[] { return Flt(2.5); }, [] { return Int(0); }, D(-2.5)},  // not 0
      {[] { return Int(5); }, [] { return Flt(1.0); }, E(-5)},
      {[] { return Int(INT_MIN); }, [] { return Int(0); }, E(INT_MIN)},
      {[] { return Flt(-0.5); }, [] { return Str("s"); }, D(0.5)},
  };
  for (const Case& c : cases) {
    TagVar operand = c.operand(), target = c.target();
    TagCalculate(&target, nullptr, &operand, kOpSub).Execute();
    Check(target, c.expect, "unary minus");
  }
}

// The target of a minus without numbers keeps its kind, except a string or
// a map, which become NULL carrying the numbers (a string's integer field
// is its length, a map kind needs a live map).
TEST_F(CalculateTest, NumericFieldsOnStringAndMapTargetsLeaveValidValues) {
  TagVar null_operand;
  null_operand.intValue = 7;
  null_operand.floatValue = 1.5;

  TagVar text = Str("zz");
  TagCalculate(&text, nullptr, &null_operand, kOpSub).Execute();
  EXPECT_EQ(text.kind, kVarNull);
  EXPECT_EQ(text.GetInt(), -7);
  EXPECT_DOUBLE_EQ(text.GetFloat(), -1.5);

  TagVar map;
  map.Element(Int(1))->SetInt(1);
  TagVar s1 = Str("abc"), s2 = Str("a");
  TagCalculate(&map, nullptr, &s1, kOpSub, &s2).Execute();  // 4 - 2
  EXPECT_EQ(map.kind, kVarNull);
  EXPECT_EQ(map.GetInt(), 2);
  // (The map's last reference went with it: the fixture checks the table.)

  TagVar null_target;
  TagCalculate(&null_target, nullptr, &s1, kOpSub).Execute();
  EXPECT_EQ(null_target.kind, kVarNull);
  EXPECT_EQ(null_target.intValue, -4);

  TagVar constant = Str("const");
  constant.readOnly = 1;
  TagCalculate(&constant, nullptr, &s1, kOpSub, &s2).Execute();
  EXPECT_EQ(constant.kind, kVarString);
  EXPECT_EQ(constant.Bytes(), "const");
}

TEST_F(CalculateTest, MapOperationsAndElementAccess) {
  TagVar m, key = Int(1), other_key = Str("k"), absent = Int(9), target;
  m.Element(key)->SetString("one");
  m.Element(other_key)->SetInt(2);

  // m[k] in an expression reads; an absent key gives NULL and creates none.
  TagCalculate(&target, nullptr, &m, kOpElement, &key).Execute();
  EXPECT_EQ(target.Bytes(), "one");
  TagCalculate(&target, nullptr, &m, kOpElement, &absent).Execute();
  EXPECT_EQ(target.kind, kVarNull);
  EXPECT_EQ(m.Length(), 2);

  // A map element is shared, not copied.
  TagVar inner_read;
  m.Element(Int(5))->Element(Int(0))->SetInt(42);
  TagVar five = Int(5);
  TagCalculate(&inner_read, nullptr, &m, kOpElement, &five).Execute();
  ASSERT_EQ(inner_read.kind, kVarMap);
  EXPECT_EQ(inner_read.mapHandle, m.GetElement(five)->mapHandle);

  // m >> k erases k; the result is the same map.
  TagCalculate(&target, nullptr, &m, kOpShiftRight, &other_key).Execute();
  EXPECT_EQ(m.Length(), 2);
  ASSERT_EQ(target.kind, kVarMap);
  EXPECT_EQ(target.mapHandle, m.mapHandle);
  EXPECT_EQ(MapTable().RefCount(m.mapHandle), 2);
  // m = m >> k: erased, no reference taken.
  TagCalculate(&m, nullptr, &m, kOpShiftRight, &key).Execute();
  EXPECT_EQ(m.Length(), 1);
  EXPECT_EQ(MapTable().RefCount(m.mapHandle), 2);

  // Union, difference and intersection make new maps.
  TagVar a, b;
  a.Element(Int(1))->SetInt(1);
  a.Element(Int(2))->SetInt(2);
  b.Element(Int(2))->SetInt(20);
  b.Element(Int(3))->SetInt(30);
  TagVar sum, diff, meet;
  TagCalculate(&sum, nullptr, &a, kOpAdd, &b).Execute();
  TagCalculate(&diff, nullptr, &a, kOpSub, &b).Execute();
  TagCalculate(&meet, nullptr, &a, kOpMul, &b).Execute();
  EXPECT_EQ(sum.Length(), 3);
  EXPECT_EQ(diff.Length(), 1);
  EXPECT_EQ(meet.Length(), 1);
  EXPECT_NE(sum.mapHandle, a.mapHandle);
  // a = a + b: the old map is given back (the fixture counts maps).
  TagCalculate(&a, nullptr, &a, kOpAdd, &b).Execute();
  EXPECT_EQ(a.Length(), 3);

  for (TagVar* v : {&m, &target, &inner_read, &a, &b, &sum, &diff, &meet}) v->ReleaseMap();
}

TEST_F(CalculateTest, IndexedTargetsAndAliasing) {
  // x[k] = a + b makes x a map holding the element.
  TagVar x = Int(5), k = Str("k"), a = Int(2), b = Int(3);
  TagCalculate(&x, &k, &a, kOpAdd, &b).Execute();
  ASSERT_EQ(x.kind, kVarMap);
  EXPECT_EQ(x.GetElement(k)->intValue, 5);

  // Nothing stored creates no element.
  TagVar zero = Int(0), absent_key = Int(7);
  TagCalculate(&x, &absent_key, &a, kOpDiv, &zero).Execute();
  EXPECT_EQ(x.Length(), 1);

  // y[1] = y with y an integer: y's old value lands in the new map, no
  // map holds itself.
  TagVar y = Int(8), one = Int(1);
  TagCalculate(&y, &one, &y, kOpCopy).Execute();
  ASSERT_EQ(y.kind, kVarMap);
  EXPECT_EQ(y.GetElement(one)->kind, kVarInt);
  EXPECT_EQ(y.GetElement(one)->intValue, 8);

  // z = z[1]: the element is read before z gives back its map.
  TagVar z;
  z.Element(one)->SetString("inner text");
  TagCalculate(&z, nullptr, &z, kOpElement, &one).Execute();
  EXPECT_EQ(z.kind, kVarString);
  EXPECT_EQ(z.Bytes(), "inner text");

  // s = s * 3 repeats the old text; s = s + s doubles it.
  TagVar s = Str("ab"), three = Int(3);
  TagCalculate(&s, nullptr, &s, kOpMul, &three).Execute();
  EXPECT_EQ(s.Bytes(), "ababab");
  TagCalculate(&s, nullptr, &s, kOpAdd, &s).Execute();
  EXPECT_EQ(s.Bytes(), "abababababab");

  x.ReleaseMap();
  y.ReleaseMap();
}

TEST_F(CalculateTest, ReadOnlyTargetsRefuseEveryResult) {
  TagVar constant = Int(11);
  constant.readOnly = 1;
  TagVar i = Int(2), f = Flt(0.5), s = Str("s"), m;
  m.Element(Int(1))->SetInt(1);
  const struct {
    TagVar* l;
    uint8_t op;
    TagVar* r;
  } cases[] = {{&i, '+', &i}, {&f, '*', &i}, {&s, '+', &s}, {&s, '*', &i},
               {&m, '+', &m}, {&m, '-', &m}, {&m, 'R', &i}, {&m, '[', &i},
               {&i, 0, nullptr}, {&f, '-', nullptr}, {&s, '-', nullptr}, {&i, '!', nullptr}};
  for (const bool in_expression : {false, true}) {
    for (const auto& c : cases) {
      Run(TagCalculate(&constant, nullptr, c.l, c.op, c.r), in_expression);
      EXPECT_EQ(constant.kind, kVarInt) << static_cast<char>(c.op) << in_expression;
      EXPECT_EQ(constant.intValue, 11) << static_cast<char>(c.op) << in_expression;
    }
  }
  // An indexed write into a read-only value goes nowhere.
  TagCalculate(&constant, &i, &i, kOpAdd, &i).Execute();
  EXPECT_EQ(constant.kind, kVarInt);
  EXPECT_EQ(NullVar().kind, kVarNull);
  m.ReleaseMap();
}

TEST_F(CalculateTest, ExpressionRunsInOrderAndReturnsItsCount) {
  // t = a * b; x = c + t
  TagVar a = Int(3), b = Int(4), c = Int(2), t, x;
  std::vector<TagCalculate> list;
  list.emplace_back(&t, nullptr, &a, kOpMul, &b);
  list.emplace_back(&x, nullptr, &c, kOpAdd, &t);
  TagExpre expre(list);
  EXPECT_EQ(expre.kindLetter, kKindAssign);
  EXPECT_EQ(expre.ResultVariable(), &x);
  EXPECT_EQ(expre.Execute(), 2);
  EXPECT_EQ(x.intValue, 14);
  a.SetInt(10);
  EXPECT_EQ(expre.Execute(), 2);
  EXPECT_EQ(x.intValue, 42);
}

// The numeric steps of an expression write over temporaries and targets
// of every kind: a map the target held is given back, an aliased operand is
// read before it is overwritten, a division by 0 in the middle leaves its
// temporary as it was for the next instruction.
TEST_F(CalculateTest, ExpressionStepsOverTargetsOfEveryKind) {
  TagVar two = Int(2), zero = Int(0), half = Flt(0.5), t, x;
  x.Element(Int(1))->SetInt(1);
  TagExpre({TagCalculate(&x, nullptr, &two, kOpAdd, &two)}).Execute();
  Check(x, E(4), "a map target");
  EXPECT_EQ(MapTable().LiveMaps(), 0u);
  TagExpre({TagCalculate(&x, nullptr, &x, kOpMul, &half)}).Execute();
  Check(x, D(2.0), "the target as an operand");
  t.SetString("kept");
  TagExpre divide({TagCalculate(&t, nullptr, &two, kOpDiv, &zero),
                   TagCalculate(&x, nullptr, &t, kOpAdd, &two)});
  divide.Execute();
  Check(t, T("kept"), "the temporary of a division by 0");
  Check(x, T("kept2"), "the instruction after it");
}

// A condition's Holds stores what Execute stores and answers by the stored
// value, over each comparison and kinds of operands, into a plain, a
// read-only and an indexed target; a longer expression too.
TEST_F(CalculateTest, ConditionHoldsAsItsExpressionRuns) {
  TagVar two = Int(2), three = Int(3), half = Flt(2.5), text = Str("3");
  const std::pair<TagVar*, TagVar*> operands[] = {
      {&two, &three}, {&three, &three}, {&three, &two}, {&two, &half}, {&text, &three}};
  const uint8_t ops[] = {kOpEqual, kOpNotEqual, kOpLess, kOpGreater, kOpLessEqual,
                         kOpGreaterEqual, kOpAdd};
  for (const uint8_t op : ops) {
    for (size_t pair = 0; pair < std::size(operands); ++pair) {
      const auto [l, r] = operands[pair];
      for (const int target_form : {0, 1, 2}) {  // plain, read-only, element 2
        SCOPED_TRACE(std::string("opcode '") + static_cast<char>(op) + "' operands " +
                     std::to_string(pair) + " target " + std::to_string(target_form));
        TagVar held, run;
        TagVar* index = target_form == 2 ? &two : nullptr;
        for (TagVar* t : {&held, &run}) {
          t->SetInt(kSentinel);
          t->readOnly = target_form == 1 ? 1 : 0;
        }
        TagExpre holds({TagCalculate(&held, index, l, op, r)});
        TagExpre runs({TagCalculate(&run, index, l, op, r)});
        const bool answer = holds.Holds();
        runs.Execute();
        EXPECT_EQ(held.kind, run.kind);
        EXPECT_EQ(held.intValue, run.intValue);
        EXPECT_EQ(held.Length(), run.Length());
        EXPECT_EQ(answer, run.GetInt() != 0);
        held.readOnly = run.readOnly = 0;
        held.ReleaseMap();
        run.ReleaseMap();
      }
    }
  }
  // Two instructions: the last one's value decides.
  TagVar t, x;
  TagExpre longer({TagCalculate(&t, nullptr, &two, kOpLess, &three),
                   TagCalculate(&x, nullptr, &t, kOpEqual, &two)});
  EXPECT_FALSE(longer.Holds());
  EXPECT_EQ(t.intValue, 1);
}

TagVar* Fresh(std::vector<std::unique_ptr<TagVar>>& pool, TagVar v) {
  pool.push_back(std::make_unique<TagVar>(v));
  return pool.back().get();
}

TEST_F(CalculateTest, PlusChainFollowsTheAdditionRules) {
  std::vector<std::unique_ptr<TagVar>> pool;
  struct Case {
    const char* what;
    std::vector<TagVar*> operands;
    Expect expect;
  };
  const Case cases[] = {
      {"1 + 2 + \"a\" + 4", {Fresh(pool, Int(1)), Fresh(pool, Int(2)), Fresh(pool, Str("a")),
                             Fresh(pool, Int(4))}, E(7)},
      {"\"a\" + 1 + 2 + 3", {Fresh(pool, Str("a")), Fresh(pool, Int(1)), Fresh(pool, Int(2)),
                             Fresh(pool, Int(3))}, T("a123")},
      {"1 + 2 + 0.5 + \"1.25x\"", {Fresh(pool, Int(1)), Fresh(pool, Int(2)), Fresh(pool, Flt(0.5)),
                                   Fresh(pool, Str("1.25x"))}, D(4.75)},
      {"INT_MAX + 1 + 0", {Fresh(pool, Int(INT_MAX)), Fresh(pool, Int(1)), Fresh(pool, Int(0))},
       E(INT_MIN)},
      {"NULL + NULL + 5", {Fresh(pool, TagVar()), Fresh(pool, TagVar()), Fresh(pool, Int(5))}, E(5)},
      {"\"x\" + 1.5 + NULL", {Fresh(pool, Str("x")), Fresh(pool, Flt(1.5)), Fresh(pool, TagVar())},
       T("x1.5")},
  };
  for (const Case& c : cases) {
    TagVar target = Int(kSentinel);
    TagMulPlus chain(c.operands, &target, nullptr);
    EXPECT_EQ(chain.kindLetter, kKindAssign);
    EXPECT_EQ(chain.Execute(), 0);
    Check(target, c.expect, c.what);
  }

  // Fewer than three operands: -1 and nothing stored.
  TagVar target = Int(kSentinel);
  TagMulPlus two({Fresh(pool, Int(1)), Fresh(pool, Int(2))}, &target, nullptr);
  EXPECT_EQ(two.Execute(), -1);
  Check(target, K, "two operands");

  // At most 40 operands are kept.
  std::vector<TagVar*> many(45, Fresh(pool, Int(1)));
  TagMulPlus long_chain(many, &target, nullptr);
  EXPECT_EQ(long_chain.operandCount, kMaxPlusOperands);
  long_chain.Execute();
  Check(target, E(40), "45 operands");

  // The target among the operands, and an indexed target.
  TagVar s = Str("s"), k = Int(1);
  TagMulPlus self({&s, &s, Fresh(pool, Int(1))}, &s, nullptr);
  self.Execute();
  EXPECT_EQ(s.Bytes(), "ss1");
  TagMulPlus indexed({&s, &s, &s}, &s, &k);
  indexed.Execute();
  ASSERT_EQ(s.kind, kVarMap);
  EXPECT_EQ(s.GetElement(k)->Bytes(), "ss1ss1ss1");
  s.ReleaseMap();
}

// A chain gives what the additions one by one give, for every mix of the
// kinds whose integer conversion does not depend on a map handle (a union
// made along the way has a handle of its own).
TEST_F(CalculateTest, PlusChainEqualsStepByStepAdditions) {
  constexpr int kScalarKinds = 4;  // N S I F
  for (int combo = 0; combo < kScalarKinds * kScalarKinds * kScalarKinds * kScalarKinds; ++combo) {
    TagVar values[4];
    int rest = combo;
    std::string what = "chain ";
    for (TagVar& v : values) {
      const auto k = static_cast<Operand>(rest % kScalarKinds);
      rest /= kScalarKinds;
      what += "NSIF"[k];
      Make(k, v);
    }
    TagVar chained, stepped, partial1, partial2;
    TagMulPlus({&values[0], &values[1], &values[2], &values[3]}, &chained, nullptr).Execute();
    TagCalculate(&partial1, nullptr, &values[0], kOpAdd, &values[1]).Execute();
    TagCalculate(&partial2, nullptr, &partial1, kOpAdd, &values[2]).Execute();
    TagCalculate(&stepped, nullptr, &partial2, kOpAdd, &values[3]).Execute();
    EXPECT_EQ(chained.kind, stepped.kind) << what;
    EXPECT_EQ(chained.ToText(), stepped.ToText()) << what;
    EXPECT_EQ(chained.GetInt(), stepped.GetInt()) << what;  // a NULL sum carries its numbers
    EXPECT_EQ(chained.GetFloat(), stepped.GetFloat()) << what;
  }
  // Maps unite along the chain; the maps made on the way are given back.
  TagVar m1, m2, m3, target;
  m1.Element(Int(1))->SetInt(1);
  m2.Element(Int(2))->SetInt(2);
  m3.Element(Int(3))->SetInt(3);
  TagMulPlus({&m1, &m2, &m3, &m1}, &target, nullptr).Execute();
  EXPECT_EQ(target.Length(), 3);
  for (TagVar* v : {&m1, &m2, &m3, &target}) v->ReleaseMap();
}

}  // namespace
}  // namespace engine
