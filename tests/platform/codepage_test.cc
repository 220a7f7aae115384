#include "platform/codepage.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/test_support.h"

extern char** environ;

namespace platform {
namespace {

using testing_support::TempDir;
using testing_support::WriteFile;

// UTF-8 bytes of a u8 literal (narrow literals of this file are GBK).
std::string U8(std::u8string_view text) { return std::string(text.begin(), text.end()); }

// Hex of bytes or units, so that a failure shows what differs.
std::string Hex(std::string_view bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
    out += ' ';
  }
  return out;
}

std::string Hex(std::u16string_view units) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (char16_t u : units) {
    for (int shift = 12; shift >= 0; shift -= 4) out += kDigits[(u >> shift) & 15];
    out += ' ';
  }
  return out;
}

// The build compiles narrow literals to GBK bytes; everything else relies on it.
TEST(CodePageTest, ExecCharsetIsGbk) {
  EXPECT_EQ(Hex(std::string("运行")), Hex("\xD4\xCB\xD0\xD0"));
  EXPECT_EQ(Hex(std::string("昞")), Hex("\x95\x5C"));
}

struct RoundTrip {
  const char* name;
  CodePage cp;
  std::string bytes;
  std::u16string units;
};

const RoundTrip kRoundTrips[] = {
    {"GbkChinese", CodePage::kGbk, "\xD6\xD0\xCE\xC4", u"中文"},
    {"GbkMixed", CodePage::kGbk, "a\xD6\xD0" "b", u"a中b"},
    {"GbkEuroIs0x80", CodePage::kGbk, "\x80", u"\u20AC"},
    {"GbkTrailByte5C", CodePage::kGbk, "\x95\x5C\x81\x5C", u"昞乗"},
    {"GbkMiddleDot", CodePage::kGbk, "\xA1\xA4\xA1\xAA", u"\u00B7\u2014"},
    {"Big5Chinese", CodePage::kBig5, "\xA4\xA4\xA4\xE5", u"中文"},
    {"Big5Euro", CodePage::kBig5, "\xA3\xE1", u"\u20AC"},
    {"Utf8Chinese", CodePage::kUtf8, "\xE4\xB8\xAD\xE6\x96\x87", u"中文"},
    {"Utf8Supplementary", CodePage::kUtf8, "\xF0\x9F\x98\x80", u"\U0001F600"},
    {"Utf8KeepsBom", CodePage::kUtf8, "\xEF\xBB\xBF" "A", u"\uFEFFA"},
    {"Utf7Chinese", CodePage::kUtf7, "Hi +Ti0-", u"Hi 中"},
    {"Utf7Plus", CodePage::kUtf7, "1+-1", u"1+1"},
    {"Utf7RunBeforeDash", CodePage::kUtf7, "+Ti0--", u"中-"},
    {"Utf7Supplementary", CodePage::kUtf7, "+2D3eAA-", u"\U0001F600"},
    {"Utf16LeAscii", CodePage::kUtf16Le, std::string("A\0B\0", 4), u"AB"},
    {"Utf16LeChinese", CodePage::kUtf16Le, "\x2D\x4E\x87\x65", u"中文"},
    {"Utf16LePair", CodePage::kUtf16Le, std::string("\x3D\xD8\x00\xDE", 4), u"\U0001F600"},
};

TEST(CodePageTest, RoundTrips) {
  for (const RoundTrip& c : kRoundTrips) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Hex(ToUtf16(c.cp, c.bytes)), Hex(c.units));
    EXPECT_EQ(Hex(FromUtf16(c.cp, c.units)), Hex(c.bytes));
  }
}

TEST(CodePageTest, EdgeConversionsOfChinese) {
  const std::string gbk = "C:\\VOC\\\xD6\xD0\xCE\xC4.wav";
  const std::string utf8 = "C:\\VOC\\\xE4\xB8\xAD\xE6\x96\x87.wav";
  EXPECT_EQ(Hex(GbkToUtf8(gbk)), Hex(utf8));
  EXPECT_EQ(Hex(Utf8ToGbk(utf8)), Hex(gbk));
  EXPECT_EQ(Hex(Convert(CodePage::kGbk, CodePage::kUtf8, gbk)), Hex(utf8));
  EXPECT_EQ(Hex(Convert(CodePage::kBig5, CodePage::kGbk, "\xA4\xA4\xA4\xE5")),
            Hex("\xD6\xD0\xCE\xC4"));
  EXPECT_EQ(Hex(Convert(CodePage::kGbk, CodePage::kBig5, "\xD6\xD0\xCE\xC4")),
            Hex("\xA4\xA4\xA4\xE5"));
  EXPECT_EQ(Hex(Convert(CodePage::kGbk, CodePage::kUtf7, "Hi \xD6\xD0")), Hex("Hi +Ti0-"));
  EXPECT_EQ(Hex(Convert(CodePage::kUtf8, CodePage::kUtf16Le, "A\xE4\xB8\xAD")),
            Hex(std::string("A\x00\x2D\x4E", 4)));
}

struct BadInput {
  const char* name;
  CodePage cp;
  std::string bytes;
  std::u16string expected;
};

const BadInput kBadInputs[] = {
    // GBK: '?' per bad byte; a bad trail byte is decoded again on its own.
    {"GbkLoneLeadAtEnd", CodePage::kGbk, "A\xD6", u"A?"},
    {"GbkLeadThenSpace", CodePage::kGbk, "\xD6 \xCE\xC4", u"? 文"},
    {"GbkLeadThen7F", CodePage::kGbk, "\x81\x7F", u"?\x7F"},
    {"GbkLeadThenLeadPair", CodePage::kGbk, "\xD6\x20\xD6\xD0", u"? 中"},
    {"GbkByteFF", CodePage::kGbk, "\xFF\xD6\xD0", u"?中"},
    {"GbkUnmappedPair", CodePage::kGbk, "\xFE\xFE" "A", u"??A"},
    // Big5 the same way.
    {"Big5LoneLeadAtEnd", CodePage::kBig5, "\xA4", u"?"},
    {"Big5LeadThenSpace", CodePage::kBig5, "\xA4 A", u"? A"},
    {"Big5LeadThen7F", CodePage::kBig5, "\xA4\x7F", u"?\x7F"},
    {"Big5ByteFF", CodePage::kBig5, "\xFF\xA4\xA4", u"?中"},
    {"Big5UnmappedPair", CodePage::kBig5, "\x81\x40", u"??"},
    // UTF-8: U+FFFD per maximal bad subsequence.
    {"Utf8TruncatedAtEnd", CodePage::kUtf8, "\xE4\xB8", u"\uFFFD"},
    {"Utf8TruncatedThenAscii", CodePage::kUtf8, "\xE4\xB8" "A", u"\uFFFDA"},
    {"Utf8TruncatedFourByte", CodePage::kUtf8, "\xF0\x9F\x98", u"\uFFFD"},
    {"Utf8Overlong2", CodePage::kUtf8, "\xC0\xAF", u"\uFFFD\uFFFD"},
    {"Utf8Overlong3", CodePage::kUtf8, "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
    {"Utf8Surrogate", CodePage::kUtf8, "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
    {"Utf8Above10FFFF", CodePage::kUtf8, "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
    {"Utf8FiveByteForm", CodePage::kUtf8, "\xF8\x88\x80\x80\x80",
     u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
    {"Utf8LoneContinuation", CodePage::kUtf8, "A\x80" "B", u"A\uFFFDB"},
    {"Utf8ByteFF", CodePage::kUtf8, "\xFF", u"\uFFFD"},
    {"Utf8MixedSubparts", CodePage::kUtf8, "a\xF1\x80\x80\xE1\x80\xC2" "b\x80" "c\x80\xBF" "d",
     u"a\uFFFD\uFFFD\uFFFDb\uFFFDc\uFFFD\uFFFDd"},
    // UTF-7: U+FFFD per bad byte; a bad byte also ends a base64 run.
    {"Utf7LonePlusAtEnd", CodePage::kUtf7, "a+", u"a\uFFFD"},
    {"Utf7HighByte", CodePage::kUtf7, "a\x80" "b", u"a\uFFFDb"},
    {"Utf7Tilde", CodePage::kUtf7, "a~b", u"a\uFFFDb"},
    {"Utf7HighByteInRun", CodePage::kUtf7, "+Ti0\x80" "AB", u"中\uFFFDAB"},
    {"Utf7LeftoverBits", CodePage::kUtf7, "+AGF-b", u"a\uFFFDb"},
    {"Utf7CutOffUnit", CodePage::kUtf7, "x+Ti", u"x\uFFFD\uFFFD"},
    {"Utf7CutOffAfterUnit", CodePage::kUtf7, "+Ti0x", u"中\uFFFD"},
    {"Utf7CutOffHighSurrogate", CodePage::kUtf7, "+2D0", u"\uFFFD"},
    // UTF-16LE: an odd last byte is dropped.
    {"Utf16LeOddByte", CodePage::kUtf16Le, std::string("A\0B", 3), u"A"},
};

TEST(CodePageTest, BadInputIsReplaced) {
  for (const BadInput& c : kBadInputs) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Hex(ToUtf16(c.cp, c.bytes)), Hex(c.expected));
  }
}

struct BadUnits {
  const char* name;
  CodePage cp;
  std::u16string units;
  std::string expected;
};

const BadUnits kBadUnits[] = {
    {"GbkLoneHigh", CodePage::kGbk, u"a\xD800" u"b", "a?b"},
    {"GbkLoneLowAtEnd", CodePage::kGbk, u"a\xDC00", "a?"},
    {"GbkSupplementary", CodePage::kGbk, u"\U0001F600A", "??A"},
    {"GbkThai", CodePage::kGbk, u"\u0E01\u4E2D", "?\xD6\xD0"},
    {"Big5Simplified", CodePage::kBig5, u"\u4EEC", "?"},
    {"Big5LoneHigh", CodePage::kBig5, u"\xD800", "?"},
    {"Utf8LoneHigh", CodePage::kUtf8, u"\xD800" u"A", "\xEF\xBF\xBD" "A"},
    {"Utf8ReversedPair", CodePage::kUtf8, u"\xDC00\xD800", "\xEF\xBF\xBD\xEF\xBF\xBD"},
    {"Utf7LoneHigh", CodePage::kUtf7, u"\xD800", "+//0-"},
    {"Utf7LoneLowInsideRun", CodePage::kUtf7, u"中\xDC00文", "+Ti3//WWH-"},
    {"Utf16LeKeepsLoneSurrogate", CodePage::kUtf16Le, u"\xD800", std::string("\x00\xD8", 2)},
};

TEST(CodePageTest, UnitsTheTargetCannotHoldAreReplaced) {
  for (const BadUnits& c : kBadUnits) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Hex(FromUtf16(c.cp, c.units)), Hex(c.expected));
  }
  EXPECT_EQ(Hex(Utf8ToGbk("\xE4\xB8" "A\xF0\x9F\x98\x80" "B\xE0\xB8\x81")), Hex("?A??B?"));
}

TEST(CodePageTest, EmptyAndUnknownCodePages) {
  for (CodePage cp : {CodePage::kGbk, CodePage::kBig5, CodePage::kUtf16Le, CodePage::kUtf7,
                      CodePage::kUtf8}) {
    EXPECT_TRUE(ToUtf16(cp, "").empty());
    EXPECT_TRUE(FromUtf16(cp, u"").empty());
    EXPECT_TRUE(Convert(cp, CodePage::kGbk, "").empty());
  }
  EXPECT_TRUE(GbkToUtf8("").empty());
  EXPECT_TRUE(Utf8ToGbk("").empty());
  const auto unknown = static_cast<CodePage>(437);
  EXPECT_EQ(Hex(ToUtf16(unknown, "A\xB0")), Hex(u"A?"));
  EXPECT_EQ(FromUtf16(unknown, u"A中"), "A?");
}

// Output much longer than the input makes iconv run out of room repeatedly.
TEST(CodePageTest, LongOutputGrows) {
  std::string euros;
  for (int i = 0; i < 5000; ++i) euros += "\xE2\x82\xAC";
  EXPECT_EQ(GbkToUtf8(std::string(5000, '\x80')), euros);
  EXPECT_EQ(Utf8ToGbk(euros), std::string(5000, '\x80'));
  std::u16string units;
  for (int i = 0; i < 3000; ++i) units += u"中-";
  const std::string utf7 = FromUtf16(CodePage::kUtf7, units);
  EXPECT_EQ(Hex(ToUtf16(CodePage::kUtf7, utf7)), Hex(units));
}

// Random text: the direct edge conversions agree with the way through UTF-16,
// decoding GBK keeps the byte length, and what UTF-8 and UTF-7 encode decodes
// back to the units (unpaired surrogates as U+FFFD).
TEST(CodePageTest, RandomTextIsConsistent) {
  std::mt19937 rng(936);
  const unsigned char kGbkish[] = {'a', 'Z', '\\', ' ', 0x40, 0x7F, 0x80, 0x81, 0x95, 0xA1,
                                   0xA2, 0xB0, 0xD6, 0xE3, 0xFE, 0xFF, 0x5C, 0xA4};
  const unsigned char kUtf8ish[] = {'a', '+', '-', 0x80, 0x9F, 0xA0, 0xBF, 0xC0, 0xC2, 0xDF,
                                    0xE0, 0xE4, 0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xFF, 0xB8, 0xAD};
  const char16_t kUnits[] = {u'a', u'+', u'-', u'~', 0x80, 0x4E2D, 0x20AC, 0xD800, 0xDBFF,
                             0xDC00, 0xDFFF, 0xFFFD, 0xFEFF, 0x0E01};
  auto pick_bytes = [&](const unsigned char* set, size_t n) {
    std::string s(rng() % 24, '\0');
    for (char& c : s) c = static_cast<char>(set[rng() % n]);
    return s;
  };
  for (int round = 0; round < 3000; ++round) {
    const std::string gbk = pick_bytes(kGbkish, sizeof(kGbkish));
    const std::string utf8 = GbkToUtf8(gbk);
    ASSERT_EQ(utf8, FromUtf16(CodePage::kUtf8, ToUtf16(CodePage::kGbk, gbk))) << Hex(gbk);
    ASSERT_EQ(Utf8ToGbk(utf8).size(), gbk.size()) << Hex(gbk);

    const std::string mixed = pick_bytes(kUtf8ish, sizeof(kUtf8ish));
    ASSERT_EQ(Utf8ToGbk(mixed), FromUtf16(CodePage::kGbk, ToUtf16(CodePage::kUtf8, mixed)))
        << Hex(mixed);
    for (CodePage cp : {CodePage::kGbk, CodePage::kBig5, CodePage::kUtf7, CodePage::kUtf16Le}) {
      ToUtf16(cp, mixed);
      ToUtf16(cp, gbk);
    }

    std::u16string units(rng() % 16, u'\0');
    for (char16_t& u : units) u = kUnits[rng() % (sizeof(kUnits) / sizeof(kUnits[0]))];
    std::u16string sane = units;
    for (size_t i = 0; i < sane.size(); ++i) {
      const bool high = sane[i] >= 0xD800 && sane[i] <= 0xDBFF;
      const bool low_next = i + 1 < sane.size() && sane[i + 1] >= 0xDC00 && sane[i + 1] <= 0xDFFF;
      if (high && low_next) {
        ++i;
      } else if (sane[i] >= 0xD800 && sane[i] <= 0xDFFF) {
        sane[i] = 0xFFFD;
      }
    }
    for (CodePage cp : {CodePage::kUtf8, CodePage::kUtf7}) {
      ASSERT_EQ(Hex(ToUtf16(cp, FromUtf16(cp, units))), Hex(sane)) << static_cast<int>(cp);
    }
    ASSERT_EQ(ToUtf16(CodePage::kUtf16Le, FromUtf16(CodePage::kUtf16Le, units)), units);
    ASSERT_EQ(FromUtf16(CodePage::kGbk, units).size(), FromUtf16(CodePage::kGbk, sane).size());
  }
}

// --- Cross-check with the iconv program ----------------------------------------

std::optional<std::string> FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  size_t pos = 0;
  while (pos <= dirs.size()) {
    size_t end = dirs.find(':', pos);
    if (end == std::string::npos) end = dirs.size();
    std::string candidate = dirs.substr(pos, end - pos) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    pos = end + 1;
  }
  return std::nullopt;
}

// Runs iconv(1) -f from -t to over input; nullopt when it fails.
std::optional<std::string> RunIconvProgram(const std::string& program, const TempDir& tmp,
                                           const char* from, const char* to,
                                           const std::string& input) {
  const std::string in_file = tmp.File("in.txt");
  WriteFile(in_file, input);
  int fds[2];
  if (pipe(fds) != 0) return std::nullopt;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  posix_spawn_file_actions_addclose(&actions, fds[1]);
  std::vector<std::string> args = {program, "-f", from, "-t", to, in_file};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  std::string out;
  char buffer[4096];
  ssize_t n;
  while ((n = read(fds[0], buffer, sizeof(buffer))) > 0) {
    out.append(buffer, static_cast<size_t>(n));
  }
  close(fds[0]);
  if (spawned != 0) return std::nullopt;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return std::nullopt;
  }
  return out;
}

TEST(CodePageTest, AgreesWithIconvProgram) {
  const std::optional<std::string> program = FindProgram("iconv");
  if (!program) GTEST_SKIP() << "iconv(1) is not installed";
  TempDir tmp;
  std::string simplified;
  std::string traditional;
  for (int i = 0; i < 40; ++i) {
    simplified += U8(
        u8"vttel 语音平台 — 欢迎致电！请按 1 键查询话费，按 2 键转人工。€100；"
        u8"“引号”、《书名》·【括号】 ＡＢＣ１２３ 〇 ㈠\r\n"
        u8"第二行: C:\\VOC\\中文.wav 昞乗盶 丄乤 ~+-\t\n");
    traditional += U8(u8"歡迎致電，請按一鍵。中文語音 € ABC 123\r\n");
  }
  struct Case {
    const char* iconv_name;
    CodePage cp;
    const std::string* text;
  };
  const Case cases[] = {
      {"GBK", CodePage::kGbk, &simplified},
      {"CP936", CodePage::kGbk, &simplified},
      {"BIG5", CodePage::kBig5, &traditional},
      {"UTF-7", CodePage::kUtf7, &simplified},
      {"UTF-16LE", CodePage::kUtf16Le, &simplified},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.iconv_name);
    const std::optional<std::string> encoded =
        RunIconvProgram(*program, tmp, "UTF-8", c.iconv_name, *c.text);
    ASSERT_TRUE(encoded.has_value());
    EXPECT_EQ(Convert(CodePage::kUtf8, c.cp, *c.text), *encoded);
    EXPECT_EQ(Convert(c.cp, CodePage::kUtf8, *encoded), *c.text);
    const std::optional<std::string> decoded =
        RunIconvProgram(*program, tmp, c.iconv_name, "UTF-8", *encoded);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(*decoded, *c.text);
  }
  EXPECT_EQ(Utf8ToGbk(simplified), *RunIconvProgram(*program, tmp, "UTF-8", "GBK", simplified));
}

}  // namespace
}  // namespace platform
