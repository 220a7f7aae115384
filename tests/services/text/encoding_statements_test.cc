// The encoding statements against python3's codecs (gbk, utf-8, utf-7 by
// round trip, utf-16-le), base64 and urllib.parse, plus the edge cases:
// zero bytes in Base64 data, percent escapes at the end of a text, and
// positions outside a network string.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "services/text/encoding_statements.h"
#include "tests/services/statement_harness.h"

namespace {

using services_test::Call;
using services_test::HexOf;
using services_test::Python;

std::string FromHex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return out;
}

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

// GBK texts (the literals are GBK bytes in the binary).
const std::vector<std::string>& Texts() {
  static const std::vector<std::string> texts = {
      "AB", "中文", "a b+c/中", "Hello, 世界!", "~!@#$%^&*()_=[]{}|;:'\",.<>?`",
      "①Ω→", "tab\there", "x", "新年快乐 2014", "\x7F\x01",
  };
  return texts;
}

// Each text as python3 encodes it: utf-8, utf-16-le, the percent form and
// Base64 of the GBK bytes, all in hexadecimal, one line per text.
std::vector<std::vector<std::string>> PythonEncodings() {
  std::string hexes;
  for (const std::string& t : Texts()) hexes += HexOf(t) + " ";
  const std::string program =
      "import base64, urllib.parse, sys\n"
      "safe = ''.join(chr(c) for c in range(0x21, 0x7f) if c not in (0x25, 0x2b))\n"
      "for h in '" + hexes + "'.split():\n"
      "    b = bytes.fromhex(h); s = b.decode('gbk')\n"
      "    print(s.encode('utf-8').hex(), s.encode('utf-16-le').hex(),\n"
      "          urllib.parse.quote_from_bytes(b, safe=safe).encode().hex(),\n"
      "          base64.b64encode(b).hex())\n";
  std::vector<std::vector<std::string>> rows;
  std::istringstream out(Python(program));
  for (std::string line; std::getline(out, line);) rows.push_back(Words(line));
  return rows;
}

struct Encoded {
  int32_t result;
  std::string bytes;
};

Encoded Encode(const std::string& text, int32_t mode) {
  Call call("StrToUnicode(");
  call.Text(0, text).Int(1, mode).Text(2, "old");
  const int32_t r = call.Run();
  return {r, std::string(call.arg(2).Bytes())};
}

Encoded Decode(int32_t mode, const std::string& bytes) {
  Call call("UnicodeToStr(");
  call.Int(0, mode).Text(1, bytes).Text(2, "old");
  const int32_t r = call.Run();
  return {r, std::string(call.arg(2).Bytes())};
}

TEST(EncodingStatements, EncodesAndDecodesAsPython) {
  const auto rows = PythonEncodings();
  ASSERT_EQ(rows.size(), Texts().size());
  for (size_t i = 0; i < rows.size(); ++i) {
    const std::string& text = Texts()[i];
    ASSERT_EQ(rows[i].size(), 4u);
    const std::string utf8 = FromHex(rows[i][0]);
    const std::string utf16 = FromHex(rows[i][1]);
    const std::string percent = FromHex(rows[i][2]);
    const std::string base64 = FromHex(rows[i][3]);
    // UTF-8 counts its terminator; the other forms do not.
    Encoded e = Encode(text, 1);
    EXPECT_EQ(HexOf(e.bytes), rows[i][0]) << i;
    EXPECT_EQ(e.result, static_cast<int32_t>(utf8.size()) + 1) << i;
    for (int32_t mode : {0, 5, -1}) {
      e = Encode(text, mode);
      EXPECT_EQ(HexOf(e.bytes), rows[i][1]) << i << " mode " << mode;
      EXPECT_EQ(e.result, static_cast<int32_t>(utf16.size())) << i;
    }
    e = Encode(text, 3);
    EXPECT_EQ(e.bytes, percent) << i;
    EXPECT_EQ(e.result, static_cast<int32_t>(percent.size())) << i;
    e = Encode(text, 4);
    EXPECT_EQ(e.bytes, base64) << i;
    EXPECT_EQ(e.result, static_cast<int32_t>(base64.size())) << i;
    // And back to the same GBK bytes.
    for (const auto& [mode, form] : std::vector<std::pair<int32_t, std::string>>{
             {1, utf8}, {0, utf16}, {3, percent}, {4, base64}}) {
      const Encoded d = Decode(mode, form);
      EXPECT_EQ(HexOf(d.bytes), HexOf(text)) << i << " mode " << mode;
      EXPECT_EQ(d.result, static_cast<int32_t>(text.size())) << i << " mode " << mode;
    }
  }
}

// UTF-7 has more than one valid form: ours must decode in python to the
// same text, and python's must decode here to the same GBK bytes.
TEST(EncodingStatements, Utf7RoundTripsThroughPython) {
  std::string ours;
  for (const std::string& t : Texts()) {
    const Encoded e = Encode(t, 2);
    EXPECT_EQ(e.result, static_cast<int32_t>(e.bytes.size()) + 1) << t;
    ours += HexOf(e.bytes) + " " + HexOf(t) + " ";
  }
  const std::string program =
      "w = '" + ours + "'.split()\n"
      "for i in range(0, len(w), 2):\n"
      "    s = bytes.fromhex(w[i]).decode('utf-7')\n"
      "    print(s == bytes.fromhex(w[i + 1]).decode('gbk'), s.encode('utf-7').hex())\n";
  std::istringstream out(Python(program));
  size_t i = 0;
  for (std::string line; std::getline(out, line); ++i) {
    const auto words = Words(line);
    ASSERT_EQ(words.size(), 2u);
    EXPECT_EQ(words[0], "True") << Texts()[i];
    const Encoded d = Decode(2, FromHex(words[1]));
    EXPECT_EQ(HexOf(d.bytes), HexOf(Texts()[i]));
    EXPECT_EQ(d.result, static_cast<int32_t>(Texts()[i].size()));
  }
  EXPECT_EQ(i, Texts().size());
}

TEST(EncodingStatements, DocumentedCases) {
  EXPECT_EQ(Encode("abc", 4).bytes, "YWJj");
  EXPECT_EQ(Encode("abc", 4).result, 4);
  EXPECT_EQ(Encode("a", 4).bytes, "YQ==");
  EXPECT_EQ(Encode("a", 4).result, 4);
  EXPECT_EQ(Encode("a b+中/1", 3).bytes, "a%20b%2B%D6%D0/1");
  EXPECT_EQ(Encode("AB", 0).bytes, std::string("A\0B\0", 4));
  EXPECT_EQ(Encode("中文", 1).result, 7);
  EXPECT_EQ(Decode(4, "YQ==").bytes, "a");
  EXPECT_EQ(Decode(4, "YQ==").result, 1);
  EXPECT_EQ(Decode(4, "YWJjZ").result, -1);
  EXPECT_EQ(Decode(4, "YWJjZ").bytes, "old");
  EXPECT_EQ(Decode(4, "").result, 0);
  EXPECT_EQ(Decode(4, "").bytes, "old");
  // Characters outside the alphabet count as 0.
  EXPECT_EQ(HexOf(Decode(4, "!!!!").bytes), "000000");
  const Encoded d = Decode(1, FromHex("e4b8ade69687"));
  EXPECT_EQ(d.bytes, "中文");
  EXPECT_EQ(d.result, 4);
  // Not UTF-8 text whose first unit is zero: read as UTF-16LE.
  EXPECT_EQ(Decode(1, std::string("\0N", 2)).bytes, "一");
  EXPECT_EQ(Encode("", 1).result, 0);
  EXPECT_EQ(Encode("", 1).bytes, "old");
}

// Data that starts with a zero byte (a network integer) is still encoded.
TEST(EncodingStatements, Base64EncodesDataStartingWithZero) {
  Call net("IntToNetstr(");
  net.Int(0, 258).Int(1, 4);
  ASSERT_EQ(net.Run(), 0);
  Call enc("StrToUnicode(");
  enc.arg(0).Assign(net.arg(2));
  enc.Int(1, 4);
  EXPECT_EQ(enc.Run(), 8);
  EXPECT_EQ(enc.arg(2).Bytes(), "AAABAg==");
  EXPECT_EQ(Decode(4, "AAABAg==").bytes, std::string("\0\0\1\2", 4));
  EXPECT_EQ(Decode(4, "AAABAg==").result, 4);
  Call number("StrToUnicode(");
  number.Int(0, 5).Int(1, 4).Text(2, "old");
  EXPECT_EQ(number.Run(), 0);
  EXPECT_EQ(number.arg(2).Bytes(), "old");
  Call constant("StrToUnicode(");
  constant.Text(0, "abc").Int(1, 4);
  constant.arg(2).readOnly = 1;
  EXPECT_EQ(constant.Run(), -100);
}

// Percent decoding against urllib.parse.unquote_to_bytes, including a '%'
// in the last two bytes and escapes that are not hexadecimal.
TEST(EncodingStatements, PercentDecodingMatchesUrllib) {
  const std::vector<std::string> inputs = {
      "a%20b", "%", "ab%", "ab%4", "%4", "%zz%41", "%%41", "a+b", "%D6%D0%CE%C4", "%4g1",
      "100%", "%e4x",
  };
  std::string hexes;
  for (const std::string& s : inputs) hexes += HexOf(s) + " ";
  std::istringstream out(Python(
      "import urllib.parse\nfor h in '" + hexes +
      "'.split():\n    print(urllib.parse.unquote_to_bytes(bytes.fromhex(h).decode()).hex())\n"));
  size_t i = 0;
  for (std::string want; std::getline(out, want); ++i) {
    const Encoded d = Decode(3, inputs.at(i));
    EXPECT_EQ(HexOf(d.bytes), want) << inputs[i];
    EXPECT_EQ(d.result, static_cast<int32_t>(want.size() / 2)) << inputs[i];
  }
  EXPECT_EQ(i, inputs.size());
  // A zero byte ends the destination's text; the result counts every byte.
  const Encoded zero = Decode(3, "a%00b");
  EXPECT_EQ(zero.bytes, "a");
  EXPECT_EQ(zero.result, 3);
}

TEST(EncodingStatements, NetworkIntegers) {
  struct Case {
    int32_t value, size, result;
    const char* hex;
  } const to[] = {
      {258, 2, 0, "0102"}, {-2, 2, 0, "fffe"}, {0x12345678, 2, 0, "5678"},
      {0x12345678, 4, 0, "12345678"}, {-1, 4, 0, "ffffffff"}, {1, 3, -1, "6f6c64"},
  };
  for (const Case& c : to) {
    Call call("IntToNetstr(");
    call.Int(0, c.value).Int(1, c.size).Text(2, "old");
    EXPECT_EQ(call.Run(), c.result);
    EXPECT_EQ(HexOf(call.arg(2).Bytes()), c.hex) << c.value;
  }
  struct Back {
    const char* hex;
    int32_t position, size, result, value;
  } const from[] = {
      {"0102", 0, 2, 0, 258},     {"fffe", 0, 2, 0, -2},       {"ffff", 0, 2, 0, -1},
      {"00ff7f", 1, 2, 0, 0xFF7F - 0x10000}, {"12345678", 0, 4, 0, 0x12345678},
      {"ffffffff", 0, 4, 0, -1},  {"0102", 1, 2, 0, 0x0200},   {"0102", 2, 2, -3, 99},
      {"0102", -1, 2, -3, 99},    {"0102", INT32_MIN, 4, -3, 99}, {"0102", INT32_MAX, 4, -3, 99},
      {"0102", 0, 3, -2, 99},
  };
  for (const Back& c : from) {
    Call call("NetstrToInt(");
    call.Text(0, FromHex(c.hex)).Int(1, c.position).Int(2, c.size).Int(3, 99);
    EXPECT_EQ(call.Run(), c.result) << c.hex << " " << c.position;
    EXPECT_EQ(call.arg(3).intValue, c.value) << c.hex << " " << c.position;
  }
  Call not_string("NetstrToInt(");
  not_string.Int(0, 258).Int(1, 0).Int(2, 2);
  EXPECT_EQ(not_string.Run(), -1);
}

}  // namespace
