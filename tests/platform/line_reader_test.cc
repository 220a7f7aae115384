#include "platform/line_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/test_support.h"

namespace platform {
namespace {

std::vector<std::string> ReadAll(const std::string& bytes, size_t max) {
  testing_support::TempDir dir;
  testing_support::WriteFile(dir.File("t.txt"), bytes);
  LineReader reader = LineReader::Open(dir.File("t.txt"));
  EXPECT_TRUE(reader.is_open());
  std::vector<std::string> lines;
  std::string line;
  while (reader.ReadLine(&line, max)) lines.push_back(line);
  return lines;
}

TEST(LineReader, LineEnds) {
  struct {
    std::string bytes;
    std::vector<std::string> lines;
  } cases[] = {
      {"a\nb\n", {"a", "b"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\r\nb", {"a", "b"}},
      {"a\rb\n", {"a\rb"}},  // a lone CR inside a line stays
      {"a\r", {"a"}},        // a CR that ends the file goes
      {"\n\n", {"", ""}},
      {"", {}},
      {std::string("a\0b\n", 4), {std::string("a\0b", 3)}},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadAll(c.bytes, 511), c.lines);
}

TEST(LineReader, LongLinesComeInPieces) {
  EXPECT_EQ(ReadAll("abcdefg\nhi\n", 3), (std::vector<std::string>{"abc", "def", "g", "hi"}));
  // A piece that fills the limit leaves the line end for the next read.
  EXPECT_EQ(ReadAll("abc\ndef\r\n", 3), (std::vector<std::string>{"abc", "", "def", ""}));
}

TEST(LineReader, MissingFile) {
  LineReader reader = LineReader::Open("/nonexistent/dir/x.cfg");
  EXPECT_FALSE(reader.is_open());
  std::string line;
  EXPECT_FALSE(reader.ReadLine(&line, 10));
}

}  // namespace
}  // namespace platform
