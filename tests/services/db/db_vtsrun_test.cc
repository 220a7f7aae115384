// The database statements in scripts run by the real vtsrun on dBASE
// tables made by the test: each script prints its results ("Print(" after
// SetPrintTo("")), the test reads the "0 : <text>" lines back.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>

#include <string>
#include <vector>

#include "platform/codepage.h"
#include "tests/platform/spawned_program.h"
#include "tests/services/db/dbf_fixture.h"
#include "tests/test_support.h"
#include "tests/vtsrun_runner.h"

namespace services_test {
namespace {

using testing_support::TempDir;
using testing_support::WriteFile;
using Outcome = testing_support::VtsrunOutcome;

// The variables the scripts use, then the script; the map dumps' line
// ends (CR LF) come back as LF.
Outcome RunScript(const TempDir& dir, const std::string& script) {
  WriteFile(dir.File("s.vts"),
            "SetPrintTo(\"\")\nh = 0\ng = 0\nk = 0\nm = 0\nv = \"\"\nr = 0\n" + script +
                "return(0)\n");
  Outcome o = testing_support::RunVtsrun(dir.path(), {"s.vts"});
  std::erase(o.out, '\r');
  return o;
}

std::string Printed(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += "0 : " + l + "\n";
  return out;
}

class DbVtsrunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(dir_.File("m.dbf"), DbfBytes({{"Id", 'C', 4}, {"Name", 'C', 8}, {"CITY", 'C', 6}},
                                           {{" k1 ", "\tAnn ", "北京"}, {"k2", "Bob"},
                                            {"k1", "Cy"}}));
    WriteFile(dir_.File("e.dbf"), DbfBytes({{"Id", 'C', 4}}, {}));
    WriteFile(dir_.File("v30.dbf"), DbfBytes({{"Id", 'C', 4}}, {}, 0x30));
  }
  TempDir dir_;
};

struct ScriptCase {
  const char* label;
  const char* script;
  std::vector<std::string> printed;
};

TEST_F(DbVtsrunTest, ScriptsOnTables) {
  const ScriptCase cases[] = {
      {"handles",
       "r = DbClose(5)\nPrint(r)\n"
       "DbOpen(0, \"m.dbf\", \"\", \"\", \"\", h)\nPrint(h)\n"
       "DbOpen(0, \"e.dbf\", \"\", \"\", \"\", h)\nPrint(h)\n"
       "DbOpen(0, \"m.dbf\", \"\", \"\", \"\", h)\nPrint(h)\n"
       "r = DbClose(0)\nPrint(r)\nr = DbRows(2, k)\nPrint(k)\n"
       "r = DbOpen(0, \"e.dbf\", \"\", \"\", \"\", h)\nPrint(r)\n"
       "r = DbClose(1024)\nPrint(r)\nr = DbClose(5)\nPrint(r)\n"
       "r = DbOpen(0, \"v30.dbf\", \"\", \"\", \"\", h)\nPrint(r)\nPrint(h)\n",
       {"0", "0", "1", "2", "0", "3", "0", "-1", "-2", "-2", "-2"}},
      {"fields by name and by index",
       "DbOpen(0, \"m.dbf\", \"\", \"\", \"\", h)\n"
       "r = DbGetField(h, \"CITY\", 1, v)\nPrint(r)\nPrint(v)\n"
       "r = DbGetField(h, 2, 1, v)\nPrint(r)\nPrint(v)\n"
       "r = DbGetField(h, \"city\", 1, v)\nPrint(r)\n"
       "r = DbGetField(h, 1, 0, v)\nPrint(r)\nr = DbGetField(h, 1, 4, v)\nPrint(r)\n",
       {"2", "北京  ", "2", "北京  ", "-1", "-2", "-2"}},
      {"writes and switching files",
       "DbOpen(0, \"m.dbf\", \"\", \"\", \"\", h)\n"
       "r = DbSetField(h, \"CITY\", 2, \"abc\")\nPrint(r)\n"
       "r = DbSetField(h, 2, 3, \"abcdefghij\")\nPrint(r)\n"
       "DbGetField(h, 2, 2, v)\nPrint(v)\nDbGetField(h, 2, 3, v)\nPrint(v)\n"
       "r = DbSetField(h, \"CITX\", -1, \"x\")\nPrint(r)\nDbRows(h, k)\nPrint(k)\n"
       "r = DbExec(h, \"e.dbf\")\nPrint(r)\nDbRows(h, k)\nPrint(k)\n"
       "r = DbSetField(h, \"Id\", -1, \"new\")\nPrint(r)\n"
       "r = DbExec(h, \"none.dbf\")\nPrint(r)\nr = DbRows(h, k)\nPrint(r)\n",
       {"2", "3", "   abc", "abcdef", "-1", "3", "0", "0", "1", "-5", "-1"}},
      {"maps keyed by row, by a column name and by a column index",
       "DbOpen(0, \"m.dbf\", \"\", \"\", \"\", h)\n"
       "r = DbExecMap(h, \"m.dbf\", m, 0, \"\")\nPrint(r)\nPrint(m)\n"
       "r = DbExecMap(h, \"m.dbf\", m, 1, \"name\")\nPrint(m)\n"
       "r = DbExecMap(h, \"m.dbf\", m, 2, 0)\nPrint(m)\n"
       "r = DbExecMap(h, \"m.dbf\", m, 3, 7)\nPrint(m)\n",
       {"3",
        "{\n1:{\n0:\"k1\",\n1:\"Ann\",\n2:\"北京\"\n},\n2:{\n0:\"k2\",\n1:\"Bob\",\n2:\"\"\n},\n"
        "3:{\n0:\"k1\",\n1:\"Cy\",\n2:\"\"\n}\n}",
        "{\n\"Ann\":{\n\"CITY\":\"北京\",\n\"Id\":\"k1\",\n\"Name\":\"Ann\"\n},\n"
        "\"Bob\":{\n\"CITY\":\"\",\n\"Id\":\"k2\",\n\"Name\":\"Bob\"\n},\n"
        "\"Cy\":{\n\"CITY\":\"\",\n\"Id\":\"k1\",\n\"Name\":\"Cy\"\n}\n}",
        "{\n\"k1\":{\n\"CITY\":\"\",\n\"ID\":\"k1\",\n\"NAME\":\"Cy\"\n},\n"
        "\"k2\":{\n\"CITY\":\"\",\n\"ID\":\"k2\",\n\"NAME\":\"Bob\"\n}\n}",
        "{\n1:{\n\"city\":\"北京\",\n\"id\":\"k1\",\n\"name\":\"Ann\"\n},\n"
        "2:{\n\"city\":\"\",\n\"id\":\"k2\",\n\"name\":\"Bob\"\n},\n"
        "3:{\n\"city\":\"\",\n\"id\":\"k1\",\n\"name\":\"Cy\"\n}\n}"}},
      {"a map of no rows",
       "DbOpen(0, \"m.dbf\", \"\", \"\", \"\", h)\nr = DbExecMap(h, \"m.dbf\", m, 0, \"\")\n"
       "r = DbExecMap(h, \"e.dbf\", m, 1, \"Id\")\nPrint(r)\nPrint(m)\nType(m, k)\nPrint(k)\n"
       "r = DbExecMap(9, \"e.dbf\", m, 1, \"Id\")\nPrint(r)\n",
       {"0", "0", "2", "-2"}},
  };
  for (const ScriptCase& c : cases) {
    SCOPED_TRACE(c.label);
    SetUp();
    const Outcome o = RunScript(dir_, c.script);
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, Printed(c.printed));
  }
}

TEST_F(DbVtsrunTest, TheTableHoldsAtMost1023OpenTables) {
  // Each open table holds a descriptor.
  rlimit files;
  getrlimit(RLIMIT_NOFILE, &files);
  if (files.rlim_max < 1100) GTEST_SKIP() << "fewer than 1100 descriptors allowed";
  const rlim_t saved = files.rlim_cur;
  files.rlim_cur = std::max<rlim_t>(files.rlim_cur, 1100);
  setrlimit(RLIMIT_NOFILE, &files);
  const Outcome o = RunScript(
      dir_,
      "i = 0\nwhile(i < 1023)\n{\nr = DbOpen(0, \"m.dbf\", \"\", \"\", \"\", h)\n"
      "i = i + 1\n}\nPrint(r)\nh = 5\nr = DbOpen(0, \"m.dbf\", \"\", \"\", \"\", h)\n"
      "Print(r)\nPrint(h)\nr = DbClose(7)\nr = DbOpen(0, \"m.dbf\", \"\", \"\", \"\", h)\n"
      "Print(r)\n");
  files.rlim_cur = saved;
  setrlimit(RLIMIT_NOFILE, &files);
  EXPECT_EQ(o.out, Printed({"1022", "-1", "5", "7"}));
  // Boxes go to stderr as UTF-8.
  EXPECT_NE(o.err.find(platform::GbkToUtf8("打开的数据库太多")), std::string::npos) << o.err;
}

// A newcomer's ADO opens: a refused provider and a database that cannot be
// opened each say why on stderr; a statement's error goes to the SQL log
// when its folder exists.
TEST_F(DbVtsrunTest, AdoOpensSayWhyTheyFailAndErrorsReachTheSqlLog) {
  ASSERT_EQ(mkdir(dir_.File("log").c_str(), 0755), 0);
  const Outcome o = RunScript(
      dir_,
      "r = DbOpen(4, \"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=a.mdb\", \"\", \"\", "
      "\"\", h)\nPrint(r)\n"
      "r = DbOpen(4, \"Driver=SQLite3;Database=no/such/folder/x.db\", \"\", \"\", \"\", h)\n"
      "Print(r)\n"
      "r = DbOpen(4, \"Driver=SQLite3;Database=calls.db\", \"\", \"\", \"app\", h)\nPrint(r)\n"
      "r = DbExec(h, \"select * from nowhere\")\nPrint(r)\n");
  EXPECT_EQ(o.out, Printed({"-2", "-2", "0", "-3"}));
  const std::string box = platform::GbkToUtf8("初始化ADO错误...");
  EXPECT_NE(o.err.find(box + ": ADO provider 'Microsoft.Jet.OLEDB.4.0' refused"),
            std::string::npos)
      << o.err;
  EXPECT_NE(o.err.find(box + ": [HY000] [SQLite]"), std::string::npos) << o.err;
  const std::string log = testing_support::ReadFile(dir_.File("log/sqlapp.log")).value_or("");
  EXPECT_NE(log.find("no such table: nowhere"), std::string::npos) << log;
}

TEST_F(DbVtsrunTest, AnUnknownTypeShowsTheBox) {
  const Outcome o = RunScript(dir_, "r = DbOpen(3, \"\", \"\", \"\", \"\", h)\nPrint(r)\n");
  EXPECT_EQ(o.out, Printed({"-2"}));
  EXPECT_NE(o.err.find("Invalid data type"), std::string::npos) << o.err;
}

TEST_F(DbVtsrunTest, TwoProcessesAppendingLoseNoRecord) {
  constexpr int kAppends = 1000;
  WriteFile(dir_.File("a.dbf"), DbfBytes({{"ID", 'C', 8}}, {}));
  for (const char* name : {"p1", "p2"}) {
    WriteFile(dir_.File(std::string(name) + ".vts"),
              "h = 0\ni = 0\nDbOpen(0, \"a.dbf\", \"\", \"\", \"\", h)\n"
              // Both programs are up before either appends.
              "Sleep(0.3)\n"
              "while(i < " + std::to_string(kAppends) + ")\n{\n"
              "DbSetField(h, \"ID\", -1, \"" + name + "\")\ni = i + 1\n}\nreturn(0)\n");
  }
  testing_support::SpawnedProgram p1, p2;
  {
    testing_support::ScopedChdir cd(dir_.path());
    const std::string vtsrun = std::string(VTTEL_TOOLS_DIR) + "/vtsrun";
    ASSERT_TRUE(p1.Start(vtsrun, {"p1.vts"}));
    ASSERT_TRUE(p2.Start(vtsrun, {"p2.vts"}));
  }
  EXPECT_EQ(p1.Wait(60000), 0) << p1.stderr_text();
  EXPECT_EQ(p2.Wait(60000), 0) << p2.stderr_text();
  const std::string records = DbfreadRecords(dir_.File("a.dbf"));
  size_t lines = 0;
  for (char c : records) lines += c == '\n';
  EXPECT_EQ(lines, 2u * kAppends);
}

}  // namespace
}  // namespace services_test
