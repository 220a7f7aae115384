// The file and directory statements against the real file system and its
// tools (touch, df, setpriv): moving, deleting and emptying with their
// error numbers, copying with the time kept, file times and sizes, listing
// by pattern, folders, the working folder under a mapped drive, and names
// written with backslashes, in another case and with a GBK trail byte 0x5C.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/windows_error.h"
#include "services/files/file_report.h"
#include "tests/services/tcp_script_fixture.h"
#include "tests/vtsrun_runner.h"

namespace {

using engine::TagVar;
using testing_support::FileExists;
using testing_support::ReadFile;
using testing_support::WriteFile;

// UTF-8 bytes of a u8 literal: names on disk. Narrow literals are GBK.
std::string U8(std::u8string_view text) { return std::string(text.begin(), text.end()); }

int Run(const std::vector<std::string>& args) {
  testing_support::SpawnedProgram p;
  if (!p.Start(args[0], std::vector<std::string>(args.begin() + 1, args.end()))) return -1;
  return p.Wait(30000);
}

// Sets a file's modification time with the real touch.
void Touch(const std::string& file, const std::string& when) {
  ASSERT_EQ(Run({"/usr/bin/touch", "-d", when, file}), 0) << when;
}

class FileStatementsTest : public services_test::TcpScriptTest {
 protected:
  TagVar* Float(double v) {
    TagVar* f = Val(0);
    f->SetFloat(v);
    return f;
  }
  TagVar* ReadOnly(int32_t v) {
    TagVar* c = Val(v);
    c->readOnly = 1;
    return c;
  }
  // "FileLenTime(": the result, and size and time into *size and *time.
  int32_t LenTime(const std::string& name, int32_t* size, std::string* time) {
    TagVar* s = Val(-1);
    TagVar* t = Val("");
    const int32_t r = Exec("FileLenTime(", {Val(name), s, t});
    *size = s->intValue;
    *time = std::string(t->Bytes());
    return r;
  }
  std::string TimeOf(const std::string& name) {
    int32_t size = 0;
    std::string time;
    EXPECT_EQ(LenTime(name, &size, &time), 0) << name;
    return time;
  }
};

TEST_F(FileStatementsTest, MoveDeleteAndEmptyGiveWindowsErrorNumbers) {
  ASSERT_EQ(::mkdir("sub", 0755), 0);
  struct Case {
    const char* label;
    const char* name;
    TagVar* target;
    int32_t result;
    const char* source_after;  // nullptr: gone
    const char* target_file;   // checked when given
    const char* target_after;
  };
  const std::string hundred(100, 'h');
  const Case cases[] = {
      {"empty a 100-byte file", "f.txt", Val(1), 0, "", nullptr, nullptr},
      {"empty creates a missing file", "new.txt", Val(1), 0, "", nullptr, nullptr},
      {"2 is no target", "f.txt", Val(2), -4, hundred.c_str(), nullptr, nullptr},
      {"a float is no target", "f.txt", Float(0), -4, hundred.c_str(), nullptr, nullptr},
      {"delete", "f.txt", Val(0), 0, nullptr, nullptr, nullptr},
      {"delete a missing file", "gone.txt", Val(0), platform::kErrorFileNotFound, nullptr, nullptr,
       nullptr},
      {"delete in a missing folder", "nodir\\gone.txt", Val(0), platform::kErrorPathNotFound,
       nullptr, nullptr, nullptr},
      {"delete a folder", "sub", Val(0), platform::kErrorAccessDenied, nullptr, nullptr, nullptr},
      {"rename with backslashes", "f.txt", Val("sub\\g.txt"), 0, nullptr, "sub/g.txt",
       hundred.c_str()},
      {"move onto an existing file", "f.txt", Val("old.txt"), 0, nullptr, "old.txt",
       hundred.c_str()},
      {"move a missing file", "gone.txt", Val("x.txt"), platform::kErrorFileNotFound, nullptr,
       nullptr, nullptr},
      {"move into a missing folder", "f.txt", Val("nodir\\x.txt"), platform::kErrorPathNotFound,
       hundred.c_str(), nullptr, nullptr},
      {"empty in a missing folder", "nodir\\x.txt", Val(1), platform::kErrorPathNotFound, nullptr,
       nullptr, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ::unlink("new.txt");
    WriteFile("f.txt", hundred);
    WriteFile("old.txt", "old");
    EXPECT_EQ(Exec("FileMove(", {Val(c.name), c.target}), c.result);
    const std::string source(c.name);
    if (source.find('\\') == std::string::npos && source != "sub") {
      EXPECT_EQ(ReadFile(source).value_or("<gone>"), c.source_after ? c.source_after : "<gone>");
    }
    if (c.target_file != nullptr) {
      EXPECT_EQ(ReadFile(c.target_file).value_or(""), c.target_after);
    }
  }
}

TEST_F(FileStatementsTest, MoveAcrossFileSystemsCopiesAndRemoves) {
  struct stat shm, here;
  if (::stat("/dev/shm", &shm) != 0 || ::stat(".", &here) != 0 || shm.st_dev == here.st_dev) {
    GTEST_SKIP() << "/dev/shm is not another file system here";
  }
  const std::string source = "/dev/shm/vttel-move-" + std::to_string(::getpid());
  WriteFile(source, std::string("bytes\0\r\n", 8));
  Touch(source, "2021-04-05 06:07:08");
  EXPECT_EQ(Exec("FileMove(", {Val(source), Val("moved.bin")}), 0);
  EXPECT_FALSE(FileExists(source));
  EXPECT_EQ(ReadFile("moved.bin").value_or(""), std::string("bytes\0\r\n", 8));
  EXPECT_EQ(TimeOf("moved.bin"), "20210405 06:07:08");
}

// A folder the script may not write: run by nobody through setpriv when the
// tests run as root (as CI does), else by the tests' own user.
TEST(FileStatementsProcess, ReadOnlyFolderGivesAccessDenied) {
  testing_support::TempDir dir;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
  ASSERT_EQ(::mkdir(dir.File("ro").c_str(), 0755), 0);
  WriteFile(dir.File("ro/f.txt"), "keep");
  ASSERT_EQ(::chmod(dir.File("ro").c_str(), 0555), 0);
  WriteFile(dir.File("s.vts"),
            "SetPrintTo(\"\")\nr = FileMove(\"ro/f.txt\", 0)\nPrint(r)\n"
            "r = FileMove(\"ro/f.txt\", \"out.txt\")\nPrint(r)\n"
            "r = FileMove(\"ro/new.txt\", 1)\nPrint(r)\nreturn(0)\n");
  ::chmod(dir.File("s.vts").c_str(), 0644);
  const std::string vtsrun = std::string(VTTEL_TOOLS_DIR) + "/vtsrun";
  const testing_support::VtsrunOutcome o =
      ::geteuid() == 0
          ? testing_support::RunProgramIn(dir.path(), "/usr/bin/setpriv",
                                          {"--reuid=nobody", "--regid=nogroup", "--clear-groups",
                                           vtsrun, "s.vts"})
          : testing_support::RunVtsrun(dir.path(), {"s.vts"});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "0 : 5\n0 : 5\n0 : 5\n");
  EXPECT_EQ(ReadFile(dir.File("ro/f.txt")).value_or(""), "keep");
}

// What the statements keep from the script goes to the log: a failed change
// of the working folder (still 0), a size that 32 bits cannot hold and why
// a copy failed.
TEST(FileStatementsProcess, FailedFolderChangeHugeSizeAndFailedCopyAreLogged) {
  testing_support::TempDir dir;
  const int fd = ::open(dir.File("big.bin").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, 3LL << 30), 0);
  ::close(fd);
  WriteFile(dir.File("s.vts"),
            "SetPrintTo(\"\")\nr = SetCurWorkDir(\"missing\")\nPrint(r)\ns = 0\nt = \"\"\n"
            "FileLenTime(\"big.bin\", s, t)\nPrint(s)\n"
            "r = FileCopy(\"s.vts\", \"S.VTS\")\nPrint(r)\nreturn(0)\n");
  const testing_support::VtsrunOutcome o = testing_support::RunVtsrun(dir.path(), {"s.vts"});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "0 : 0\n0 : 2147483647\n0 : -4\n");
  const std::string log = ReadFile(dir.File("msg_log.txt")).value_or("");
  EXPECT_NE(log.find("SetCurWorkDir(missing) failed: "), std::string::npos) << log;
  EXPECT_NE(log.find("File size of big.bin is 3221225472 bytes, reported as 2147483647"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("FileCopy(s.vts, S.VTS) failed: the destination is the source file itself"),
            std::string::npos)
      << log;
}

TEST_F(FileStatementsTest, CopyKeepsTheTimeAndTimesAreFatPacked) {
  struct Case {
    const char* touched;
    const char* read;
  };
  const Case cases[] = {
      {"2020-01-02 10:20:30", "20200102 10:20:30"},
      {"2020-01-02 10:20:31", "20200102 10:20:30"},
      {"1999-12-31 23:59:59", "19991231 23:59:58"},
      {"1975-06-01 12:00:00", "19800101 00:00:00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.touched);
    WriteFile("src.txt", "copied");
    Touch("src.txt", c.touched);
    EXPECT_EQ(TimeOf("src.txt"), c.read);
    EXPECT_EQ(Exec("FileCopy(", {Val("src.txt"), Val("dst.txt")}), 0);
    EXPECT_EQ(ReadFile("dst.txt").value_or(""), "copied");
    EXPECT_EQ(TimeOf("dst.txt"), c.read);
  }
  WriteFile("dst.txt", "a longer old file");
  EXPECT_EQ(Exec("FileCopy(", {Val("src.txt"), Val("dst.txt")}), 0);
  EXPECT_EQ(ReadFile("dst.txt").value_or(""), "copied");
  EXPECT_EQ(Exec("FileCopy(", {Val("missing.txt"), Val("dst.txt")}), -4);
  EXPECT_EQ(Exec("FileCopy(", {Val("src.txt"), Val("nodir\\dst.txt")}), -4);
}

// A file copied onto itself, under any of its names, is refused and keeps
// its bytes; its links stay as they were.
TEST_F(FileStatementsTest, CopyOntoItselfIsRefusedAndKeepsTheFile) {
  const std::string bytes = "the only copy\r\n";
  WriteFile("src.txt", bytes);
  ASSERT_EQ(::symlink("src.txt", "soft.txt"), 0);
  ASSERT_EQ(::link("src.txt", "hard.txt"), 0);
  struct Case {
    const char* from;
    const char* to;
  };
  const Case cases[] = {
      {"src.txt", "src.txt"},   {"src.txt", "SRC.TXT"},  {"src.txt", ".\\src.txt"},
      {"src.txt", "soft.txt"},  {"soft.txt", "src.txt"}, {"src.txt", "hard.txt"},
      {"hard.txt", "soft.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.from) + " -> " + c.to);
    EXPECT_EQ(Exec("FileCopy(", {Val(c.from), Val(c.to)}), -4);
    EXPECT_EQ(ReadFile("src.txt").value_or("<gone>"), bytes);
    struct stat st;
    ASSERT_EQ(::lstat("soft.txt", &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::stat("hard.txt", &st), 0);
    EXPECT_EQ(st.st_nlink, 2u);
  }
}

// The names in the folder (hidden ones too), sorted.
std::string FolderNames(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  std::string joined;
  for (const std::string& name : names) joined += (joined.empty() ? "" : " ") + name;
  return joined;
}

// A copy onto a link writes the file the link leads to; the link stays.
TEST_F(FileStatementsTest, CopyOntoALinkWritesItsTarget) {
  WriteFile("src.txt", "new bytes");
  WriteFile("old.txt", "old");
  ASSERT_EQ(::symlink("old.txt", "link.txt"), 0);
  EXPECT_EQ(Exec("FileCopy(", {Val("src.txt"), Val("link.txt")}), 0);
  EXPECT_EQ(ReadFile("old.txt").value_or(""), "new bytes");
  struct stat st;
  ASSERT_EQ(::lstat("link.txt", &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(FolderNames("."), "empty.vts link.txt old.txt src.txt");
}

// The process may write at most kLimit bytes into any file while the
// object lives (writes past it fail with EFBIG instead of a signal).
class FileSizeLimit {
 public:
  static constexpr rlim_t kLimit = 4096;
  FileSizeLimit() {
    saved_signal_ = std::signal(SIGXFSZ, SIG_IGN);
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    struct rlimit lower = saved_;
    lower.rlim_cur = kLimit;
    limited_ = ::setrlimit(RLIMIT_FSIZE, &lower) == 0;
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, saved_signal_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  bool limited() const { return limited_; }

 private:
  struct rlimit saved_ {};
  void (*saved_signal_)(int) = nullptr;
  bool limited_ = false;
};

// A copy that fails part of the way (the file grows past what the process
// may write) leaves the destination that was there as it was, and no
// half-written file anywhere.
TEST_F(FileStatementsTest, AFailedCopyLeavesTheDestinationAsItWas) {
  const std::string big(64 * 1024, 'b');
  WriteFile("big.txt", big);
  ASSERT_EQ(::mkdir("folder", 0755), 0);
  struct Case {
    const char* from;
    const char* to;
  };
  const Case cases[] = {
      {"big.txt", "dst.txt"},      // fails part of the way
      {"missing.txt", "dst.txt"},  // no source
      {"big.txt", "folder"},       // a folder is no file to replace
      {"folder", "dst.txt"},       // nor to copy
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.from) + " -> " + c.to);
    WriteFile("dst.txt", "the old destination");
    {
      FileSizeLimit limit;
      ASSERT_TRUE(limit.limited());
      EXPECT_EQ(Exec("FileCopy(", {Val(c.from), Val(c.to)}), -4);
    }
    EXPECT_EQ(ReadFile("dst.txt").value_or("<gone>"), "the old destination");
    EXPECT_EQ(FolderNames("."), "big.txt dst.txt empty.vts folder");
    EXPECT_EQ(FolderNames("folder"), "");
  }
  EXPECT_EQ(Exec("FileCopy(", {Val("big.txt"), Val("dst.txt")}), 0) << "without the limit";
  EXPECT_EQ(ReadFile("dst.txt").value_or(""), big);
}

TEST_F(FileStatementsTest, SizesAndTheirLimit) {
  WriteFile("five.txt", "12345");
  int32_t size = 0;
  std::string time;
  EXPECT_EQ(LenTime("five.txt", &size, &time), 0);
  EXPECT_EQ(size, 5);
  EXPECT_EQ(LenTime("missing.txt", &size, &time), -2);
  EXPECT_EQ(Exec("FileLenTime(", {Val(5), Val(0), Val(0)}), -1);
  // A sparse file of 3 GiB: no 32-bit size holds it.
  const int fd = ::open("big.bin", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, 3LL << 30), 0);
  ::close(fd);
  EXPECT_EQ(LenTime("big.bin", &size, &time), 0);
  EXPECT_EQ(size, services::kMaxReportedSize);
}

TEST_F(FileStatementsTest, FileListsByPattern) {
  ASSERT_EQ(::mkdir("empty", 0755), 0);
  TagVar* names = Val(5);
  TagVar* sizes = Val(6);
  TagVar* times = Val(7);
  EXPECT_EQ(Exec("GetFileList(", {Val("empty\\*.*"), names, sizes, times}), 0);
  EXPECT_EQ(names->ToText() + sizes->ToText() + times->ToText(), "567");
  EXPECT_EQ(Exec("GetFileList(", {Val(0), names, sizes, times}), -1);

  ASSERT_EQ(::mkdir("d", 0755), 0);
  for (const char* name : {"d/c.txt", "d/B.txt", "d/a.txt", "d/noext", "d/ab.TXT", "d/.hidden"}) {
    WriteFile(name, name);
  }
  ASSERT_EQ(::mkdir("d/folder.txt", 0755), 0);
  struct Case {
    const char* pattern;
    const char* names;
  };
  const Case cases[] = {
      {"d\\*.*", "a.txt ab.TXT B.txt c.txt noext"},
      {"d\\*", "a.txt ab.TXT B.txt c.txt noext"},
      {"d\\*.txt", "a.txt ab.TXT B.txt c.txt"},
      {"D\\?.TXT", "a.txt B.txt c.txt"},
      {"d\\A*.t?t", "a.txt ab.TXT"},
      {"d\\noext.*", "noext"},
      {"d\\b.txt", "B.txt"},
      {"d\\*.doc", ""},
      {"nodir\\*.*", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    TagVar* list = Val(0);
    const int32_t n = Exec("GetFileList(", {Val(c.pattern), list, ReadOnly(0), ReadOnly(0)});
    std::string got;
    TagVar key;
    for (int32_t i = 0; i < n; ++i) {
      key.SetInt(i);
      got += (i > 0 ? " " : "") + std::string(list->GetElement(key)->Bytes());
    }
    EXPECT_EQ(got, c.names);
  }
  // Sizes and times come with the names; the maps keep what they held.
  WriteFile("d/a.txt", "1234");
  Touch("d/a.txt", "2019-08-07 06:05:04");
  TagVar* held = Val(0);
  TagVar key;
  key.SetInt(9);
  held->Element(key)->AssignString("kept");
  TagVar* size_map = Val(0);
  EXPECT_EQ(Exec("GetFileList(", {Val("d\\a.*"), held, size_map, times}), 1);
  EXPECT_EQ(held->ToText(), "{\r\n0:\"a.txt\",\r\n9:\"kept\"\r\n}");
  EXPECT_EQ(size_map->ToText(), "{\r\n0:4\r\n}");
  EXPECT_EQ(times->ToText(), "{\r\n0:\"20190807 06:05:04\"\r\n}");
  // "FileLenTime(" takes the first in that order.
  int32_t size = 0;
  std::string time;
  EXPECT_EQ(LenTime("d\\*.txt", &size, &time), 0);
  EXPECT_EQ(size, 4);
}

TEST_F(FileStatementsTest, NamesAreFoundWhateverTheirSpelling) {
  ASSERT_EQ(::mkdir("Sub", 0755), 0);
  WriteFile(U8(u8"Sub/乗Name.txt"), "gbk");
  int32_t size = 0;
  std::string time;
  for (const char* spelling : {"Sub\\乗Name.txt", "SUB\\乗NAME.TXT", "sub/乗name.txt",
                               "sub\\乗*.txt", "sub\\?name.txt"}) {
    EXPECT_EQ(LenTime(spelling, &size, &time), 0) << spelling;
    EXPECT_EQ(size, 3) << spelling;
  }
  TagVar* names = Val(0);
  EXPECT_EQ(Exec("GetFileList(", {Val("SUB\\*.*"), names, ReadOnly(0), ReadOnly(0)}), 1);
  TagVar key;
  key.SetInt(0);
  EXPECT_EQ(names->GetElement(key)->Bytes(), "\x81\x5cName.txt");
  TagVar* found = Val(7);
  EXPECT_EQ(Exec("IsDirExist(", {Val("sub\\乗name.TXT"), found}), 0);
  EXPECT_EQ(found->intValue, 1);
}

TEST_F(FileStatementsTest, FoldersAndTheirTests) {
  WriteFile("file.txt", "x");
  struct Case {
    const char* path;
    int32_t result;
    int32_t found;
  };
  const Case cases[] = {{"file.txt", 0, 1}, {".", 0, 1}, {"missing", -2, 0}};
  for (const Case& c : cases) {
    TagVar* found = Val(7);
    EXPECT_EQ(Exec("IsDirExist(", {Val(c.path), found}), c.result) << c.path;
    EXPECT_EQ(found->intValue, c.found) << c.path;
  }
  EXPECT_EQ(Exec("IsDirExist(", {Val(1), Val(0)}), -1);
  EXPECT_EQ(Exec("MakeDir(", {Val("made")}), 0);
  EXPECT_EQ(Exec("MakeDir(", {Val("made")}), -1);
  EXPECT_EQ(Exec("MakeDir(", {Val(3)}), -1);
  EXPECT_EQ(Exec("MakeDir(", {Val("nodir\\made")}), -1);
  WriteFile("made/x", "x");
  EXPECT_EQ(Exec("RemoveDir(", {Val("made")}), -1);
  ::unlink("made/x");
  EXPECT_EQ(Exec("RemoveDir(", {Val("MADE")}), 0);
  EXPECT_FALSE(FileExists("made"));
}

TEST_F(FileStatementsTest, WorkingFolderUnderAMappedDrive) {
  ASSERT_EQ(::mkdir("inner", 0755), 0);
  char real[PATH_MAX];
  ASSERT_NE(::realpath(".", real), nullptr);
  testing_support::ScopedEnv drives("VTTEL_DRIVES", "D=/nowhere;C=" + std::string(real));
  testing_support::ScopedChdir back(real);
  TagVar* dir = Val(0);
  EXPECT_EQ(Exec("GetCurWorkDir(", {dir}), 0);
  EXPECT_EQ(dir->Bytes(), "C:\\");
  EXPECT_EQ(Exec("SetCurWorkDir(", {Val("c:\\INNER")}), 0);
  EXPECT_EQ(Exec("GetCurWorkDir(", {dir}), 0);
  EXPECT_EQ(dir->Bytes(), "C:\\inner");
  // A failed change keeps the folder and still gives 0.
  EXPECT_EQ(Exec("SetCurWorkDir(", {Val("C:\\missing")}), 0);
  EXPECT_EQ(Exec("GetCurWorkDir(", {dir}), 0);
  EXPECT_EQ(dir->Bytes(), "C:\\inner");
  // Outside every mapped folder the host path comes back.
  EXPECT_EQ(Exec("SetCurWorkDir(", {Val("/")}), 0);
  EXPECT_EQ(Exec("GetCurWorkDir(", {dir}), 0);
  EXPECT_EQ(dir->Bytes(), "/");
}

// The sizes of df's file system in bytes, floored to MiB.
TEST_F(FileStatementsTest, DiskSpaceAgreesWithDf) {
  testing_support::SpawnedProgram df;
  ASSERT_TRUE(df.Start("/usr/bin/df", {"-B1", "--output=size,avail", "."}));
  ASSERT_EQ(df.Wait(30000), 0);
  const std::string out = df.stdout_text();
  const size_t line = out.find('\n');
  ASSERT_NE(line, std::string::npos);
  char* end = nullptr;
  const long long size = std::strtoll(out.c_str() + line + 1, &end, 10);
  const long long avail = std::strtoll(end, nullptr, 10);
  for (TagVar* folder : {Val(""), Val(0), Val(".")}) {
    TagVar* total = Val(-1);
    TagVar* free = Val(-1);
    EXPECT_NE(Exec("GetDiskSpace(", {folder, total, free}), 0);
    EXPECT_EQ(total->intValue, size / (1024 * 1024));
    // Other programs write meanwhile: the free space may move a little.
    EXPECT_NEAR(free->intValue, avail / (1024 * 1024), 64);
  }
  TagVar* total = Val(-1);
  TagVar* free = Val(-1);
  EXPECT_EQ(Exec("GetDiskSpace(", {Val("nodir"), total, free}), 0);
  EXPECT_EQ(total->intValue + free->intValue, 0);
}

}  // namespace
