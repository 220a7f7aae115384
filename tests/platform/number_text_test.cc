#include "platform/number_text.h"

#include <gtest/gtest.h>
#include <locale.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <random>
#include <cstring>
#include <string>
#include <vector>

namespace platform {
namespace {

TEST(AtoL, ReadsAsTheRuntimeDoes) {
  struct {
    const char* text;
    int32_t value;
  } cases[] = {{"", 0},          {"42", 42},        {"  -7x", -7},
               {"+3", 3},        {"abc", 0},        {"2147483648", 2147483647},
               {"-2147483648", -2147483647 - 1},    {"-9999999999", -2147483647 - 1},
               {"0012", 12},     {"\t\n 5", 5},     {"- 5", 0},
               {"0x1F", 0},      {"99999999999999999999999", 2147483647}};
  for (const auto& c : cases) EXPECT_EQ(AtoL(c.text), c.value) << c.text;
}

TEST(StrToD, DecimalOnly) {
  struct {
    std::string text;
    double value;
    size_t used;
  } cases[] = {
      {"1.5", 1.5, 3},       {"  -2.25abc", -2.25, 7}, {".5", 0.5, 2},   {"5.", 5.0, 2},
      {"1e3", 1000.0, 3},    {"1e", 1.0, 1},           {"1e+", 1.0, 1},  {"2E-2x", 0.02, 4},
      {"0x1p3", 0.0, 1},     {"inf", 0.0, 0},          {"-nan", 0.0, 0}, {"", 0.0, 0},
      {".", 0.0, 0},         {"+.e1", 0.0, 0},         {"1,5", 1.0, 1},
      {std::string("12\0" "3", 4), 12.0, 2},
  };
  for (const auto& c : cases) {
    size_t used = 99;
    EXPECT_EQ(StrToD(c.text, &used), c.value) << c.text;
    EXPECT_EQ(used, c.used) << c.text;
  }
  EXPECT_EQ(StrToD("1e999"), HUGE_VAL);
  EXPECT_EQ(StrToD("-1e999"), -HUGE_VAL);
  EXPECT_EQ(StrToD("1e-999"), 0.0);
}

TEST(FloatText, TrailingZerosGoAfterThePoint) {
  struct {
    double v;
    const char* text;
  } cases[] = {{3.0, "3."},   {0.5, "0.5"},     {-2.0, "-2."},     {0.0, "0."},
               {100.0, "100."}, {2.5, "2.5"},   {1e-7, "0."},      {-0.0, "-0."},
               {123456.789, "123456.789"},      {NAN, "nan"},      {-INFINITY, "-inf"}};
  for (const auto& c : cases) {
    std::string out = "x";
    AppendFloatText(c.v, out);
    EXPECT_EQ(out, std::string("x") + c.text) << c.v;
  }
  EXPECT_EQ(FormatFixed(1e300).size(), 301u + 7u);
  std::string n;
  AppendInt(-2147483647 - 1, n);
  EXPECT_EQ(n, "-2147483648");
}

// The shortest text that reads back as v, without the locale.
std::string ShortestText(double v) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

// Runs python3 over the values (one per line, as 17-digit exponent text)
// and returns what it prints for '%f' and for float(text).
std::vector<std::string> PythonFormat(const std::vector<double>& values) {
  char tmpl[] = "/tmp/vttel-num-XXXXXX";
  int fd = mkstemp(tmpl);
  if (fd < 0) return {};
  FILE* in = fdopen(fd, "w");
  for (double v : values) std::fprintf(in, "%s\n", ShortestText(v).c_str());
  std::fclose(in);
  std::string cmd = "python3 -c \"import sys\nfor l in sys.stdin: print('%f' % float(l))\" < ";
  cmd += tmpl;
  FILE* p = popen(cmd.c_str(), "r");
  std::vector<std::string> out;
  if (p == nullptr) return out;
  char line[512];
  while (std::fgets(line, sizeof line, p) != nullptr) {
    std::string s(line);
    if (!s.empty() && s.back() == '\n') s.pop_back();
    out.push_back(s);
  }
  pclose(p);
  std::remove(tmpl);
  return out;
}

void CheckAgainstPython() {
  std::mt19937_64 rng(20261210);
  std::vector<double> values;
  for (int i = 0; i < 3000; ++i) {
    double v;
    switch (i % 4) {
      case 0: v = std::ldexp(static_cast<double>(rng() >> 11), static_cast<int>(rng() % 80) - 60); break;
      case 1: v = static_cast<double>(static_cast<int64_t>(rng() % 2000001) - 1000000) / 1000.0; break;
      case 2: v = static_cast<double>(static_cast<int64_t>(rng() % 200000001) - 100000000) / 1e7 + 5e-7; break;
      default: {
        uint64_t bits = rng();
        std::memcpy(&v, &bits, sizeof v);
        if (!std::isfinite(v) || std::fabs(v) > 1e30) v = 0.125;
      }
    }
    values.push_back(i % 2 ? -v : v);
  }
  std::vector<std::string> expected = PythonFormat(values);
  ASSERT_EQ(expected.size(), values.size()) << "python3 did not answer";
  for (size_t i = 0; i < values.size(); ++i) {
    ASSERT_EQ(FormatFixed(values[i]), expected[i]) << values[i];
    const std::string text = ShortestText(values[i]);
    ASSERT_EQ(StrToD(text), values[i]) << text;
  }
}

TEST(NumberText, MatchesPythonForRandomValues) { CheckAgainstPython(); }

TEST(NumberText, MatchesPythonUnderAGermanLocale) {
  // The window layer sets the process locale; number text must not follow.
  const char* old = setlocale(LC_ALL, nullptr);
  std::string saved = old ? old : "C";
  ASSERT_NE(setlocale(LC_ALL, "de_DE.UTF-8"), nullptr)
      << "the de_DE.UTF-8 locale is missing (./vttel.sh test generates it)";
  EXPECT_EQ(FormatFixed(2.5), "2.500000");
  EXPECT_EQ(StrToD("2.5"), 2.5);
  CheckAgainstPython();
  setlocale(LC_ALL, saved.c_str());
}

}  // namespace
}  // namespace platform
