#include "frame/form_pos.h"

#include <sys/stat.h>

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/test_support.h"

namespace frame {
namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

constexpr char kSavedFile[] =
    "GridWid0 = 124\nGridWid1 = 108\nGridWid2 = 56\nGridWid3 = 76\n"
    "GridWid4 = 204\nGridWid5 = 83\nGridWid6 = 57\nGridWid7 = 62\n"
    "WinHeight = 600\nWinWidth = 800\nWinX = 10\nWinY = 20\n";

class FormPosTest : public ::testing::Test {
 protected:
  std::string Path() const { return dir_.File(kFormPosFile); }
  TempDir dir_;
};

TEST_F(FormPosTest, SavedFileRoundTripsByteForByte) {
  WriteFile(Path(), kSavedFile);
  TagMapCfg cfg(Path());
  EXPECT_EQ(cfg.GetInt("WinX"), 10);
  EXPECT_EQ(cfg.GetInt("GridWid4"), 204);
  const std::string copy = dir_.File("copy.dat");
  EXPECT_EQ(cfg.SaveTo(copy), 12);
  EXPECT_EQ(ReadFile(copy), kSavedFile);
  EXPECT_FALSE(testing_support::FileExists(copy + ".tmp"));
}

TEST_F(FormPosTest, StoreFormPosWritesGridWidthsFirstAndWinYLast) {
  TagMapCfg cfg(Path());  // no file yet
  FormPos pos{10, 20, 800, 600, {124, 108, 56, 76, 204, 83, 57, 62}};
  StoreFormPos(pos, &cfg);
  EXPECT_EQ(cfg.Save(), 12);
  EXPECT_EQ(ReadFile(Path()), kSavedFile);
  FormPos back;
  TagMapCfg reread(Path());
  ASSERT_TRUE(ReadFormPos(reread, &back));
  EXPECT_EQ(back.left, 10);
  EXPECT_EQ(back.top, 20);
  EXPECT_EQ(back.width, 800);
  EXPECT_EQ(back.height, 600);
  EXPECT_EQ(back.grid_widths[7], 62);
}

TEST_F(FormPosTest, OtherKeysAreKeptAndWrittenBack) {
  WriteFile(Path(), "Zeta = abc\nWinX = 1\nAlpha=2\n");
  TagMapCfg cfg(Path());
  cfg.SetInt("WinY", -3);
  EXPECT_EQ(cfg.Save(), 4);
  EXPECT_EQ(ReadFile(Path()), "Alpha = 2\nWinX = 1\nWinY = -3\nZeta = abc\n");
}

TEST_F(FormPosTest, PlaceNeedsBothCornersNotNegative) {
  struct Case {
    const char* file;
    bool applied;
  };
  const Case cases[] = {
      {"WinX = 5\n", false},            // WinY missing
      {"WinY = 5\n", false},            // WinX missing
      {"WinX = -1\nWinY = 5\n", false},
      {"WinX = 0\nWinY = 0\n", true},
      {"WinX = abc\nWinY = 7\n", true},  // no digits read as 0
  };
  for (const Case& c : cases) {
    WriteFile(Path(), c.file);
    TagMapCfg cfg(Path());
    FormPos pos;
    EXPECT_EQ(ReadFormPos(cfg, &pos), c.applied) << c.file;
  }
}

TEST_F(FormPosTest, MissingSizesAreNotApplied) {
  WriteFile(Path(), "WinX = 5\nWinY = 6\nWinWidth = 0\n");
  TagMapCfg cfg(Path());
  FormPos pos;
  ASSERT_TRUE(ReadFormPos(cfg, &pos));
  EXPECT_EQ(pos.width, 0);  // 0 keeps the window's own width
  EXPECT_EQ(pos.height, kMapCfgMissing);
  EXPECT_EQ(pos.grid_widths[0], kMapCfgMissing);
}

TEST_F(FormPosTest, LinesAreReadAsTheFileFormatSays) {
  struct Case {
    const char* name;
    std::string file;
    const char* key;
    int32_t value;
  };
  const std::string long_line = "Long = " + std::string(600, '1') + "\nWinX = 3\n";
  const std::string long_tail = std::string(kMapCfgLineMax, 'x') + "Bogus=1\nTail = 9\n";
  const Case cases[] = {
      {"blanks and tabs", " W in X\t=\t1 2 \n", "WinX", 12},
      {"comment", "WinX = 4 // left\n", "WinX", 4},
      {"comment only", "// WinX = 4\n", "WinX", kMapCfgMissing},
      {"lone slash kept", "WinX = 4/5\n", "WinX", 4},
      {"crlf", "WinX = 8\r\nWinY = 9\r\n", "WinY", 9},
      {"no line end", "WinX = 6", "WinX", 6},
      {"no equals", "WinX 6\n", "WinX", kMapCfgMissing},
      {"later wins", "WinX = 1\nWinX = 2\n", "WinX", 2},
      {"keys are case-sensitive", "winx = 1\n", "WinX", kMapCfgMissing},
      {"value at first equals", "WinX = 3=4\n", "WinX", 3},
      {"leading digits", "WinX = 42px\n", "WinX", 42},
      {"sign", "WinX = -7\n", "WinX", -7},
      {"saturates", "WinX = 99999999999\n", "WinX", 2147483647},
      {"zero byte ends the line", std::string("WinX = 5\0 = 6\n", 14), "WinX", 5},
      {"over-long line ignored", long_line, "Long", kMapCfgMissing},
      {"line after a long one read", long_line, "WinX", 3},
      {"tail of a long line is no key", long_tail, "Bogus", kMapCfgMissing},
      {"line after that one read", long_tail, "Tail", 9},
      {"binary junk", std::string("\x01\xff\xfe=\x80\n\n\n=", 9), "WinX", kMapCfgMissing},
  };
  for (const Case& c : cases) {
    WriteFile(Path(), c.file);
    TagMapCfg cfg(Path());
    EXPECT_EQ(cfg.GetInt(c.key), c.value) << c.name;
  }
}

TEST_F(FormPosTest, UnreadableFilesLeaveTheMapAsItWas) {
  TagMapCfg cfg(Path());
  EXPECT_EQ(cfg.Load(), kMapCfgError);  // missing
  EXPECT_TRUE(cfg.values().empty());
  cfg.SetInt("WinX", 1);
  mkdir(dir_.File("folder").c_str(), 0700);
  TagMapCfg folder(dir_.File("folder"));
  EXPECT_EQ(folder.Load(), kMapCfgError);
  WriteFile(Path(), std::string(kMapCfgFileMax + 1, 'a'));
  EXPECT_EQ(cfg.Load(), kMapCfgError);  // too large
  EXPECT_EQ(cfg.GetInt("WinX"), 1);
  WriteFile(Path(), "");
  EXPECT_EQ(cfg.Load(), 0);  // empty
  EXPECT_EQ(cfg.GetInt("WinX"), 1);
}

TEST_F(FormPosTest, FailedSaveKeepsThePreviousFileAndReportsIt) {
  WriteFile(Path(), kSavedFile);
  TagMapCfg cfg(Path());
  EXPECT_EQ(cfg.SaveTo(dir_.File("no/such/folder/FormPos.dat")), kMapCfgError);
  // The target is a folder: the rename fails and nothing is left behind.
  mkdir(dir_.File("busy").c_str(), 0700);
  WriteFile(dir_.File("busy/x"), "x");
  EXPECT_EQ(cfg.SaveTo(dir_.File("busy")), kMapCfgError);
  EXPECT_FALSE(testing_support::FileExists(dir_.File("busy.tmp")));
  EXPECT_EQ(ReadFile(Path()), kSavedFile);
}

TEST_F(FormPosTest, ReadFromStartFolderSavedToProgramFolder) {
  WriteFile(Path(), kSavedFile);
  TempDir program;
  TagMapCfg cfg = [&] {
    testing_support::ScopedChdir start(dir_.path());
    return TagMapCfg(kFormPosFile);
  }();
  EXPECT_EQ(cfg.GetInt("WinY"), 20);
  testing_support::ScopedChdir moved(program.path());
  EXPECT_EQ(cfg.Save(), 12);
  EXPECT_EQ(ReadFile(program.File(kFormPosFile)), kSavedFile);
}

TEST_F(FormPosTest, EmptyMapSavesAnEmptyFile) {
  TagMapCfg cfg(Path());
  EXPECT_EQ(cfg.Save(), 0);
  EXPECT_EQ(ReadFile(Path()), "");
}

}  // namespace
}  // namespace frame
