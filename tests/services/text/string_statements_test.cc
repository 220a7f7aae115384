// The string statements run in-process on values the test owns: tables of
// cases per statement, the edge cases of each, the out-of-range inputs that
// must give a failure result and nothing else, and the GBK case rules.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/line_random.h"
#include "engine/tag_var.h"
#include "services/text/string_statements.h"
#include "tests/services/statement_harness.h"

namespace {

using engine::TagVar;
using services_test::Call;

struct IntCase {
  const char* label;
  std::string text;
  int32_t want;
};

TEST(StringStatements, IntReadsHexDecimalAndFloats) {
  const IntCase cases[] = {
      {"hex", "0x1F", 31},       {"upper X", "0X1f", 31},   {"no prefix", "1F", 1},
      {"trailing text", "-12abc", -12}, {"prefix only", "0x", 0}, {"bad hex", "0xg", 0},
      {"blank before prefix", " 0x10", 0}, {"blanks and sign", "  +42", 42},
      {"hex saturates", "0x123456789", -1}, {"all ones", "0xffffffff", -1},
      {"decimal saturates", "99999999999", INT32_MAX},
  };
  for (const IntCase& c : cases) {
    Call call("Int(");
    call.Text(0, c.text);
    EXPECT_EQ(call.Run(), c.want) << c.label;
    EXPECT_EQ(call.arg(1).kind, engine::kVarInt) << c.label;
    EXPECT_EQ(call.arg(1).intValue, c.want) << c.label;
  }
  Call f("Int(");
  f.Float(0, -2.7);
  EXPECT_EQ(f.Run(), -2);
  Call n("Int(");
  n.Int(0, 77);
  EXPECT_EQ(n.Run(), 77);
}

TEST(StringStatements, FloatDropsCommasAndStoresTheDouble) {
  struct Case {
    std::string text;
    double want;
    int32_t result;
  } const cases[] = {
      {"1,234.5", 1234.5, 1234},
      {"-2.75e1x", -27.5, -27},
      {"abc", 0.0, 0},
      // Only the first 80 bytes count: the digit at byte 81 is not read.
      {std::string(79, '1') + ".9", 1.1111111111111111e78, 0},
  };
  for (const Case& c : cases) {
    Call call("Float(");
    call.Text(0, c.text);
    const int32_t r = call.Run();
    EXPECT_DOUBLE_EQ(call.arg(1).floatValue, c.want) << c.text;
    EXPECT_EQ(call.target().kind, engine::kVarFloat) << c.text;
    EXPECT_DOUBLE_EQ(call.target().floatValue, c.want) << c.text;
    if (c.want < 1e9) {
      EXPECT_EQ(r, c.result) << c.text;
    }
  }
}

TEST(StringStatements, StrFormatsNumbersAndKeepsStrings) {
  struct Case {
    const char* label;
    TagVar value;
    int32_t width, precision;
    int32_t result;
    std::string want;
  };
  std::vector<Case> cases;
  auto add = [&](const char* label, auto setter, int32_t w, int32_t p, int32_t r,
                 std::string want) {
    cases.push_back({label, TagVar(), w, p, r, std::move(want)});
    setter(cases.back().value);
  };
  cases.reserve(16);
  add("integer", [](TagVar& v) { v.SetInt(5); }, 0, 2, 0, "5.00");
  add("width 6", [](TagVar& v) { v.SetInt(5); }, 6, 2, 0, "  5.00");
  add("negative width", [](TagVar& v) { v.SetInt(5); }, -6, 2, 0, "5.00  ");
  add("float rounds", [](TagVar& v) { v.SetFloat(2.675); }, 0, 2, 0, "2.67");
  add("precision 0", [](TagVar& v) { v.SetFloat(-3.5); }, 0, 0, 0, "-4");
  add("negative precision is six", [](TagVar& v) { v.SetFloat(1.5); }, 0, -1, 0, "1.500000");
  add("string unchanged", [](TagVar& v) { v.SetString("abc"); }, 9, 2, 0, "abc");
  add("huge width fails", [](TagVar& v) { v.SetInt(1); }, 1 << 30, 2, -1, "");
  add("huge precision fails", [](TagVar& v) { v.SetInt(1); }, 0, INT32_MAX, -1, "");
  for (Case& c : cases) {
    Call call("Str(");
    call.arg(0).Assign(c.value);
    call.Int(1, c.width).Int(2, c.precision).Text(3, "old");
    EXPECT_EQ(call.Run(), c.result) << c.label;
    EXPECT_EQ(call.arg(3).Bytes(), c.result == 0 ? c.want : "old") << c.label;
    if (c.result == 0) {
      EXPECT_EQ(call.target().Bytes(), c.want) << c.label;
    }
  }
}

TEST(StringStatements, HexPadsToTheWidth) {
  struct Case {
    int32_t value, width, result;
    const char* want;
  } const cases[] = {
      {255, 0, 0, "ff"}, {255, 6, 0, "0000ff"}, {-1, 0, 0, "ffffffff"},
      {10, -4, 0, "a   "}, {1, 1 << 20, -1, "old"}, {1, INT32_MIN, -1, "old"},
  };
  for (const Case& c : cases) {
    Call call("Hex(");
    call.Int(0, c.value).Int(1, c.width).Text(2, "old");
    EXPECT_EQ(call.Run(), c.result) << c.value << " " << c.width;
    EXPECT_EQ(call.arg(2).Bytes(), c.want);
  }
}

TEST(StringStatements, MeasuresKindsAndLengths) {
  Call type("Type(");
  type.Float(0, 1.0);
  EXPECT_EQ(type.Run(), 3);
  EXPECT_EQ(type.arg(1).intValue, 3);
  Call len("Len(");
  len.Text(0, std::string("a\0b", 3));
  EXPECT_EQ(len.Run(), 3);
  Call strlen_int("Strlen(");
  strlen_int.Int(0, 123456);
  EXPECT_EQ(strlen_int.Run(), 4);
}

TEST(StringStatements, SubstrCutsBytes) {
  struct Case {
    int32_t start, count, result;
    std::string want;
  } const cases[] = {
      {0, 2, 0, "he"},  {3, 10, 0, "lo"},   {5, 1, -2, ""},        {4, 1, 0, "o"},
      {-1, 2, -2, ""},  {1, 0, -2, ""},     {1, -3, -2, ""},       {INT32_MAX, INT32_MAX, -2, ""},
      {2, INT32_MAX, 0, "llo"}, {INT32_MIN, 5, -2, ""}, {1, 2, 0, "el"},
  };
  for (const Case& c : cases) {
    Call call("Substr(");
    call.Text(0, "hello").Int(1, c.start).Int(2, c.count).Text(3, "old");
    EXPECT_EQ(call.Run(), c.result) << c.start << " " << c.count;
    EXPECT_EQ(call.arg(3).Bytes(), c.want) << c.start << " " << c.count;
    EXPECT_EQ(call.target().Bytes(), c.want) << c.start << " " << c.count;
  }
  // GBK pairs are not kept together; the source may be the destination.
  Call split("Substr(");
  split.Text(0, "中文").Int(1, 1).Int(2, 2);
  EXPECT_EQ(split.Run(), 0);
  EXPECT_EQ(split.arg(3).Bytes(), "\xD0\xCE");
  Call number("Substr(");
  number.Int(0, 12345).Int(1, 0).Int(2, 2);
  EXPECT_EQ(number.Run(), -2);
}

TEST(StringStatements, AscReadsInsideTheStringOnly) {
  struct Case {
    int32_t position, result;
  } const cases[] = {{0, 'h'}, {4, 'o'}, {5, 0}, {6, -1}, {-1, -1}, {INT32_MIN, -1},
                     {INT32_MAX, -1}};
  for (const Case& c : cases) {
    Call call("Asc(");
    call.Text(0, "hello").Int(1, c.position).Int(2, 99);
    EXPECT_EQ(call.Run(), c.result) << c.position;
    EXPECT_EQ(call.arg(2).intValue, c.result < 0 ? 99 : c.result) << c.position;
  }
  Call gbk("Asc(");
  gbk.Text(0, "中").Int(1, 0);
  EXPECT_EQ(gbk.Run(), 0xD6);
  Call not_string("Asc(");
  not_string.Int(0, 5).Int(1, 0);
  EXPECT_EQ(not_string.Run(), -1);
}

TEST(StringStatements, ChrMakesOneByte) {
  Call call("Chr(");
  call.Int(0, 0x141);
  EXPECT_EQ(call.Run(), 0x141);
  EXPECT_EQ(call.arg(1).Bytes(), "A");
  EXPECT_EQ(call.target().Bytes(), "A");
  Call zero("Chr(");
  zero.Int(0, 256);
  EXPECT_EQ(zero.Run(), 256);
  EXPECT_EQ(zero.arg(1).kind, engine::kVarString);
  EXPECT_EQ(zero.arg(1).Bytes(), "");
}

TEST(StringStatements, RandFollowsTheLineGenerator) {
  engine::SeedLineRandom(12345);
  // The same generator computed here: seeded, one number discarded.
  uint32_t state = 12345u * 22695477u + 1u;
  for (int i = 0; i < 5; ++i) {
    state = state * 22695477u + 1u;
    Call call("Rand(");
    const int32_t r = call.Run();
    EXPECT_EQ(r, static_cast<int32_t>((state >> 16) & 0x7FFF));
    EXPECT_EQ(call.arg(0).intValue, r);
  }
}

TEST(StringStatements, StrstrAndStrstrExCountFromTheTextStart) {
  struct Case {
    const char* keyword;
    const char* text;
    int32_t start;
    const char* pattern;
    int32_t result;
    int32_t variable;  // the result variable afterwards (it starts as 99)
  } const cases[] = {
      {"Strstr(", "abcabc", 0, "abc", 1, 1},     {"Strstr(", "abcabc", 0, "ca", 3, 3},
      {"Strstr(", "abcabc", 0, "x", 0, 0},       {"Strstr(", "abc", 0, "", 1, 1},
      {"StrstrEx(", "abcabc", 2, "abc", 4, 4},   {"StrstrEx(", "abcabc", 0, "abc", 1, 1},
      {"StrstrEx(", "abcabc", 6, "", 7, 7},      {"StrstrEx(", "abcabc", 7, "", 0, 99},
      {"StrstrEx(", "abcabc", -1, "abc", 0, 99}, {"StrstrEx(", "abcabc", INT32_MIN, "a", 0, 99},
      {"StrstrEx(", "abcabc", 5, "bc", 0, 0},
  };
  for (const Case& c : cases) {
    Call call(c.keyword);
    const bool ex = std::string(c.keyword) == "StrstrEx(";
    call.Text(0, c.text);
    if (ex) call.Int(1, c.start);
    call.Text(ex ? 2 : 1, c.pattern).Int(ex ? 3 : 2, 99);
    EXPECT_EQ(call.Run(), c.result) << c.keyword << c.text << " " << c.start << " " << c.pattern;
    EXPECT_EQ(call.arg(ex ? 3 : 2).intValue, c.variable) << c.keyword << c.start;
  }
  Call not_string("StrstrEx(");
  not_string.Int(0, 5).Int(1, 0).Text(2, "5").Int(3, 99);
  EXPECT_EQ(not_string.Run(), 0);
  EXPECT_EQ(not_string.arg(3).intValue, 99);
}

TEST(StringStatements, StrcmpWholeAndFixedLengths) {
  struct Case {
    const char* a;
    const char* b;
    int32_t length, fold, result;
  } const cases[] = {
      {"abc", "abc", 0, 0, 0},   {"abc", "abd", 0, 0, -1},  {"abd", "abc", 0, 0, 1},
      {"ab", "abc", 0, 0, -1},   {"ABC", "abc", 0, 1, 0},   {"ABC", "abc", 0, 0, -1},
      {"abcX", "abcY", 3, 0, 0}, {"abc", "abc", 4, 0, 0},   {"abc", "abcd", 4, 0, -1},
      {"abc", "abc", 5, 0, -2},  {"ab", "abc", 4, 0, -2},   {"aBc", "AbC", 3, 1, 0},
      {"\xB0" "a", "\xB0" "A", 0, 1, 0},
  };
  for (const Case& c : cases) {
    Call call("Strcmp(");
    call.Text(0, c.a).Text(1, c.b).Int(2, c.length).Int(3, c.fold);
    EXPECT_EQ(call.Run(), c.result) << c.a << " " << c.b << " " << c.length;
  }
  Call not_string("Strcmp(");
  not_string.Int(0, 1).Text(1, "a").Int(2, 1);
  EXPECT_EQ(not_string.Run(), -2);
}

TEST(StringStatements, TrimRemovesBlanksAndTrailingZeros) {
  struct Case {
    std::string in, out;
  } const cases[] = {
      {"  a b\t ", "a b"}, {"   ", ""}, {std::string("ab\0\0 ", 5), "ab"}, {"", ""},
      {"\t中文 ", "中文"},
  };
  for (const Case& c : cases) {
    Call call("Trim(");
    call.Text(0, c.in);
    EXPECT_EQ(call.Run(), 0);
    EXPECT_EQ(call.arg(0).Bytes(), c.out);
    EXPECT_EQ(call.arg(0).intValue, static_cast<int32_t>(c.out.size()) + 1);
  }
}

TEST(StringStatements, InPlaceStatementsRefuseConstantsAndNonStrings) {
  for (const char* keyword : {"Trim(", "Upper(", "Lower(", "Replstr("}) {
    Call constant(keyword);
    constant.Text(0, "abc");
    constant.arg(0).readOnly = 1;
    if (std::string(keyword) == "Replstr(") constant.Int(1, 0).Int(2, 1).Text(3, "x");
    EXPECT_EQ(constant.Run(), -1) << keyword;
    EXPECT_EQ(constant.arg(0).Bytes(), "abc");
    Call number(keyword);
    number.Int(0, 5);
    if (std::string(keyword) == "Replstr(") number.Int(1, 0).Int(2, 1).Text(3, "x");
    EXPECT_EQ(number.Run(), -2) << keyword;
  }
}

// Upper and lower case change ASCII letters only; a GBK pair's trail byte
// (癮 B0 61, 丄 81 41) looks like a letter and stays.
TEST(StringStatements, CaseChangesLeaveGbkPairsAlone) {
  struct Case {
    const char* keyword;
    std::string in, out;
  } const cases[] = {
      {"Upper(", "ab癮Cd", "AB癮CD"},  {"Lower(", "AB丄cD", "ab丄cd"},
      {"Upper(", "\xB0" "a", "\xB0" "a"}, {"Lower(", "\x81" "A", "\x81" "A"},
      {"Upper(", "x\xB0", "X\xB0"},    {"Upper(", std::string("a\0b", 3), std::string("A\0B", 3)},
      {"Lower(", "中文ABC", "中文abc"},
  };
  for (const Case& c : cases) {
    Call call(c.keyword);
    call.Text(0, c.in);
    EXPECT_EQ(call.Run(), 0);
    EXPECT_EQ(services_test::HexOf(call.arg(0).Bytes()), services_test::HexOf(c.out))
        << c.keyword << c.in;
  }
}

TEST(StringStatements, ReplstrOverwritesWithinTheString) {
  struct Case {
    const char* label;
    int32_t position, length;
    const char* source;
    int32_t result;
    std::string want;
  } const cases[] = {
      {"middle", 1, 2, "XYZ", 0, "aXYde"},
      {"to the end", 3, 2, "XY", 0, "abcXY"},
      {"onto the terminator", 4, 2, "XY", 0, "abcdX"},
      {"the source's terminator", 3, 2, "X", 0, std::string("abcX\0", 5)},
      {"past the terminator", 4, 3, "XYZ", -2, "abcde"},
      {"source too short", 0, 3, "X", -2, "abcde"},
      {"length 0", 0, 0, "X", -2, "abcde"},
      {"negative position", -1, 2, "XY", -2, "abcde"},
      {"huge length", 1, INT32_MAX, "XY", -2, "abcde"},
      {"huge position", INT32_MAX, 1, "XY", -2, "abcde"},
  };
  for (const Case& c : cases) {
    Call call("Replstr(");
    call.Text(0, "abcde").Int(1, c.position).Int(2, c.length).Text(3, c.source);
    EXPECT_EQ(call.Run(), c.result) << c.label;
    EXPECT_EQ(call.arg(0).Bytes(), c.want) << c.label;
    EXPECT_EQ(call.arg(0).text()[5], '\0') << c.label;
  }
}

TEST(StringStatements, RepeatstrRepeatsOrFails) {
  struct Case {
    const char* label;
    bool text;
    const char* source;
    int32_t number, count, result;
    std::string want;
  } const cases[] = {
      {"text", true, "ab", 0, 3, 0, "ababab"},
      {"byte of an integer", false, nullptr, 42, 3, 0, "***"},
      {"count 0", true, "ab", 0, 0, -2, "old"},
      {"negative count", true, "ab", 0, -5, -2, "old"},
      {"beyond the value limit", true, "abcd", 0, INT32_MAX, -3, "old"},
      {"one byte too many", false, nullptr, 65, INT32_MAX, -3, "old"},
  };
  for (const Case& c : cases) {
    Call call("Repeatstr(");
    call.Text(0, "old").Int(2, c.count);
    if (c.text) {
      call.Text(1, c.source);
    } else {
      call.Int(1, c.number);
    }
    EXPECT_EQ(call.Run(), c.result) << c.label;
    EXPECT_EQ(call.arg(0).Bytes(), c.want) << c.label;
  }
  Call constant("Repeatstr(");
  constant.Text(0, "old").Text(1, "x").Int(2, 2);
  constant.arg(0).readOnly = 1;
  EXPECT_EQ(constant.Run(), -1);
}

TEST(StringStatements, AnlyStrSplitsIntoIntegerKeys) {
  struct Case {
    std::string text, separator;
    std::vector<std::string> pieces;
  } const cases[] = {
      {"a,,b", ",", {"a", "", "b"}},
      {"a  b", " ", {"a", "b"}},
      {" \ta b ", " ", {"", "a", "b", ""}},
      {"a<>b<>", "<>", {"a", "b", ""}},
      {"a<><>b", "<>", {"a", "", "b"}},
      {"abc", "", {"abc"}},
      {"", ",", {""}},
      {"中,文", ",", {"中", "文"}},
  };
  for (const Case& c : cases) {
    Call call("AnlyStr(");
    call.Text(0, c.text).Text(1, c.separator);
    EXPECT_EQ(call.Run(), static_cast<int32_t>(c.pieces.size())) << c.text;
    ASSERT_EQ(call.arg(2).kind, engine::kVarMap);
    for (size_t i = 0; i < c.pieces.size(); ++i) {
      TagVar key;
      key.SetInt(static_cast<int32_t>(i));
      EXPECT_EQ(call.arg(2).GetElement(key)->Bytes(), c.pieces[i]) << c.text << " " << i;
    }
    call.arg(2).ReleaseMap();
  }
  Call not_string("AnlyStr(");
  not_string.Int(0, 5).Text(1, ",");
  EXPECT_EQ(not_string.Run(), 0);
}

TEST(StringStatements, GetMapItemWalksTheMap) {
  Call split("AnlyStr(");
  split.Text(0, "x,y").Text(1, ",");
  ASSERT_EQ(split.Run(), 2);
  struct Case {
    int32_t position, result;
  } const cases[] = {{0, 0}, {1, 1}, {2, -2}, {-1, -2}};
  for (const Case& c : cases) {
    Call call("GetMapItem(");
    call.arg(0).Assign(split.arg(2));
    call.Int(1, c.position);
    EXPECT_EQ(call.Run(), c.result) << c.position;
    if (c.result >= 0) {
      EXPECT_EQ(call.arg(2).GetInt(), c.position);
      EXPECT_EQ(call.arg(3).Bytes(), c.position == 0 ? "x" : "y");
    }
    call.arg(0).ReleaseMap();
  }
  Call not_map("GetMapItem(");
  not_map.Int(0, 1).Int(1, 0);
  EXPECT_EQ(not_map.Run(), -1);
  split.arg(2).ReleaseMap();
}

}  // namespace
