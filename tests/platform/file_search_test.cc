// Wildcard matching of names and finding files by a script pattern: '*',
// '?', case, "*.*", GBK characters (one '?' each, a trail byte 0x5C never a
// separator), skipped entries and the case-insensitive order.
#include "platform/file_search.h"

#include <sys/stat.h>

#include <string>

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace platform {
namespace {

using testing_support::ScopedChdir;
using testing_support::TempDir;
using testing_support::WriteFile;

std::string U8(std::u8string_view text) { return std::string(text.begin(), text.end()); }

TEST(FileSearch, WildcardsMatchWithoutRegardToCase) {
  struct Case {
    const char* pattern;
    const char* name;
    bool match;
  };
  const Case cases[] = {
      {"*.*", "a.txt", true},        {"*.*", "noext", true},       {"*", "x.y.z", true},
      {"*.txt", "A.TXT", true},      {"*.txt", "a.txt.bak", false}, {"?.txt", "ab.txt", false},
      {"??.txt", "ab.txt", true},    {"a*b*c", "aXbYc", true},     {"a*b*c", "aXbYcZ", false},
      {"A?C", "abc", true},          {"abc", "abd", false},        {"x.*", "x", true},
      {"x.*", "xy", false},          {"?.txt", "乗.txt", true},    {"??.txt", "乗.txt", false},
      {"乗*", "乗name", true},       {"", "", true},
      {"*.t?t", "a.TXT", true},      {"\x81*", "\x81\x5c", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MatchesWildcard(c.pattern, c.name), c.match) << c.pattern << " / " << c.name;
  }
}

TEST(FileSearch, FilesComeInCaseInsensitiveOrderWithoutFoldersOrHiddenNames) {
  TempDir dir;
  ScopedChdir cd(dir.path());
  ASSERT_EQ(::mkdir("d", 0755), 0);
  for (const std::string& name :
       {std::string("d/b.txt"), std::string("d/A.txt"), std::string("d/C.txt"),
        std::string("d/.hidden.txt"), U8(u8"d/乗.txt")}) {
    WriteFile(name, "12");
  }
  ASSERT_EQ(::mkdir("d/folder.txt", 0755), 0);
  const std::vector<FoundFile> found = FindScriptFiles("D\\*.TXT");
  std::string names;
  for (const FoundFile& f : found) {
    names += f.name + " ";
    EXPECT_EQ(f.size, 2);
    EXPECT_GT(f.modified, 0);
  }
  EXPECT_EQ(names, "A.txt b.txt C.txt 乗.txt ");
  EXPECT_TRUE(FindScriptFiles("d\\").empty());
  EXPECT_TRUE(FindScriptFiles("missing\\*").empty());
}

}  // namespace
}  // namespace platform
