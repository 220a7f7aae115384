// dBASE tables for the database tests, made at test time: by hand (a
// header, descriptors and records as bytes, for the layouts the peers
// would refuse to write), by python3-dbf and by shapelib's dbfcreate /
// dbfadd; and what the independent readers (python3-dbfread, python3-dbf,
// dbfdump) see in a table. Texts cross to the python peers as hex of their
// GBK bytes.
#ifndef VTTEL_TESTS_SERVICES_DB_DBF_FIXTURE_H_
#define VTTEL_TESTS_SERVICES_DB_DBF_FIXTURE_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/frame/captured_log.h"
#include "tests/platform/spawned_program.h"
#include "tests/services/statement_harness.h"
#include "tests/test_support.h"

namespace services_test {

struct DbfColumn {
  std::string name;
  char type = 'C';
  int length = 0;
};

// The bytes of a dBASE III table: version, columns, records (each record's
// field texts are left-aligned and blank-padded; a record starting with
// '*' in its flag column is deleted), and the end byte.
inline std::string DbfBytes(const std::vector<DbfColumn>& columns,
                            const std::vector<std::vector<std::string>>& records,
                            unsigned char version = 0x03,
                            const std::vector<char>& flags = {}) {
  int record_length = 1;
  for (const DbfColumn& c : columns) record_length += c.length;
  const int header_length = 32 + 32 * static_cast<int>(columns.size()) + 1;
  std::string b(32, '\0');
  b[0] = static_cast<char>(version);
  b[1] = 99;
  b[2] = 1;
  b[3] = 2;
  const uint32_t count = static_cast<uint32_t>(records.size());
  for (int i = 0; i < 4; ++i) b[4 + i] = static_cast<char>(count >> (8 * i));
  b[8] = static_cast<char>(header_length & 0xff);
  b[9] = static_cast<char>(header_length >> 8);
  b[10] = static_cast<char>(record_length & 0xff);
  b[11] = static_cast<char>(record_length >> 8);
  for (const DbfColumn& c : columns) {
    std::string d(32, '\0');
    d.replace(0, c.name.size(), c.name);
    d[11] = c.type;
    d[16] = static_cast<char>(c.length);
    b += d;
  }
  b.push_back('\x0d');
  for (size_t r = 0; r < records.size(); ++r) {
    b.push_back(r < flags.size() ? flags[r] : ' ');
    for (size_t i = 0; i < columns.size(); ++i) {
      std::string cell = i < records[r].size() ? records[r][i] : "";
      cell.resize(static_cast<size_t>(columns[i].length), ' ');
      b += cell;
    }
  }
  b.push_back('\x1a');
  return b;
}

// The process log written to a new file of the current folder at log
// level 1 for the life of the object; Text() flushes it and reads it.
class LogFile : public frame_test::CapturedLog {
 public:
  static constexpr const char* kName = "db_test_log.txt";
  LogFile() : CapturedLog(kName) {}
};

// Runs a program to its end; its stdout (a failure is reported).
inline std::string RunTool(const std::string& program, const std::vector<std::string>& args) {
  testing_support::SpawnedProgram p;
  if (!p.Start(program, args)) {
    ADD_FAILURE() << "cannot start " << program;
    return "";
  }
  if (p.Wait(60000) != 0) ADD_FAILURE() << program << " failed: " << p.stderr_text();
  return p.stdout_text();
}

// python3-dbf makes a dBASE III table in code page 936 with the given
// field list ("NAME C(6); AGE N(3,0)") and records of texts.
inline void PythonDbfCreate(const std::string& path, const std::string& fields,
                            const std::vector<std::vector<std::string>>& records) {
  std::string rows;
  for (const auto& r : records) {
    rows += "[";
    for (const std::string& v : r) rows += "'" + HexOf(v) + "',";
    rows += "],";
  }
  Python("import dbf, warnings\nwarnings.simplefilter('ignore')\n"
         "t = dbf.Table('" + path + "', '" + fields + "', dbf_type='db3', codepage='cp936')\n"
         "t.open(dbf.READ_WRITE)\n"
         "for r in [" + rows + "]:\n"
         "  t.append(tuple(bytes.fromhex(v).decode('gbk') for v in r))\n"
         "t.close()\n");
}

// The records as python3-dbfread reads them (deleted ones left out): one
// line per record, its values' GBK bytes in hex joined by ",".
inline std::string DbfreadRecords(const std::string& path) {
  return Python("import dbfread\n"
                "for r in dbfread.DBF('" + path + "', encoding='gbk', char_decode_errors='strict',"
                " raw=True):\n"
                "  print(','.join(bytes(v).rstrip(b' ').hex() for v in r.values()))\n");
}

// The header as python3-dbf sees it: "count yyyy-mm-dd".
inline std::string PythonDbfHeader(const std::string& path) {
  return Python("import dbf, warnings\nwarnings.simplefilter('ignore')\n"
                "t = dbf.Table('" + path + "')\n"
                "t.open(dbf.READ_ONLY)\n"
                "print(len(t), t.last_update)\n"
                "t.close()\n");
}

// Text lines of GBK values in hex, as DbfreadRecords answers.
inline std::string HexRecords(const std::vector<std::vector<std::string>>& records) {
  std::string out;
  for (const auto& r : records) {
    for (size_t i = 0; i < r.size(); ++i) out += (i ? "," : "") + HexOf(r[i]);
    out += "\n";
  }
  return out;
}

}  // namespace services_test

#endif  // VTTEL_TESTS_SERVICES_DB_DBF_FIXTURE_H_
