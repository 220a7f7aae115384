// The script cache (TagMemVts) on real files: what is read from disk and
// when, the scrambled form, and buffers that outlive a clear.
#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "engine/script_cache.h"
#include "tests/test_support.h"

namespace engine {
namespace {

using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::WriteFile;

const std::string kScriptText = "Main:\r\n  Play(\"欢迎光临\")\r\n  Exit(0)\r\n";

// Sets a file's last-write time to a local date and time.
time_t SetLocalMtime(const std::string& path, int year, int month, int day, int hour,
                     int minute, int second) {
  struct tm t = {};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_isdst = -1;
  time_t when = mktime(&t);
  struct timespec times[2] = {{when, 0}, {when, 0}};
  EXPECT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
  return when;
}

void SetMtime(const std::string& path, time_t when) {
  struct timespec times[2] = {{when, 0}, {when, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

class ScriptCacheTest : public ::testing::Test {
 protected:
  TempDir dir_;
  TagMemVts cache_;
};

TEST_F(ScriptCacheTest, DeletedFileIsServedFromTheCacheWithoutTimeCheck) {
  std::string path = dir_.Write("main.vts", kScriptText);
  auto first = cache_.Get(path, false, false);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->data, kScriptText);
  EXPECT_EQ(first->size, static_cast<int32_t>(kScriptText.size()));
  EXPECT_EQ(first->timeStamp, kUncheckedStamp);
  EXPECT_EQ(first->data.c_str()[first->data.size()], '\0');
  ASSERT_EQ(std::remove(path.c_str()), 0);

  EXPECT_EQ(cache_.Get(path, false, false), first);  // the same node, no disk access
  EXPECT_EQ(cache_.DiskReads(), 1u);
  // A child script checks the file, and a file that is gone is no script.
  EXPECT_EQ(cache_.Get(path, false, true), nullptr);
}

TEST_F(ScriptCacheTest, NodeHandedOutSurvivesClearAndTheNextPassReadsAnew) {
  std::string path = dir_.Write("main.vts", "old text");
  auto old_node = cache_.Get(path, false, false);
  ASSERT_NE(old_node, nullptr);
  WriteFile(path, "new text");
  EXPECT_EQ(cache_.Get(path, false, false)->data, "old text");  // until the reload

  cache_.Clear();
  EXPECT_EQ(cache_.Count(), 0u);
  EXPECT_EQ(old_node->data, "old text");  // still whole with its holder
  auto new_node = cache_.Get(path, false, false);
  ASSERT_NE(new_node, nullptr);
  EXPECT_EQ(new_node->data, "new text");
  EXPECT_EQ(cache_.DiskReads(), 2u);
}

TEST_F(ScriptCacheTest, ChildScriptIsReadAgainWhenTheFileChanges) {
  std::string path = dir_.Write("child.vts", "version 1");
  time_t t0 = SetLocalMtime(path, 2014, 3, 5, 8, 15, 40);
  auto v1 = cache_.Get(path, false, true);
  ASSERT_NE(v1, nullptr);
  EXPECT_EQ(v1->timeStamp, FileTimeStamp(path));
  EXPECT_EQ(cache_.Get(path, false, true), v1);  // unchanged: no disk access
  EXPECT_EQ(cache_.DiskReads(), 1u);

  WriteFile(path, "version 2, longer");
  SetMtime(path, t0 + 2);  // the smallest step a DOS time shows
  // A main script is not checked: it keeps the cached text.
  EXPECT_EQ(cache_.Get(path, false, false), v1);
  EXPECT_EQ(cache_.DiskReads(), 1u);

  auto v2 = cache_.Get(path, false, true);
  ASSERT_NE(v2, nullptr);
  EXPECT_EQ(v2->data, "version 2, longer");
  EXPECT_EQ(v2->size, 17);
  EXPECT_EQ(cache_.Get(path, false, true), v2);
  EXPECT_EQ(cache_.DiskReads(), 2u);
  EXPECT_EQ(cache_.Count(), 1u);     // the old node left the cache...
  EXPECT_EQ(v1->data, "version 1");  // ...but not its holder
}

TEST_F(ScriptCacheTest, NodeReadWithoutTimeCheckIsReadAgainForAChild) {
  std::string path = dir_.Write("child.vts", "text");
  auto unchecked = cache_.Get(path, false, false);
  auto checked = cache_.Get(path, false, true);
  ASSERT_NE(checked, nullptr);
  EXPECT_NE(checked, unchecked);
  EXPECT_EQ(checked->timeStamp, FileTimeStamp(path));
  EXPECT_EQ(cache_.DiskReads(), 2u);
}

TEST_F(ScriptCacheTest, TimeStampIsDosDateAndTime) {
  std::string path = dir_.Write("a.vts", "x");
  SetLocalMtime(path, 2014, 3, 5, 8, 15, 43);
  uint32_t date = ((2014 - 1980) << 9) | (3 << 5) | 5;
  uint32_t time = (8 << 11) | (15 << 5) | (43 / 2);
  EXPECT_EQ(FileTimeStamp(path), (date << 16) | time);

  SetLocalMtime(path, 1975, 6, 1, 12, 0, 0);  // before DOS dates begin
  EXPECT_EQ(FileTimeStamp(path), ((0u << 9) | (1u << 5) | 1u) << 16);
  EXPECT_EQ(FileTimeStamp(dir_.File("missing.vts")), 0u);
  EXPECT_EQ(FileTimeStamp(""), 0u);
}

struct ScrambleCase {
  uint32_t value;
  std::string text;
};

TEST_F(ScriptCacheTest, ScrambledFileComesBackAsTextAndRawFormIsItsOwnEntry) {
  const ScrambleCase cases[] = {
      {0x12345678u, kScriptText},
      {0u, "key 0"},  // a key of 0 leaves the text bytes as they are
      {0xFFFFFFFFu, ""},  // the header alone: an empty text
  };
  ASSERT_NE(ScrambleKey(0x12345678u), 0);
  for (size_t i = 0; i < std::size(cases); ++i) {
    const ScrambleCase& c = cases[i];
    SCOPED_TRACE(i);
    std::string file = ScrambleScript(c.text, c.value);
    ASSERT_EQ(file.size(), c.text.size() + kScrambleHeaderBytes);
    std::string path = dir_.Write("s" + std::to_string(i) + ".vts", file);

    for (int pass = 0; pass < 2; ++pass) {  // the cached node keeps its flag
      auto text = cache_.Get(path, false, false);
      ASSERT_NE(text, nullptr);
      EXPECT_EQ(text->data, c.text);
      EXPECT_EQ(text->size, static_cast<int32_t>(file.size()));
      EXPECT_EQ(text->scrambled, 1);
      EXPECT_EQ(text->data.c_str()[text->data.size()], '\0');
    }
    auto raw = cache_.Get(path, true, false);
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(raw->data, file);
    EXPECT_EQ(raw->size, static_cast<int32_t>(file.size()));
    EXPECT_EQ(raw->scrambled, 0);
  }
  EXPECT_EQ(cache_.Count(), 2 * std::size(cases));
  EXPECT_EQ(cache_.DiskReads(), 2 * std::size(cases));
  // The scramble really hides the text.
  EXPECT_EQ(ScrambleScript(kScriptText, 0x12345678u).find("Play"), std::string::npos);
}

TEST_F(ScriptCacheTest, FileTooShortForTheScrambleHeaderIsRefused) {
  const std::string cases[] = {std::string("\x01", 1), std::string("\x01\x00", 2),
                               std::string("\x01\xFF\xFF", 3), std::string("\x01\x02\x03\x04", 4)};
  for (const std::string& bytes : cases) {
    SCOPED_TRACE(bytes.size());
    std::string path = dir_.Write("short" + std::to_string(bytes.size()) + ".vts", bytes);
    EXPECT_EQ(cache_.Get(path, false, false), nullptr);
    EXPECT_EQ(cache_.Get(path, false, true), nullptr);
    auto raw = cache_.Get(path, true, false);  // the raw bytes are readable as they are
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(raw->data, bytes);
  }
}

TEST_F(ScriptCacheTest, UnreadablePathsGiveNull) {
  ASSERT_EQ(mkdir(dir_.File("folder.vts").c_str(), 0755), 0);
  dir_.Write("empty.vts", "");
  const std::string cases[] = {
      "",
      dir_.File("missing.vts"),
      dir_.File("folder.vts"),
      dir_.File("empty.vts"),
      "Q:\\unmapped\\main.vts",
  };
  ScopedEnv drives("VTTEL_DRIVES", std::nullopt);
  for (const std::string& path : cases) {
    SCOPED_TRACE(path);
    for (bool keep_raw : {false, true}) {
      for (bool check_time : {false, true}) {
        EXPECT_EQ(cache_.Get(path, keep_raw, check_time), nullptr);
      }
    }
  }
  EXPECT_EQ(cache_.Count(), 0u);
}

TEST_F(ScriptCacheTest, WindowsPathsAreMappedAndKeyedByTheirText) {
  ASSERT_EQ(mkdir(dir_.File("Scripts").c_str(), 0755), 0);
  dir_.Write("Scripts/Main.vts", kScriptText);
  ScopedEnv drives("VTTEL_DRIVES", "D=" + dir_.path());
  auto a = cache_.Get("D:\\SCRIPTS\\main.VTS", false, true);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->data, kScriptText);
  EXPECT_NE(FileTimeStamp("d:\\scripts\\main.vts"), 0u);
  // Another spelling is another entry (the key is the text, byte for byte).
  auto b = cache_.Get("D:\\Scripts\\Main.vts", false, false);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  EXPECT_EQ(cache_.DiskReads(), 2u);
}

TEST(ScriptCacheGlobalTest, OneProcessWideInstance) {
  EXPECT_EQ(&ScriptCache(), &ScriptCache());
}

}  // namespace
}  // namespace engine
