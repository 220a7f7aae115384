// Whole-file reads, replacing, removing and the times of files by path.
#include "platform/file_ops.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <optional>
#include <string>

#include "tests/test_support.h"

namespace platform {
namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

// Longer than any open or read of a local file takes.
constexpr std::chrono::seconds kReadBound{5};

struct ReadCase {
  const char* name;  // under the folder; "" for the folder itself
  EmptyFile empty;
  bool opened;
  std::optional<std::string> bytes;
};

TEST(ReadScriptFile, WhatEachKindOfPathGives) {
  TempDir dir;
  WriteFile(dir.File("text"), "abc");
  WriteFile(dir.File("empty"), "");
  ASSERT_EQ(mkdir(dir.File("folder").c_str(), 0755), 0);
  const ReadCase cases[] = {
      {"text", EmptyFile::kFails, true, "abc"},
      {"missing", EmptyFile::kFails, false, std::nullopt},
      {"empty", EmptyFile::kFails, true, std::nullopt},
      {"empty", EmptyFile::kGivesEmpty, true, ""},
      {"folder", EmptyFile::kGivesEmpty, true, std::nullopt},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    const FileBytes read = ReadScriptFile(dir.File(c.name), 100, 0, c.empty);
    EXPECT_EQ(read.opened, c.opened);
    EXPECT_EQ(read.bytes, c.bytes);
  }
  EXPECT_FALSE(ReadScriptFile(dir.File("text"), 2).bytes.has_value());  // above the limit
}

// A fifo at a script's path is refused at once instead of waiting for a
// writer that never comes.
TEST(ReadScriptFile, FifoIsRefusedWithoutWaiting) {
  TempDir dir;
  const std::string fifo = dir.File("pipe.vts");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  auto read = std::async(std::launch::async, [&] { return ReadScriptFile(fifo, 100); });
  if (read.wait_for(kReadBound) != std::future_status::ready) {
    // Lets the stuck open return so the test can end.
    const int writer = open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
    if (writer >= 0) close(writer);
    FAIL() << "the read waited for a writer";
  }
  EXPECT_FALSE(read.get().bytes.has_value());
}

TEST(FileOps, ReplaceRemoveAndTimes) {
  TempDir dir;
  const std::string path = dir.File("cfg");
  ASSERT_TRUE(ReplaceHostFile(path, "one"));
  ASSERT_TRUE(ReplaceHostFile(path, "two"));
  EXPECT_EQ(ReadFile(path), "two");
  EXPECT_FALSE(ScriptFileExists(path + ".tmp"));  // the temporary is gone
  EXPECT_TRUE(ScriptFileExists(path));
  EXPECT_EQ(HostFileSize(path), 3u);
  EXPECT_GT(ScriptFileModified(path).value_or(0), 0);
  // A folder that does not exist: nothing written, nothing left behind.
  EXPECT_FALSE(ReplaceHostFile(dir.File("no/cfg"), "x"));

  EXPECT_TRUE(RemoveScriptFile(path));
  EXPECT_FALSE(RemoveScriptFile(path));
  EXPECT_FALSE(ScriptFileExists(path));
  EXPECT_EQ(ScriptFileModified(path), std::nullopt);
  EXPECT_EQ(HostFileSize(path), std::nullopt);
  EXPECT_FALSE(RemoveScriptFile("Q:\\unmapped"));
}

}  // namespace
}  // namespace platform
