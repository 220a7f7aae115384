// dBASE III tables through the type 0 back end, against independent
// readers and writers: python3-dbf, python3-dbfread and shapelib's
// dbfcreate / dbfadd / dbfdump. Every table is made at test time.
#include "services/db/dbf_data.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/text_trim.h"
#include "tests/services/db/dbf_fixture.h"
#include "tests/services/statement_harness.h"
#include "tests/test_support.h"

namespace services_test {
namespace {

using services::TagDbf;
using services::TagDbfData;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

const std::vector<DbfColumn> kPeople = {{"NAME", 'C', 6}, {"CITY", 'C', 10}};

class DbfTest : public ::testing::Test {
 protected:
  std::string Table(const std::string& name, const std::string& bytes) {
    WriteFile(dir_.File(name), bytes);
    return name;
  }
  // Every value of a table read by the back end, one line per record,
  // hex of the trimmed texts joined by ",".
  static std::string AllRecords(TagDbfData& d) {
    std::string out;
    for (int32_t row = 1; row <= d.Rows(); ++row) {
      for (int32_t c = 0; c < d.Cols(); ++c) {
        char value[services::kDbValueBytes];
        EXPECT_EQ(d.GetValByIndex(value, c, row), c);
        out += (c ? "," : "") + HexOf(platform::TrimmedView(value));
      }
      out += "\n";
    }
    return out;
  }

  TempDir dir_;
  testing_support::ScopedChdir cd_{dir_.path()};
};

TEST_F(DbfTest, ReadsTablesOfIndependentWriters) {
  const std::vector<std::vector<std::string>> records = {{"Ann", "北京", "30"},
                                                         {"王小二", "Shanghai", "41"}};
  PythonDbfCreate("py.dbf", "NAME C(6); CITY C(10); AGE N(3,0)", records);
  RunTool("/usr/bin/dbfcreate", {"sh.dbf", "-s", "NAME", "6", "-s", "CITY", "10", "-n", "AGE",
                                 "3", "0"});
  for (const auto& r : records) RunTool("/usr/bin/dbfadd", {"sh.dbf", r[0], r[1], r[2]});
  for (const char* file : {"py.dbf", "sh.dbf"}) {
    SCOPED_TRACE(file);
    TagDbfData d(file);
    ASSERT_EQ(d.state, 0);
    EXPECT_EQ(d.Rows(), 2);
    ASSERT_EQ(d.Cols(), 3);
    char name[services::kDbColNameBytes];
    EXPECT_EQ(d.ColName(2, name), 2);
    EXPECT_STREQ(name, "AGE");
    EXPECT_EQ(AllRecords(d), HexRecords(records));
    char value[services::kDbValueBytes];
    EXPECT_EQ(d.GetValByName(value, "CITY", 1), 1);
    EXPECT_EQ(std::string(value), "北京      ") << "the field as stored, blanks included";
  }
}

TEST_F(DbfTest, WritesAreReadBackByIndependentReaders) {
  Table("w.dbf", DbfBytes(kPeople, {{"Ann", "Beijing"}}));
  {
    TagDbfData d("w.dbf");
    ASSERT_EQ(d.state, 0);
    EXPECT_EQ(d.SetValByName("广州", "CITY", 1), 1);
    EXPECT_EQ(d.SetValByIndex("Bob", 0, -1), 2) << "an append gives the new count";
    EXPECT_EQ(d.SetValByName("Cy", "NAME", -1), 3);
    EXPECT_EQ(d.Rows(), 3);
  }
  EXPECT_EQ(DbfreadRecords("w.dbf"),
            HexRecords({{"Ann", "      广州"}, {"   Bob", "      广州"}, {"    Cy", "      广州"}}));
  std::time_t now = std::time(nullptr);
  std::tm today;
  localtime_r(&now, &today);
  char date[16];
  std::strftime(date, sizeof date, "%Y-%m-%d", &today);
  EXPECT_EQ(PythonDbfHeader("w.dbf"), "3 " + std::string(date) + "\n");
  const std::string dump = RunTool("/usr/bin/dbfdump", {"w.dbf"});
  EXPECT_NE(dump.find("\nBob    广州"), std::string::npos) << dump;
  EXPECT_NE(dump.find("\nCy     广州"), std::string::npos) << dump;
  const std::string bytes = ReadFile("w.dbf").value_or("");
  ASSERT_EQ(bytes.size(), 32u + 64u + 1u + 3u * 17u + 1u);
  EXPECT_EQ(bytes.back(), '\x1a');
}

TEST_F(DbfTest, RefusesMalformedFiles) {
  std::string header_short = DbfBytes(kPeople, {}).substr(0, 31);
  std::string header_32 = DbfBytes(kPeople, {});
  header_32[8] = 32;
  header_32[9] = 0;
  std::string past_end = DbfBytes(kPeople, {}).substr(0, 70);
  std::string too_long_fields = DbfBytes(kPeople, {{"a", "b"}});
  too_long_fields[10] = 10;
  std::string zero_record = DbfBytes(kPeople, {});
  zero_record[10] = 0;
  const struct {
    const char* label;
    std::string bytes;
    int32_t status;
  } cases[] = {
      {"version 0x30", DbfBytes(kPeople, {{"a", "b"}}, 0x30), services::kDbfNotDbase},
      {"header under 32 bytes", header_short, services::kDbfCannotOpen},
      {"empty file", "", services::kDbfCannotOpen},
      {"header length 32", header_32, services::kDbfNotDbase},
      {"descriptors past the end", past_end, services::kDbfNotDbase},
      {"fields past the record", too_long_fields, services::kDbfNotDbase},
      {"record length 0", zero_record, services::kDbfNotDbase},
      {"version 0x83", DbfBytes(kPeople, {}, 0x83), 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    Table("bad.dbf", c.bytes);
    TagDbfData d("bad.dbf");
    EXPECT_EQ(d.state, c.status);
    char value[services::kDbValueBytes] = "x";
    EXPECT_EQ(d.GetValByIndex(value, 0, 1), c.status == 0 ? -2 : -1);
    EXPECT_STREQ(value, "");
  }
  EXPECT_EQ(TagDbfData("missing.dbf").state, services::kDbfCannotOpen);
  Table("b.dbf", DbfBytes(kPeople, {}));
  std::string path;
  while (path.size() < 74) path += "./";
  EXPECT_EQ(TagDbfData(path + "b.dbf").state, 0) << "a path of 79 characters";
  EXPECT_EQ(TagDbfData(path + "/b.dbf").state, services::kDbfCannotOpen) << "80 characters";
}

TEST_F(DbfTest, ReadsOnlyRecordsThatExist) {
  Table("p.dbf", DbfBytes(kPeople, {{"Ann", "X"}, {"Bob", "Y"}}));
  TagDbfData d("p.dbf");
  TagDbf dbf("p.dbf");
  for (int32_t row : {0, 3, -1, INT32_MAX}) {
    SCOPED_TRACE(row);
    char value[services::kDbValueBytes] = "x";
    EXPECT_EQ(d.GetValByName(value, "NAME", row), -2);
    EXPECT_STREQ(value, "");
    EXPECT_EQ(d.GetValByIndex(value, 1, row), -2);
    EXPECT_EQ(dbf.ReadRecord(row), services::kDbfNoSuchRecord);
  }
  char value[services::kDbValueBytes];
  EXPECT_EQ(d.GetValByIndex(value, 2, 1), -1) << "a column past the last";
  EXPECT_EQ(d.ColName(2, value), -1);
}

// The header's record count set to count.
std::string WithCount(std::string bytes, uint32_t count) {
  for (int i = 0; i < 4; ++i) bytes[4 + i] = static_cast<char>(count >> (8 * i));
  return bytes;
}

// A header that claims more records than the file holds: the records that
// are there are the table (logged), and an append goes at their end.
TEST_F(DbfTest, AHeaderClaimingMoreRecordsThanTheFileHoldsIsReadAsTheFile) {
  const std::vector<std::vector<std::string>> two = {{"Ann", "X"}, {"Bob", "Y"}};
  const std::string table = DbfBytes(kPeople, two);
  const size_t header_length = 32 + 64 + 1;
  const size_t record_length = 17;
  const std::string no_end_byte = table.substr(0, table.size() - 1);
  const struct {
    const char* label;
    std::string bytes;
    int32_t rows;
    const char* logged;  // nullptr: nothing
  } cases[] = {
      {"a huge count", WithCount(table, 1090519045), 2,
       "claims 1090519045 records, the file holds 2"},
      {"one too many", WithCount(table, 3), 2, "claims 3 records, the file holds 2"},
      {"a cut last record", WithCount(no_end_byte + " Cy   Z", 3), 2,
       "claims 3 records, the file holds 2"},
      {"records claimed, none there", WithCount(DbfBytes(kPeople, {}), 5), 0,
       "claims 5 records, the file holds 0"},
      {"no end byte", no_end_byte, 2, nullptr},
      {"the end byte", table, 2, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    std::filesystem::remove(LogFile::kName);
    LogFile log;
    Table("c.dbf", c.bytes);
    TagDbfData d("c.dbf");
    ASSERT_EQ(d.state, 0);
    EXPECT_EQ(d.Rows(), c.rows);
    char value[services::kDbValueBytes];
    EXPECT_EQ(d.GetValByIndex(value, 0, c.rows + 1), -2);
    EXPECT_EQ(d.SetValByName("Dan", "NAME", c.rows + 1), -2) << "no record to replace";
    EXPECT_EQ(d.SetValByName("Dan", "NAME", -1), c.rows + 1);
    EXPECT_EQ(d.Rows(), c.rows + 1);
    ASSERT_EQ(std::filesystem::file_size("c.dbf"),
              header_length + (c.rows + 1) * record_length + 1);
    std::vector<std::vector<std::string>> want(two.begin(), two.begin() + c.rows);
    want.push_back({"   Dan", ""});
    EXPECT_EQ(DbfreadRecords("c.dbf"), HexRecords(want));
    const std::string text = log.Text();
    if (c.logged != nullptr) {
      EXPECT_NE(text.find(std::string("dBASE table c.dbf: the header ") + c.logged),
                std::string::npos)
          << text;
    } else {
      EXPECT_EQ(text.find("dBASE table"), std::string::npos) << text;
    }
  }
}

TEST_F(DbfTest, SetFieldRightAlignsAndCutsAtTheRight) {
  LogFile log;
  Table("s.dbf", DbfBytes(kPeople, {{"Ann", "X"}}));
  TagDbfData d("s.dbf");
  const struct {
    const char* value;
    const char* stored;
  } cases[] = {{"abc", "   abc"}, {"abcdefghij", "abcdef"}, {"", "      "}, {"abcdef", "abcdef"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(d.SetValByName(c.value, "NAME", 1), 1);
    char value[services::kDbValueBytes];
    d.GetValByIndex(value, 0, 1);
    EXPECT_STREQ(value, c.stored);
  }
  EXPECT_NE(log.Text().find("value of 10 characters cut to 6"), std::string::npos) << log.Text();
  EXPECT_EQ(d.SetValByName(std::string(1001, 'x'), "NAME", 1), -1);
  EXPECT_EQ(d.SetValByName(std::string(1000, 'x'), "NAME", 1), 1);
}

TEST_F(DbfTest, ColumnNamesMatchIgnoringCaseOnlyInColIndex) {
  Table("n.dbf", DbfBytes({{"name", 'C', 4}}, {{"Ann"}}));
  TagDbfData d("n.dbf");
  EXPECT_EQ(d.ColIndex("NAME"), 0);
  EXPECT_EQ(d.ColIndex("AGE"), -1);
  char value[services::kDbValueBytes] = "x";
  EXPECT_EQ(d.GetValByName(value, "NAME", 1), -1);
  EXPECT_STREQ(value, "");
  EXPECT_EQ(d.GetValByName(value, "name", 1), 0);
  EXPECT_STREQ(value, "Ann ");
}

TEST_F(DbfTest, ExecSwitchesToAnotherFile) {
  Table("a.dbf", DbfBytes(kPeople, {{"Ann", "X"}}));
  Table("b.dbf", DbfBytes({{"ID", 'N', 3}}, {{"1"}, {"2"}}));
  TagDbfData d("a.dbf");
  EXPECT_EQ(d.Exec("b.dbf"), 0);
  EXPECT_EQ(d.Rows(), 2);
  EXPECT_EQ(d.Cols(), 1);
  EXPECT_EQ(d.Exec("none.dbf"), services::kDbfCannotOpen);
  EXPECT_EQ(d.Rows(), -1);
}

TEST_F(DbfTest, AnAppendAfterReadingADeletedRecordIsLive) {
  Table("d.dbf", DbfBytes(kPeople, {{"Gone", "X"}, {"Ann", "Y"}}, 0x03, {'*', ' '}));
  TagDbfData d("d.dbf");
  char value[services::kDbValueBytes];
  ASSERT_EQ(d.GetValByIndex(value, 0, 1), 0) << "the deleted record is in the buffer";
  EXPECT_EQ(d.SetValByName("Bob", "NAME", -1), 3);
  EXPECT_EQ(DbfreadRecords("d.dbf"), HexRecords({{"Ann", "Y"}, {"   Bob", "X"}}))
      << "the copy keeps the other fields and is not deleted";
}

TEST_F(DbfTest, AMisspeltFieldWritesNothing) {
  const std::string bytes = DbfBytes(kPeople, {{"Ann", "X"}});
  Table("m.dbf", bytes);
  TagDbfData d("m.dbf");
  for (int32_t row : {-1, 1}) {
    SCOPED_TRACE(row);
    EXPECT_EQ(d.SetValByName("Bob", "NAMX", row), -1);
    EXPECT_EQ(d.SetValByName("Bob", "name", row), -1) << "the exact name only";
    EXPECT_EQ(d.SetValByIndex("Bob", 5, row), -1);
  }
  EXPECT_EQ(ReadFile("m.dbf"), bytes);
}

}  // namespace
}  // namespace services_test
