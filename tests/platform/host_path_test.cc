#include "platform/host_path.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace platform {
namespace {

using testing_support::FileExists;
using testing_support::ReadFile;
using testing_support::ScopedChdir;
using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::WriteFile;

// UTF-8 bytes of a u8 literal: names on disk. Narrow literals of this file
// are GBK: script paths.
std::string U8(std::u8string_view text) { return std::string(text.begin(), text.end()); }

std::string Show(const std::optional<std::string>& path) {
  return path ? "\"" + *path + "\"" : "nullopt";
}

// A temporary folder that is also the working directory, with VTTEL_DRIVES
// unset.
class HostPathTest : public ::testing::Test {
 protected:
  HostPathTest() : cwd_(tmp_.path()), drives_("VTTEL_DRIVES", std::nullopt) {}

  void MakeDir(const std::string& utf8_name) {
    ASSERT_EQ(mkdir(tmp_.File(utf8_name).c_str(), 0755), 0) << utf8_name;
  }
  void MakeFile(const std::string& utf8_name, const std::string& content) {
    WriteFile(tmp_.File(utf8_name), content);
  }
  std::optional<std::string> ReadScriptFile(std::string_view script_path) {
    FILE* f = OpenHostFile(script_path, "rb");
    if (f == nullptr) return std::nullopt;
    std::string content;
    char buffer[256];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), f)) > 0) content.append(buffer, n);
    fclose(f);
    return content;
  }

  TempDir tmp_;
  ScopedChdir cwd_;
  ScopedEnv drives_;
};

TEST_F(HostPathTest, FindsFileIgnoringAsciiCase) {
  MakeDir("voc");
  MakeFile(U8(u8"voc/中文.wav"), "wave");
  EXPECT_EQ(Show(ToHostPath("Voc\\中文.WAV")), Show(U8(u8"voc/中文.wav")));
  EXPECT_EQ(ReadScriptFile("VOC\\中文.wav"), "wave");
  EXPECT_EQ(Show(ToHostPath("voc\\中文.wav")), Show(U8(u8"voc/中文.wav")));

  // Of several spellings the smallest name is taken, whatever readdir's order.
  for (const char* name : {"rEADME", "ReadMe", "readmE", "README", "ReAdMe", "reaDME"}) {
    MakeFile(std::string("voc/") + name, name);
  }
  EXPECT_EQ(Show(ToHostPath("voc\\readme")), Show("voc/README"));
  EXPECT_EQ(Show(ToHostPath("voc\\ReadMe")), Show("voc/ReadMe"));
}

// 昞 is GBK 95 5C and 乗 is 81 5C: their trail byte is '\'.
TEST_F(HostPathTest, TrailByte5CStaysInTheCharacter) {
  ASSERT_EQ(std::string("昞乗"), "\x95\x5C\x81\x5C");
  MakeDir(U8(u8"昞"));
  MakeDir(U8(u8"昞/乗"));
  MakeFile(U8(u8"昞/乗/x昞.txt"), "deep");
  MakeFile(U8(u8"昞.txt"), "top");
  struct Case {
    const char* script;
    std::u8string_view host;
    const char* content;
  };
  const Case cases[] = {
      {"\x95\x5C.txt", u8"昞.txt", "top"},
      {"\x95\x5C\\\x81\x5C\\X\x95\x5C.TXT", u8"昞/乗/x昞.txt", "deep"},
      {"\x95\x5C/\x81\x5C\\\\x\x95\x5C.txt", u8"昞/乗/x昞.txt", "deep"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    EXPECT_EQ(Show(ToHostPath(c.script)), Show(U8(c.host)));
    EXPECT_EQ(ReadScriptFile(c.script), c.content);
  }
}

TEST_F(HostPathTest, UnmappedDriveIsRefused) {
  for (std::optional<std::string> drives : {std::optional<std::string>(),
                                            std::optional<std::string>("D=" + tmp_.path()),
                                            std::optional<std::string>("")}) {
    ScopedEnv env("VTTEL_DRIVES", drives);
    EXPECT_EQ(Show(ToHostPath("C:\\x")), "nullopt");
    errno = 0;
    EXPECT_EQ(OpenHostFile("C:\\x", "r"), nullptr);
    EXPECT_EQ(errno, ENOENT);
    errno = 0;
    EXPECT_EQ(OpenHostFd("C:\\x", O_RDONLY), -1);
    EXPECT_EQ(errno, ENOENT);
  }
}

TEST_F(HostPathTest, DrivesMapThroughTheVariable) {
  MakeDir("Voc");
  MakeFile(U8(u8"Voc/中文.wav"), "wave");
  const std::string t = tmp_.path();
  struct Case {
    std::string drives;
    const char* script;
    std::string host;
  };
  const Case cases[] = {
      {"C=" + t, "C:\\x", t + "/x"},
      {"C=" + t, "c:\\x", t + "/x"},
      {"c=" + t, "C:x", t + "/x"},
      {"C=" + t + "/", "C:\\\\x", t + "/x"},
      {"C=" + t, "C:\\", t},
      {"C=" + t, "C:", t},
      {"C=" + t, "C:\\voc\\中文.WAV", t + U8(u8"/Voc/中文.wav")},
      {" D=/nowhere ; bogus;1=/y;CC=/z;=/w;E=; C = " + t + " ", "C:\\x", t + "/x"},
      {"C=" + t + ";C=/elsewhere", "C:\\x", t + "/x"},
      {"D=/nonexistent-vttel/voc;c=" + t, "d:\\Prompt.wav", "/nonexistent-vttel/voc/Prompt.wav"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.drives + " | " + c.script);
    ScopedEnv env("VTTEL_DRIVES", c.drives);
    EXPECT_EQ(Show(ToHostPath(c.script)), Show(c.host));
  }
  ScopedEnv env("VTTEL_DRIVES", "C=" + t);
  EXPECT_EQ(ReadScriptFile("c:\\VOC\\中文.wav"), "wave");
  const int fd = OpenHostFd("C:\\voc\\New.txt", O_WRONLY | O_CREAT | O_EXCL);
  ASSERT_GE(fd, 0);
  EXPECT_NE(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
  close(fd);
  EXPECT_TRUE(FileExists(t + "/Voc/New.txt"));
}

TEST_F(HostPathTest, NewFileGoesIntoTheExistingFolder) {
  MakeDir("Voice");
  EXPECT_EQ(Show(ToHostPath("voice\\New.wav")), Show("Voice/New.wav"));
  EXPECT_EQ(Show(ToHostPath("VOICE\\Sub\\A.wav")), Show("Voice/Sub/A.wav"));
  FILE* f = OpenHostFile("voice\\New.wav", "w");
  ASSERT_NE(f, nullptr);
  EXPECT_NE(fcntl(fileno(f), F_GETFD) & FD_CLOEXEC, 0);
  fputs("x", f);
  fclose(f);
  EXPECT_EQ(ReadFile(tmp_.File("Voice/New.wav")), "x");
  EXPECT_FALSE(FileExists(tmp_.File("voice")));
}

// Chinese characters match only exactly: 丄 (GBK 81 41) is not 乤 (81 61)
// though their trail bytes are 'A' and 'a', nor is Ａ (A3 C1) ａ (A3 E1),
// nor 不 (UTF-8 E4 B8 8D) 中 (E4 B8 AD), nor '@' '`'.
TEST_F(HostPathTest, OnlyAsciiLettersFold) {
  MakeFile(U8(u8"乤.wav"), "");
  MakeFile(U8(u8"ａ.wav"), "");
  MakeFile(U8(u8"中.wav"), "");
  MakeFile("a@b", "");
  EXPECT_EQ(Show(ToHostPath("不.WAV")), Show(U8(u8"不.WAV")));
  EXPECT_EQ(Show(ToHostPath("中.WAV")), Show(U8(u8"中.wav")));
  EXPECT_EQ(Show(ToHostPath("A`B")), Show("A`B"));
  EXPECT_EQ(Show(ToHostPath("A@B")), Show("a@b"));
  EXPECT_EQ(Show(ToHostPath("\x81\x41.WAV")), Show(U8(u8"丄.WAV")));
  EXPECT_EQ(Show(ToHostPath("\x81\x61.WAV")), Show(U8(u8"乤.wav")));
  EXPECT_EQ(Show(ToHostPath("Ａ.wav")), Show(U8(u8"Ａ.wav")));
  EXPECT_EQ(Show(ToHostPath("ａ.WAV")), Show(U8(u8"ａ.wav")));
}

TEST_F(HostPathTest, SeparatorsAndDots) {
  MakeDir("voc");
  MakeFile(U8(u8"voc/中文.wav"), "");
  std::string absolute_script;  // the temporary folder written the Windows way
  for (char c : tmp_.path()) absolute_script += c == '/' ? '\\' : c;
  struct Case {
    std::string script;
    std::string host;
  };
  const Case cases[] = {
      {"voc\\\\\\中文.wav", U8(u8"voc/中文.wav")},
      {"voc/\\/中文.wav", U8(u8"voc/中文.wav")},
      {"VOC\\", "voc/"},
      {".\\Voc\\..\\VOC\\中文.wav", U8(u8"./voc/../voc/中文.wav")},
      {"\\", "/"},
      {absolute_script + "\\VOC\\中文.WAV", tmp_.path() + U8(u8"/voc/中文.wav")},
      {absolute_script + "/voc\\\\nothing\\here", tmp_.path() + "/voc/nothing/here"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    EXPECT_EQ(Show(ToHostPath(c.script)), Show(c.host));
  }
}

TEST_F(HostPathTest, SymbolicLinksAreKept) {
  MakeDir("real");
  MakeFile("real/f.txt", "data");
  ASSERT_EQ(symlink("real", tmp_.File("Link").c_str()), 0);
  EXPECT_EQ(Show(ToHostPath("link\\F.TXT")), Show("Link/f.txt"));
  EXPECT_EQ(ReadScriptFile("LINK\\f.txt"), "data");
}

TEST_F(HostPathTest, MalformedPathsGiveDefinedAnswers) {
  ScopedEnv env("VTTEL_DRIVES", "C=" + tmp_.path());
  struct Case {
    const char* name;
    std::string script;
    std::optional<std::string> host;
  };
  const Case cases[] = {
      {"Empty", "", std::nullopt},
      {"Unc", "\\\\server\\share", std::nullopt},
      {"UncForward", "//server/share", std::nullopt},
      {"UncMixed", "\\/server", std::nullopt},
      {"ColonAlone", ":", std::nullopt},
      {"DigitDrive", "1:\\x", std::nullopt},
      {"ColonInside", "C:\\a:b", std::nullopt},
      {"NulInside", std::string("a\0b", 3), std::nullopt},
      {"NulAtEnd", std::string("C:\\a\0", 5), std::nullopt},
      {"LoneLeadAtEnd", "a\x81", "a?"},
      {"LeadBeforeSlash", "a\x81/b", "a?/b"},
      {"ByteFF", "ab\xFF", "ab?"},
      {"Euro", "\x80.wav", U8(u8"€.wav")},
      {"LeadBeforeBackslashIsAPair", "\x81\\", U8(u8"乗")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Show(ToHostPath(c.script)), Show(c.host));
    if (!c.host) {
      errno = 0;
      EXPECT_EQ(OpenHostFile(c.script, "r"), nullptr);
      EXPECT_EQ(errno, ENOENT);
    }
  }
}

}  // namespace
}  // namespace platform
