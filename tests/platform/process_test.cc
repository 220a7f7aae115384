#include "platform/process.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "tests/test_support.h"

namespace {

struct SplitCase {
  const char* line;
  std::vector<std::string> words;
};

TEST(Process, SplitsCommandLinesByTheSystemsRules) {
  const SplitCase cases[] = {
      {"", {}},
      {"   \t ", {}},
      {"prog", {"prog"}},
      {"  prog  a\tb  ", {"prog", "a", "b"}},
      // The program word: quotes removed, backslashes kept as they are.
      {"\"C:\\Program Files\\x.exe\" a", {"C:\\Program Files\\x.exe", "a"}},
      {"C:\\dir\\\"q\" a", {"C:\\dir\\q", "a"}},
      // Quoted arguments keep their blanks; quotes join with the word.
      {"p \"a b\" c", {"p", "a b", "c"}},
      {"p a\"b c\"d", {"p", "ab cd"}},
      {"p \"\"", {"p", ""}},
      // Backslashes before a quote: 2n give n and a quote mark, 2n+1 give
      // n and a literal quote; before anything else they stay.
      {"p a\\\"b", {"p", "a\"b"}},
      {"p a\\\\\"b c\"", {"p", "a\\b c"}},
      {"p a\\\\\\\"b", {"p", "a\\\"b"}},
      {"p a\\\\b \\\\", {"p", "a\\\\b", "\\\\"}},
      {"p \"a\\\\\"", {"p", "a\\"}},
      // Two quotes inside a quoted part give one.
      {"p \"a\"\"b\" c", {"p", "a\"b", "c"}},
      // An unclosed quote runs to the end.
      {"p \"a b", {"p", "a b"}},
  };
  for (const SplitCase& c : cases) {
    EXPECT_EQ(platform::SplitCommandLine(c.line), c.words) << c.line;
  }
}

TEST(Process, FindsProgramsAlongThePathAndWithoutTheExeEnding) {
  const std::optional<std::string> along_path = platform::FindProgram("sh");
  ASSERT_TRUE(along_path.has_value());
  EXPECT_TRUE(platform::FindProgram("sh.exe").has_value());
  EXPECT_TRUE(platform::FindProgram("SH.EXE") == std::nullopt) << "names keep their case";
  EXPECT_EQ(platform::FindProgram("no-such-program-here"), std::nullopt);
  EXPECT_EQ(platform::FindProgram(""), std::nullopt);
  // A name with a folder is taken at that path; the working folder comes
  // before PATH for a bare name.
  testing_support::TempDir dir;
  testing_support::ScopedChdir in(dir.path());
  testing_support::WriteFile("sh", "#!/bin/sh\n");
  EXPECT_EQ(platform::FindProgram("sh"), along_path)
      << "a file that is not executable is passed over";
  chmod("sh", 0755);
  EXPECT_EQ(platform::FindProgram("sh"), std::optional<std::string>("./sh"));
  EXPECT_EQ(platform::FindProgram(".\\sh.exe"), std::optional<std::string>("./sh"));
  EXPECT_EQ(platform::FindProgram("/usr/bin/sh.exe"), std::optional<std::string>("/usr/bin/sh"));
}

}  // namespace
