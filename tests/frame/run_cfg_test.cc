#include "frame/run_cfg.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "frame/log.h"
#include "frame/log_writer.h"
#include "frame/settings.h"
#include "platform/message_service.h"
#include "tests/test_support.h"

namespace frame {
namespace {

using testing_support::TempDir;
using testing_support::WriteFile;

class RunCfgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Settings& s = GetSettings();
    s.log_level = 0;
    s.max_msg_num = 2048;
    s.db_max_conn = 0;
    s.db_bitfield_is_digit = 0;
  }

  // Writes the text as a file and reads it into cfg_.
  int Read(const std::string& text) {
    std::string path = dir_.File("VtTelRun.cfg");
    WriteFile(path, text);
    return ReadCfgFile(path, &cfg_);
  }

  TempDir dir_;
  TagRunCfg cfg_;
  platform::RecordingMessageService messages_;
  platform::ScopedMessageService scoped_messages_{&messages_};
};

TEST_F(RunCfgTest, DefaultsOfTheRecord) {
  TagRunCfg d;
  EXPECT_EQ(d.sentence_mode, 1);
  EXPECT_EQ(d.virtual_lines, 2u);
  EXPECT_EQ(d.total_lines, 0u);
  EXPECT_EQ(d.titles[0], "用户消息1");
  EXPECT_EQ(d.titles[2], "用户消息3");
  EXPECT_EQ(d.show_form, 1);
  EXPECT_EQ(d.column_groups, 1);
  EXPECT_EQ(d.monitor_port, 2004);
  EXPECT_EQ(d.monitor_max_conn, 0);
  EXPECT_EQ(d.immediate_log, 1);
  EXPECT_EQ(d.load_delay, 125);
  EXPECT_EQ(d.disp_delay, 500);
  EXPECT_EQ(d.log_file, "msg_log.txt");
  EXPECT_EQ(d.log_size, 2100000);
  EXPECT_EQ(d.max_msg_num, 2048u);
}

// One key=value line, read into a default record, and the field it sets.
struct KeyCase {
  const char* line;
  int32_t TagRunCfg::*field;
  int32_t expected;
};

class RunCfgKeyTest : public RunCfgTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(RunCfgKeyTest, ValueRuleAndClamp) {
  ASSERT_EQ(Read(std::string(GetParam().line) + "\n"), kCfgOk);
  EXPECT_EQ(cfg_.*(GetParam().field), GetParam().expected) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Keys, RunCfgKeyTest,
    ::testing::Values(
        KeyCase{"IS_DISP_SENTE=yes", &TagRunCfg::sentence_mode, 1},
        KeyCase{"IS_DISP_SENTE=note", &TagRunCfg::sentence_mode, 2},
        KeyCase{"is_disp_sente=No", &TagRunCfg::sentence_mode, 0},
        KeyCase{"IS_DISP_SENTE=2", &TagRunCfg::sentence_mode, 0},  // only yes or NOTE
        KeyCase{"COL_GROUP_NUM=10", &TagRunCfg::column_groups, 10},
        KeyCase{"COL_GROUP_NUM=11", &TagRunCfg::column_groups, 1},  // keeps the earlier
        KeyCase{"COL_GROUP_NUM=0", &TagRunCfg::column_groups, 1},
        KeyCase{"MONITOR_PORT=2010", &TagRunCfg::monitor_port, 2010},
        KeyCase{"MONITOR_PORT=65535", &TagRunCfg::monitor_port, 65535},
        KeyCase{"MONITOR_PORT=65536", &TagRunCfg::monitor_port, 2004},  // no truncation
        KeyCase{"MONITOR_PORT=70000", &TagRunCfg::monitor_port, 2004},
        KeyCase{"MONITOR_PORT=0", &TagRunCfg::monitor_port, 2004},
        KeyCase{"MONITOR_PORT=-5", &TagRunCfg::monitor_port, 2004},
        KeyCase{"MONITOR_MAX_CONN=20", &TagRunCfg::monitor_max_conn, 0},
        KeyCase{"MONITOR_MAX_CONN=-1", &TagRunCfg::monitor_max_conn, -1},
        KeyCase{"MONITOR_MAX_CONN=10", &TagRunCfg::monitor_max_conn, 10},
        KeyCase{"IS_WRITE_LOG=TRUE", &TagRunCfg::log_level, 1},
        KeyCase{"IS_WRITE_LOG=3", &TagRunCfg::log_level, 3},
        KeyCase{"IS_WRITE_LOG=off", &TagRunCfg::log_level, 0},
        KeyCase{"IS_IMMEDIATE_LOG=0", &TagRunCfg::immediate_log, 0},
        KeyCase{"IS_IMMEDIATE_LOG=yes", &TagRunCfg::immediate_log, 1},
        KeyCase{"IS_DISP_TALKTIME=Yes", &TagRunCfg::disp_talk_time, 1},
        KeyCase{"LOG_SIZE=1", &TagRunCfg::log_size, 2 * 1048576},
        KeyCase{"LOG_SIZE=500", &TagRunCfg::log_size, 80 * 1048576},
        KeyCase{"LOG_SIZE=10", &TagRunCfg::log_size, 10 * 1048576},
        KeyCase{"LOG_SIZE=abc", &TagRunCfg::log_size, 2 * 1048576},  // no digits: 0
        KeyCase{"LOAD_DELAY=0", &TagRunCfg::load_delay, 5},
        KeyCase{"LOAD_DELAY=3000", &TagRunCfg::load_delay, 3000},
        KeyCase{"DISP_DELAY=50", &TagRunCfg::disp_delay, 100},
        KeyCase{"DISP_DELAY=20000", &TagRunCfg::disp_delay, 15000},
        KeyCase{"DISP_DELAY=", &TagRunCfg::disp_delay, 100},  // key without a value
        KeyCase{"UNKNOWN_KEY=7", &TagRunCfg::load_delay, 125}));

TEST_F(RunCfgTest, ByteAndUnsignedFields) {
  ASSERT_EQ(Read("is_show_form = no\nLANGUAGE_TYPE=english\nVIR_LINES_NUM=30\n"
                 "TOTAL_LINES_NUM=64\nMAX_MSG_NUM=100\n"),
            kCfgOk);
  EXPECT_EQ(cfg_.show_form, 0);
  EXPECT_EQ(cfg_.language, 1);
  EXPECT_EQ(cfg_.virtual_lines, 30u);
  EXPECT_EQ(cfg_.total_lines, 64u);
  EXPECT_EQ(cfg_.max_msg_num, 100u);
  EXPECT_EQ(GetSettings().max_msg_num.load(), 100u);
}

TEST_F(RunCfgTest, LanguageAcceptsEnOnly) {
  ASSERT_EQ(Read("LANGUAGE_TYPE=en\n"), kCfgOk);
  EXPECT_EQ(cfg_.language, 1);
  ASSERT_EQ(Read("LANGUAGE_TYPE=ENG\n"), kCfgOk);
  EXPECT_EQ(cfg_.language, 0);
}

TEST_F(RunCfgTest, NegativeVirtualLineCountIsRefused) {
  ASSERT_EQ(Read("VIR_LINES_NUM=8\nVIR_LINES_NUM=-1\n"), kCfgOk);
  EXPECT_EQ(cfg_.virtual_lines, 8u);
}

// Reads with the process log open, so a test sees what the reader logs.
class RunCfgLogTest : public RunCfgTest {
 protected:
  RunCfgLogTest() {
    OpenProcessLog(std::make_unique<TagWriteLog>(dir_.File("cfg_log.txt"), 1 << 20, true, true));
  }
  ~RunCfgLogTest() override { CloseProcessLog(); }

  // What the read of text logged.
  std::string ReadLogged(const std::string& text) {
    FlushProcessLog();
    const size_t before = testing_support::ReadFile(dir_.File("cfg_log.txt")).value_or("").size();
    cfg_ = TagRunCfg();
    {
      testing_support::ScopedChdir cd(dir_.path());
      WriteFile("VtTelRun.cfg", text);
      ReadCfgFile("VtTelRun.cfg", &cfg_);
    }
    FlushProcessLog();
    return testing_support::ReadFile(dir_.File("cfg_log.txt")).value_or("").substr(before);
  }
};

// A value the reader refuses or cuts, a repeated line number and a line
// that is neither a key nor a line list are logged with the file, the
// line, the key and the value; accepted values log nothing.
TEST_F(RunCfgLogTest, RefusedSettingsAreLoggedWithFileKeyAndValue) {
  struct Case {
    const char* text;
    const char* logged;  // "" for nothing
  };
  const Case cases[] = {
      {"VIR_LINES_NUM=-1\n", "line 1: VIR_LINES_NUM=-1 refused (a negative line count); 2 kept."},
      {"VIR_LINES_NUM=4294967295\n",
       "line 1: VIR_LINES_NUM=4294967295 cut to 5120: the most lines the line table holds."},
      {"\nVIR_LINES_NUM=5121\n",
       "line 2: VIR_LINES_NUM=5121 cut to 5120: the most lines the line table holds."},
      {"TOTAL_LINES_NUM=-5\n", "line 1: TOTAL_LINES_NUM=-5 is not a line count: no line limit."},
      {"TOTAL_LINES_NUM=2147483647\n",
       "line 1: TOTAL_LINES_NUM=2147483647 is not a line count: no line limit."},
      {"COL_GROUP_NUM=11\n", "line 1: COL_GROUP_NUM=11 refused (1 to 10 column groups); 1 kept."},
      {"MONITOR_PORT=70000\n",
       "line 1: MONITOR_PORT=70000 refused (a TCP port is 1 to 65535); 2004 kept."},
      {"MONITOR_MAX_CONN=20\n", "line 1: MONITOR_MAX_CONN=20 refused (at most 10 clients); 0 kept."},
      {"-5=a.vts\n", "line 1: -5=a.vts is ignored: a line list begins with a digit."},
      {"no_such_key=1\n", "line 1: NO_SUCH_KEY=1 is ignored: the key is not known."},
      {"1,5-7=a.vts\n7=b.vts\n", "line 2: 7=b.vts gives line 7 again: the line lists overlap."},
      {"1,-5=a.vts\n", "line 1: 1,-5=a.vts gives line 1 again: the line lists overlap."},
      {"VIR_LINES_NUM=5120\nTOTAL_LINES_NUM=10\nCOL_GROUP_NUM=10\n0-29=a.vts\n", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::string log = ReadLogged(c.text);
    if (*c.logged == '\0') {
      EXPECT_EQ(log, "");
      continue;
    }
    EXPECT_NE(log.find(std::string("[\"VtTelRun.cfg\" ") + c.logged + "]"),
              std::string::npos)
        << log;
  }
}

// The line table holds kMaxTableLines lines: a larger virtual line count
// is cut to it; a negative one keeps the earlier count.
TEST_F(RunCfgTest, VirtualLineCountIsBoundByTheLineTable) {
  const std::pair<const char*, uint32_t> cases[] = {
      {"VIR_LINES_NUM=4294967295\n", static_cast<uint32_t>(kMaxTableLines)},
      {"VIR_LINES_NUM=2147483647\n", static_cast<uint32_t>(kMaxTableLines)},
      {"VIR_LINES_NUM=5120\n", 5120u},
      {"VIR_LINES_NUM=7\nVIR_LINES_NUM=-5\n", 7u},
  };
  for (const auto& [text, lines] : cases) {
    cfg_ = TagRunCfg();
    ASSERT_EQ(Read(text), kCfgOk);
    EXPECT_EQ(cfg_.virtual_lines, lines) << text;
  }
}

TEST_F(RunCfgTest, GlobalsOfOtherSubsystems) {
  ASSERT_EQ(Read("IS_WRITE_LOG=2\nDB_MAX_CONN=5\nDB_BITFIELD_IS_DIGIT=true\n"), kCfgOk);
  EXPECT_EQ(GetSettings().log_level.load(), 2);
  EXPECT_EQ(GetSettings().db_max_conn.load(), 5);
  EXPECT_EQ(GetSettings().db_bitfield_is_digit.load(), 1);
  ASSERT_EQ(Read("DB_BITFIELD_IS_DIGIT=no\n"), kCfgOk);
  EXPECT_EQ(GetSettings().db_bitfield_is_digit.load(), 0);
  ASSERT_EQ(Read("DB_BITFIELD_IS_DIGIT=7\n"), kCfgOk);
  EXPECT_EQ(GetSettings().db_bitfield_is_digit.load(), 1);
}

TEST_F(RunCfgTest, TextValuesLoseTheirBlanks) {
  ASSERT_EQ(Read("FORM_TITLE = Hot  Line\nTITLE1=坐席 一\nTITLE3=\n"), kCfgOk);
  EXPECT_EQ(cfg_.form_title, "HotLine");
  EXPECT_EQ(cfg_.titles[0], "坐席一");
  EXPECT_EQ(cfg_.titles[1], "用户消息2");
  EXPECT_EQ(cfg_.titles[2], "");
}

TEST_F(RunCfgTest, Comments) {
  ASSERT_EQ(Read("LOG_FILE=logs/run.txt\nFORM_TITLE=a//b\n// LOAD_DELAY=900\n//0-3=x.vts\n"
                 "LOAD_DELAY=300 // slow\n0-3=x.vts\n"),
            kCfgOk);
  EXPECT_EQ(cfg_.log_file, "logs/run.txt");  // one '/' stays whole
  EXPECT_EQ(cfg_.form_title, "a");           // "//" is cut
  EXPECT_EQ(cfg_.load_delay, 300);
}

TEST_F(RunCfgTest, OnlyTheFirstSlashIsTested) {
  // A single '/' first: the later "//" does not start a comment.
  ASSERT_EQ(Read("LOG_FILE=a/b//c\n"), kCfgOk);
  EXPECT_EQ(cfg_.log_file, "a/b//c");
}

TEST_F(RunCfgTest, EachReadOverwritesOnlyTheKeysItMeets) {
  ASSERT_EQ(Read("LOAD_DELAY=300\nDISP_DELAY=900\n"), kCfgOk);
  ASSERT_EQ(Read("LOAD_DELAY=400\n"), kCfgOk);
  EXPECT_EQ(cfg_.load_delay, 400);
  EXPECT_EQ(cfg_.disp_delay, 900);
}

TEST_F(RunCfgTest, OverlappingListsStopTheRead) {
  EXPECT_EQ(Read("LOAD_DELAY=300\n1,5-7=a.vts\n7=b.vts\nDISP_DELAY=900\n"), kCfgLinesOverlap);
  EXPECT_EQ(cfg_.load_delay, 300);  // lines before stay
  EXPECT_EQ(cfg_.disp_delay, 500);  // lines after are not read
  auto shown = messages_.messages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "Error : VtTelRun.Cfg : lines overlap");
  EXPECT_EQ(shown[0].caption, "Vantorel System");
  EXPECT_EQ(shown[0].icon, platform::MessageIcon::kError);
}

TEST_F(RunCfgTest, RepeatInsideOneListOverlaps) {
  EXPECT_EQ(Read("1,2,1=a.vts\n"), kCfgLinesOverlap);
}

TEST_F(RunCfgTest, ListsWithoutNumbersAndDisjointListsAreFine) {
  EXPECT_EQ(Read("9-1=a.vts\n9-1=b.vts\n0-29=a.vts\n30-31=b.vts\n"), kCfgOk);
  EXPECT_TRUE(messages_.messages().empty());
}

TEST_F(RunCfgTest, MissingFileKeepsTheRecord) {
  cfg_.load_delay = 777;
  EXPECT_EQ(ReadCfgFile(dir_.File("nothing.cfg"), &cfg_), kCfgOpenError);
  EXPECT_EQ(cfg_.load_delay, 777);
  EXPECT_EQ(ReadCfgFile(dir_.File("nothing.cfg"), nullptr), kCfgNoRecord);
}

TEST_F(RunCfgTest, UnreadableFileIsAnOpenError) {
  // A path through a regular file cannot be opened, whoever runs the test.
  std::string path = dir_.File("locked.cfg");
  WriteFile(path, "LOAD_DELAY=300\n");
  EXPECT_EQ(ReadCfgFile(path + "/VtTelRun.cfg", &cfg_), kCfgOpenError);
  // A file without read permission (root reads every file).
  if (geteuid() != 0) {
    chmod(path.c_str(), 0);
    EXPECT_EQ(ReadCfgFile(path, &cfg_), kCfgOpenError);
  }
  EXPECT_EQ(cfg_.load_delay, 125);
}

TEST_F(RunCfgTest, FolderInsteadOfAFileReadsNothing) {
  int r = ReadCfgFile(dir_.path(), &cfg_);
  EXPECT_TRUE(r == kCfgOpenError || r == kCfgOk) << r;
  EXPECT_EQ(cfg_.load_delay, 125);
}

TEST_F(RunCfgTest, CrLfFixtureReadsAsItsLfTwin) {
  TagRunCfg crlf, lf;
  const std::string data = std::string(VTTEL_SOURCE_DIR) + "/tests/frame/data/";
  ASSERT_EQ(ReadCfgFile(data + "crlf.cfg", &crlf), kCfgOk);
  ASSERT_EQ(ReadCfgFile(data + "lf.cfg", &lf), kCfgOk);
  EXPECT_EQ(crlf.show_form, 1);  // "yes\r" is yes
  EXPECT_EQ(crlf.language, 1);
  EXPECT_EQ(crlf.monitor_max_conn, 3);
  EXPECT_EQ(crlf.monitor_port, 2010);
  EXPECT_EQ(crlf.log_file, "log\\run.txt");
  EXPECT_EQ(crlf.form_title, "HotLine");
  EXPECT_EQ(crlf.titles[1], "用户");
  EXPECT_EQ(crlf.disp_delay, 700);
  for (const TagRunCfg* c : {&crlf, &lf}) {
    for (const std::string* s : {&c->log_file, &c->form_title, &c->titles[1]}) {
      EXPECT_EQ(s->find('\r'), std::string::npos) << *s;
    }
  }
  EXPECT_EQ(crlf.show_form, lf.show_form);
  EXPECT_EQ(crlf.language, lf.language);
  EXPECT_EQ(crlf.monitor_max_conn, lf.monitor_max_conn);
  EXPECT_EQ(crlf.monitor_port, lf.monitor_port);
  EXPECT_EQ(crlf.log_file, lf.log_file);
  EXPECT_EQ(crlf.log_level, lf.log_level);
  EXPECT_EQ(crlf.load_delay, lf.load_delay);
  EXPECT_EQ(crlf.form_title, lf.form_title);
  EXPECT_EQ(crlf.titles[1], lf.titles[1]);
  EXPECT_EQ(crlf.disp_delay, lf.disp_delay);
}

TEST_F(RunCfgTest, LastLineWithoutLineEndAndTrailingCr) {
  ASSERT_EQ(Read("IS_SHOW_FORM=no\nIS_SHOW_FORM=yes\r"), kCfgOk);
  EXPECT_EQ(cfg_.show_form, 1);
}

TEST_F(RunCfgTest, LongLinesAreReadInPieces) {
  // 600 blanks then a key: the first 511-byte piece is blanks only, the
  // rest of the physical line is a line of its own and sets the key.
  ASSERT_EQ(Read(std::string(600, ' ') + "LOAD_DELAY=321\n"), kCfgOk);
  EXPECT_EQ(cfg_.load_delay, 321);
  // A key whose value runs over the piece: the value is cut at the piece.
  std::string title(700, 'x');
  ASSERT_EQ(Read("FORM_TITLE=" + title + "\n"), kCfgOk);
  EXPECT_EQ(cfg_.form_title, std::string(kCfgLineMax - 11, 'x'));
}

TEST_F(RunCfgTest, BinaryFileNeverCrashes) {
  std::string junk;
  uint32_t x = 12345;
  for (int i = 0; i < 20000; ++i) {
    x = x * 1103515245u + 12345u;
    junk.push_back(static_cast<char>(x >> 24));
  }
  junk += "\nLOAD_DELAY=42\n";
  junk += std::string("DISP_DELAY=9\0" "00\n", 16);  // a zero byte ends the line
  EXPECT_EQ(Read(junk), kCfgOk);
  EXPECT_EQ(cfg_.load_delay, 42);
  EXPECT_EQ(cfg_.disp_delay, 100);
}

}  // namespace
}  // namespace frame
