// The text-mode line-end rule, both ways, and a round trip through a real
// stream: LF written as CR LF, CR LF read as LF, everything else unchanged.
#include "platform/text_mode.h"

#include <string>

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(TextMode, WritingTurnsEachLfIntoCrLf) {
  struct Case {
    std::string text;
    std::string written;
  };
  const Case cases[] = {
      {"", ""},
      {"abc", "abc"},
      {"a\nb", "a\r\nb"},
      {"\n\n", "\r\n\r\n"},
      {"a\r\nb", "a\r\r\nb"},  // a CR already there stays
      {std::string("\0\n\xb1\n", 4), std::string("\0\r\n\xb1\r\n", 6)},
  };
  for (const Case& c : cases) {
    std::string out = "keep:";
    AppendTextMode(c.text, &out);
    EXPECT_EQ(out, "keep:" + c.written);
    FILE* f = tmpfile();
    ASSERT_NE(f, nullptr);
    WriteTextMode(f, c.text);
    std::rewind(f);
    std::string back(64, '\0');
    back.resize(std::fread(back.data(), 1, back.size(), f));
    std::fclose(f);
    EXPECT_EQ(back, c.written);
  }
}

TEST(TextMode, ReadingTurnsCrLfIntoLfAndWaitsForTheByteAfterACr) {
  struct Case {
    std::string raw;
    bool more_follows;
    std::string read;
    size_t consumed;
  };
  const Case cases[] = {
      {"a\r\nb", false, "a\nb", 4},
      {"a\rb", false, "a\rb", 3},
      {"\r\r\n", false, "\r\n", 3},
      {"ab\r", false, "ab\r", 3},  // a CR that ends the file stays
      {"ab\r", true, "ab", 2},     // the next piece decides this CR
      {"\r", true, "", 0},
      {"a\n", true, "a\n", 2},
      {"", false, "", 0},
  };
  for (const Case& c : cases) {
    std::string out;
    EXPECT_EQ(ReadTextMode(c.raw, c.more_follows, &out), c.consumed);
    EXPECT_EQ(out, c.read);
  }
}

TEST(TextMode, WhatIsWrittenReadsBack) {
  for (const std::string text : {"line1\nline2\r\n\rx\n", "\r", "\n\r\n"}) {
    std::string written, read;
    AppendTextMode(text, &written);
    EXPECT_EQ(ReadTextMode(written, false, &read), written.size());
    EXPECT_EQ(read, text);
  }
}

}  // namespace
}  // namespace platform
