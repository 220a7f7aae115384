// The voice caches (TagMemVocs) on real files: files kept byte for byte,
// the first copy of a path kept, and buffers that outlive an unload or a
// clear.
#include "telephony/voice/voc_cache.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <memory>
#include <string>

#include "frame/log.h"
#include "frame/log_writer.h"
#include "tests/test_support.h"

namespace telephony {
namespace {

using testing_support::ReadFile;
using testing_support::ScopedChdir;
using testing_support::TempDir;
using testing_support::WriteFile;

// Bytes of every value, zero and bytes >= 0x80 included.
std::string VoiceBytes(size_t n) {
  std::string bytes(n, '\0');
  uint32_t x = 12345;
  for (size_t i = 0; i < n; ++i) {
    x = x * 1103515245u + 12345u;
    bytes[i] = static_cast<char>(x >> 24);
  }
  return bytes;
}

TEST(VocCacheGlobalTest, OneProcessWideInstance) {
  EXPECT_EQ(&GlobalVocCache(), &GlobalVocCache());
}

class VocCacheTest : public ::testing::Test {
 protected:
  TempDir dir_;
  TagMemVocs vocs_;
};

TEST_F(VocCacheTest, LoadsTheWholeFileByteForByte) {
  // Around the chunk size, and a last chunk shorter than the others.
  const size_t sizes[] = {1, kVocReadChunk - 1, kVocReadChunk, kVocReadChunk + 1, 5000};
  for (size_t n : sizes) {
    SCOPED_TRACE(n);
    std::string bytes = VoiceBytes(n);
    std::string path = dir_.Write("v" + std::to_string(n) + ".wav", bytes);
    EXPECT_EQ(vocs_.LoadVocFile(path, 0), static_cast<int32_t>(n));
    auto file = vocs_.Find(path);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->size, static_cast<int32_t>(n));
    EXPECT_EQ(file->data, bytes);
    EXPECT_EQ(file->flag, 0);
  }
  EXPECT_EQ(vocs_.Count(), std::size(sizes));
  EXPECT_EQ(GlobalVocCache().Find(dir_.Write("v1.wav", "x")), nullptr);  // caches are separate
}

TEST_F(VocCacheTest, SecondLoadOfAPathKeepsTheFirstCopy) {
  std::string path = dir_.Write("hello.wav", VoiceBytes(5000));
  ASSERT_EQ(vocs_.LoadVocFile(path), 5000);
  auto first = vocs_.Find(path);
  WriteFile(path, "changed");
  EXPECT_EQ(vocs_.LoadVocFile(path), kVocNotLoaded);
  EXPECT_EQ(vocs_.Find(path), first);
  EXPECT_EQ(first->data, VoiceBytes(5000));
}

TEST_F(VocCacheTest, UnloadAndClearFreeFilesButNotTheirHolders) {
  std::string a = dir_.Write("a.wav", "aaaa");
  std::string b = dir_.Write("b.wav", "bbbbbb");
  std::string c = dir_.Write("c.wav", "cc");
  for (const std::string& p : {a, b, c}) ASSERT_GT(vocs_.LoadVocFile(p), 0);
  auto playing_a = vocs_.Find(a);
  auto playing_b = vocs_.Find(b);

  EXPECT_TRUE(vocs_.UnloadVocFile(a));
  EXPECT_EQ(vocs_.Find(a), nullptr);
  EXPECT_FALSE(vocs_.UnloadVocFile(a));
  EXPECT_EQ(vocs_.Count(), 2u);
  EXPECT_EQ(playing_a->data, "aaaa");

  EXPECT_TRUE(vocs_.UnloadVocFile(kUnloadAllPath));
  EXPECT_EQ(vocs_.Count(), 0u);
  EXPECT_EQ(playing_b->data, "bbbbbb");
  EXPECT_EQ(vocs_.LoadVocFile(a), 4);  // unloaded paths load again

  vocs_.Clear();
  EXPECT_EQ(vocs_.Find(a), nullptr);
  EXPECT_EQ(vocs_.Count(), 0u);
}

TEST_F(VocCacheTest, PathsThatCannotBeLoaded) {
  ASSERT_EQ(mkdir(dir_.File("folder.wav").c_str(), 0755), 0);
  dir_.Write("empty.wav", "");
  struct Case {
    std::string_view path;
    int32_t result;
  };
  const std::string missing = dir_.File("missing.wav");
  const std::string folder = dir_.File("folder.wav");
  const std::string empty = dir_.File("empty.wav");
  const Case cases[] = {
      {std::string_view(), kVocNoPath},
      {"", kVocNoPath},
      {missing, kVocNotLoaded},
      {folder, kVocNotLoaded},
      {empty, kVocNotLoaded},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(vocs_.LoadVocFile(c.path), c.result);
    EXPECT_EQ(vocs_.Find(c.path), nullptr);
  }
  EXPECT_EQ(vocs_.Count(), 0u);
}

TEST_F(VocCacheTest, FileThatCannotBeOpenedIsLogged) {
  ScopedChdir here(dir_.path());
  dir_.Write("empty.wav", "");
  frame::OpenProcessLog(std::make_unique<frame::TagWriteLog>("msg_log.txt", 0, true, true));
  EXPECT_EQ(vocs_.LoadVocFile("voc\\nosuch.wav"), kVocNotLoaded);
  EXPECT_EQ(vocs_.LoadVocFile("empty.wav"), kVocNotLoaded);  // opened: no error line
  frame::CloseProcessLog();
  std::string log = ReadFile("msg_log.txt").value_or("");
  EXPECT_NE(log.find("[ LoadVocFile() error : voc\\nosuch.wav]"), std::string::npos) << log;
  EXPECT_EQ(log.find("LoadVocFile() error : empty.wav"), std::string::npos) << log;
}

}  // namespace
}  // namespace telephony
