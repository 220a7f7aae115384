#include "services/db/odbc_connection.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/codepage.h"

namespace services {
namespace {

// Seconds a connect may take before the driver gives up.
constexpr SQLULEN kLoginTimeoutSeconds = 10;
// UTF-16 units read per SQLGetData call.
constexpr size_t kReadChunkUnits = 1024;
// Units of a diagnostic message.
constexpr SQLSMALLINT kDiagUnits = 1024;
// Units of a column name.
constexpr SQLSMALLINT kNameUnits = 512;
// MariaDB's own codes of a lost server link: gone away, lost during a
// query, and the connector's failed network read and write.
constexpr SQLINTEGER kLostLinkCodes[] = {2006, 2013, 5013, 5014};

std::u16string Wide(std::string_view gbk) { return platform::ToUtf16(platform::CodePage::kGbk, gbk); }

std::string Narrow(const SQLWCHAR* units, size_t count) {
  std::u16string text(count, u'\0');
  std::memcpy(text.data(), units, count * sizeof(SQLWCHAR));
  return platform::FromUtf16(platform::CodePage::kGbk, text);
}

SQLWCHAR* Units(std::u16string& text) {
  static_assert(sizeof(SQLWCHAR) == sizeof(char16_t));
  return reinterpret_cast<SQLWCHAR*>(text.data());
}

// The process's ODBC 3 environment, made on first use.
SQLHENV Environment() {
  static SQLHENV env = [] {
    SQLHENV h = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h))) {
      throw OdbcError("[HY001] no ODBC environment");
    }
    SQLSetEnvAttr(h, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    return h;
  }();
  return env;
}

// The message of the handle's first diagnostic record, in the common form.
std::string Diagnostic(SQLSMALLINT kind, SQLHANDLE handle, bool utf8) {
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  std::string sqlstate, text;
  if (utf8) {
    SQLCHAR state[6] = {};
    SQLCHAR buf[kDiagUnits] = {};
    if (!SQL_SUCCEEDED(SQLGetDiagRec(kind, handle, 1, state, &native, buf, kDiagUnits, &length))) {
      return std::string();
    }
    sqlstate.assign(reinterpret_cast<char*>(state), 5);
    text = platform::Utf8ToGbk(reinterpret_cast<char*>(buf));
  } else {
    SQLWCHAR state[6] = {};
    SQLWCHAR buf[kDiagUnits] = {};
    if (!SQL_SUCCEEDED(SQLGetDiagRecW(kind, handle, 1, state, &native, buf, kDiagUnits, &length))) {
      return std::string();
    }
    sqlstate = Narrow(state, 5);
    text = Narrow(buf, std::min<size_t>(std::max<SQLSMALLINT>(length, 0), kDiagUnits - 1));
  }
  std::string message = "[" + sqlstate + "] " + text;
  if (sqlstate.compare(0, 2, "08") == 0 ||
      std::find(std::begin(kLostLinkCodes), std::end(kLostLinkCodes), native) !=
          std::end(kLostLinkCodes)) {
    return "Connect failure: " + message;
  }
  if (sqlstate == "40001" || sqlstate == "40P01") return "Lock conflict: " + message;
  return message;
}

// Throws the handle's diagnostic unless rc succeeded. A failure without a
// diagnostic throws an empty message.
void Check(SQLRETURN rc, SQLSMALLINT kind, SQLHANDLE handle, bool utf8) {
  if (SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA) return;
  throw OdbcError(Diagnostic(kind, handle, utf8));
}

// A text for the driver: UTF-16 units, or UTF-8 bytes for a narrow driver.
class DriverText {
 public:
  DriverText(std::string_view gbk, bool utf8)
      : utf8_(utf8), narrow_(utf8 ? platform::GbkToUtf8(gbk) : std::string()),
        wide_(utf8 ? std::u16string() : Wide(gbk)) {}
  SQLCHAR* narrow() { return reinterpret_cast<SQLCHAR*>(narrow_.data()); }
  SQLWCHAR* wide() { return Units(wide_); }
  SQLPOINTER data() { return utf8_ ? static_cast<SQLPOINTER>(narrow()) : wide(); }
  // Bytes, and characters in the driver's units.
  SQLLEN bytes() const {
    return static_cast<SQLLEN>(utf8_ ? narrow_.size() : wide_.size() * sizeof(char16_t));
  }
  SQLULEN units() const { return utf8_ ? narrow_.size() : wide_.size(); }

 private:
  bool utf8_;
  std::string narrow_;
  std::u16string wide_;
};

struct ColumnKind {
  int32_t typeCode;
  SQLSMALLINT target;  // the C type read
  int64_t dataSize;    // bytes of a value of the type; 0: the longest value
};

ColumnKind KindOf(SQLSMALLINT type) {
  switch (type) {
    case SQL_CHAR: case SQL_VARCHAR: case SQL_LONGVARCHAR:
      return {kFieldString, SQL_C_WCHAR, 0};
    case SQL_WCHAR: case SQL_WVARCHAR: case SQL_WLONGVARCHAR:
      return {kFieldWideString, SQL_C_WCHAR, 0};
    case SQL_BIT: return {kFieldBoolean, SQL_C_BIT, 2};
    case SQL_BINARY: case SQL_VARBINARY: case SQL_LONGVARBINARY:
      return {kFieldLargeBinary, SQL_C_BINARY, 0};
    case SQL_TINYINT: return {kFieldOther, SQL_C_WCHAR, 1};
    case SQL_SMALLINT: return {kFieldOther, SQL_C_WCHAR, 2};
    case SQL_INTEGER: return {kFieldOther, SQL_C_WCHAR, 4};
    case SQL_BIGINT: return {kFieldOther, SQL_C_WCHAR, 8};
    case SQL_REAL: return {kFieldOther, SQL_C_DOUBLE, 4};
    case SQL_FLOAT: case SQL_DOUBLE: return {kFieldOther, SQL_C_DOUBLE, 8};
    case SQL_NUMERIC: case SQL_DECIMAL: return {kFieldOther, SQL_C_WCHAR, 19};
    case SQL_TYPE_DATE: case SQL_TYPE_TIME: return {kFieldOther, SQL_C_TYPE_TIMESTAMP, 6};
    case SQL_TYPE_TIMESTAMP: return {kFieldOther, SQL_C_TYPE_TIMESTAMP, 16};
    default: return {kFieldOther, SQL_C_WCHAR, 0};
  }
}

std::string FormatDouble(double v) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
  return std::string(buf, r.ptr);
}

std::string FormatTimestamp(const SQL_TIMESTAMP_STRUCT& t) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d-%02u-%02u %02u:%02u:%02u", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return buf;
}

std::string Hex(const std::string& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

// Reads a variable-length value in chunks; false for NULL.
template <typename Unit>
bool ReadChunks(SQLHSTMT stmt, SQLUSMALLINT col, SQLSMALLINT target, bool utf8,
                std::basic_string<Unit>* out) {
  Unit chunk[kReadChunkUnits];
  for (;;) {
    SQLLEN ind = 0;
    const SQLRETURN rc = SQLGetData(stmt, col, target, chunk, sizeof chunk, &ind);
    if (rc == SQL_NO_DATA) return true;
    Check(rc, SQL_HANDLE_STMT, stmt, utf8);
    if (ind == SQL_NULL_DATA) return false;
    const size_t terminator = target == SQL_C_BINARY ? 0 : 1;
    const size_t room = kReadChunkUnits - terminator;
    const bool whole = rc == SQL_SUCCESS && ind != SQL_NO_TOTAL &&
                       static_cast<size_t>(ind) / sizeof(Unit) <= room;
    out->append(chunk, whole ? static_cast<size_t>(ind) / sizeof(Unit) : room);
    if (whole) return true;
  }
}

std::string ReadValue(SQLHSTMT stmt, SQLUSMALLINT col, SQLSMALLINT target, bool utf8) {
  SQLLEN ind = 0;
  switch (target) {
    case SQL_C_BIT: {
      unsigned char bit = 0;
      Check(SQLGetData(stmt, col, SQL_C_BIT, &bit, sizeof bit, &ind), SQL_HANDLE_STMT, stmt, utf8);
      return ind == SQL_NULL_DATA ? std::string() : bit != 0 ? "True" : "False";
    }
    case SQL_C_DOUBLE: {
      double v = 0;
      Check(SQLGetData(stmt, col, SQL_C_DOUBLE, &v, sizeof v, &ind), SQL_HANDLE_STMT, stmt, utf8);
      return ind == SQL_NULL_DATA ? std::string() : FormatDouble(v);
    }
    case SQL_C_TYPE_TIMESTAMP: {
      SQL_TIMESTAMP_STRUCT t{};
      Check(SQLGetData(stmt, col, SQL_C_TYPE_TIMESTAMP, &t, sizeof t, &ind), SQL_HANDLE_STMT,
            stmt, utf8);
      return ind == SQL_NULL_DATA ? std::string() : FormatTimestamp(t);
    }
    case SQL_C_BINARY: {
      std::string bytes;
      return ReadChunks<char>(stmt, col, SQL_C_BINARY, utf8, &bytes) ? Hex(bytes) : std::string();
    }
    default: {
      if (utf8) {
        std::string bytes;
        if (!ReadChunks<char>(stmt, col, SQL_C_CHAR, utf8, &bytes)) return std::string();
        return platform::Utf8ToGbk(bytes);
      }
      std::u16string units;
      if (!ReadChunks<char16_t>(stmt, col, SQL_C_WCHAR, utf8, &units)) return std::string();
      return platform::FromUtf16(platform::CodePage::kGbk, units);
    }
  }
}

}  // namespace

OdbcConnection::OdbcConnection(std::string_view connection_string, bool utf8_driver)
    : utf8_(utf8_driver) {
  SQLHENV env = Environment();
  SQLHDBC dbc = SQL_NULL_HDBC;
  Check(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_HANDLE_ENV, env, false);
  SQLSetConnectAttr(dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(kLoginTimeoutSeconds),
                    0);
  DriverText text(connection_string, utf8_);
  const SQLRETURN rc =
      utf8_ ? SQLDriverConnect(dbc, nullptr, text.narrow(), SQL_NTS, nullptr, 0, nullptr,
                               SQL_DRIVER_NOPROMPT)
            : SQLDriverConnectW(dbc, nullptr, text.wide(), SQL_NTS, nullptr, 0, nullptr,
                                SQL_DRIVER_NOPROMPT);
  if (!SQL_SUCCEEDED(rc)) {
    std::string message = Diagnostic(SQL_HANDLE_DBC, dbc, utf8_);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    throw OdbcError(message);
  }
  dbc_ = dbc;
}

OdbcConnection::~OdbcConnection() {
  SQLDisconnect(dbc_);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
}

OdbcStatement::OdbcStatement(OdbcConnection& connection) : utf8_(connection.utf8_driver()) {
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  Check(SQLAllocHandle(SQL_HANDLE_STMT, connection.handle(), &stmt), SQL_HANDLE_DBC,
        connection.handle(), utf8_);
  stmt_ = stmt;
}

OdbcStatement::~OdbcStatement() { SQLFreeHandle(SQL_HANDLE_STMT, stmt_); }

void OdbcStatement::Reset() {
  SQLFreeStmt(stmt_, SQL_CLOSE);
  SQLFreeStmt(stmt_, SQL_RESET_PARAMS);
}

int64_t OdbcStatement::Execute(std::string_view sql, bool want_result, OdbcResult* result) {
  Reset();
  result->Clear();
  DriverText text(sql, utf8_);
  Check(utf8_ ? SQLExecDirect(stmt_, text.narrow(), SQL_NTS) : SQLExecDirectW(stmt_, text.wide(), SQL_NTS),
        SQL_HANDLE_STMT, stmt_, utf8_);
  if (want_result) {
    ReadResult(result);
    return 0;
  }
  SQLLEN count = 0;
  Check(SQLRowCount(stmt_, &count), SQL_HANDLE_STMT, stmt_, utf8_);
  SQLFreeStmt(stmt_, SQL_CLOSE);
  return std::max<SQLLEN>(count, 0);
}

void OdbcStatement::Call(std::string_view name, const std::vector<std::string>& params,
                         OdbcResult* result) {
  Reset();
  result->Clear();
  std::string call = "{call " + std::string(name) + "(";
  for (size_t i = 0; i < params.size(); ++i) call += i == 0 ? "?" : ",?";
  call += ")}";
  DriverText text(call, utf8_);
  Check(utf8_ ? SQLPrepare(stmt_, text.narrow(), SQL_NTS) : SQLPrepareW(stmt_, text.wide(), SQL_NTS),
        SQL_HANDLE_STMT, stmt_, utf8_);
  std::vector<DriverText> values;
  values.reserve(params.size());
  std::vector<SQLLEN> lengths(params.size());
  for (size_t i = 0; i < params.size(); ++i) {
    DriverText& value = values.emplace_back(params[i], utf8_);
    lengths[i] = value.bytes();
    Check(SQLBindParameter(stmt_, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT,
                           utf8_ ? SQL_C_CHAR : SQL_C_WCHAR, utf8_ ? SQL_VARCHAR : SQL_WVARCHAR,
                           std::max<SQLULEN>(value.units(), 1), 0, value.data(), lengths[i],
                           &lengths[i]),
          SQL_HANDLE_STMT, stmt_, utf8_);
  }
  Check(SQLExecute(stmt_), SQL_HANDLE_STMT, stmt_, utf8_);
  ReadResult(result);
}

std::string OdbcStatement::DescribeColumn(uint16_t col, int16_t* type, uint64_t* size) {
  SQLSMALLINT length = 0, digits = 0, nullable = 0;
  SQLULEN column_size = 0;
  std::string name;
  if (utf8_) {
    SQLCHAR buf[kNameUnits] = {};
    Check(SQLDescribeCol(stmt_, col, buf, kNameUnits, &length, type, &column_size, &digits,
                         &nullable),
          SQL_HANDLE_STMT, stmt_, utf8_);
    name = platform::Utf8ToGbk(reinterpret_cast<char*>(buf));
  } else {
    SQLWCHAR buf[kNameUnits] = {};
    Check(SQLDescribeColW(stmt_, col, buf, kNameUnits, &length, type, &column_size, &digits,
                          &nullable),
          SQL_HANDLE_STMT, stmt_, utf8_);
    name = Narrow(buf, std::min<size_t>(std::max<SQLSMALLINT>(length, 0), kNameUnits - 1));
  }
  *size = column_size;
  return name;
}

// The first result set with columns, skipping the counts before it.
void OdbcStatement::ReadResult(OdbcResult* result) {
  SQLSMALLINT cols = 0;
  for (;;) {
    Check(SQLNumResultCols(stmt_, &cols), SQL_HANDLE_STMT, stmt_, utf8_);
    if (cols > 0) break;
    const SQLRETURN rc = SQLMoreResults(stmt_);
    if (rc == SQL_NO_DATA) throw OdbcError(std::string(kNoResultSetMessage));
    Check(rc, SQL_HANDLE_STMT, stmt_, utf8_);
  }
  std::vector<SQLSMALLINT> targets(cols);
  std::vector<bool> measured(cols);  // data size: the longest value
  for (SQLSMALLINT c = 0; c < cols; ++c) {
    OdbcColumn column;
    SQLSMALLINT type = 0;
    SQLULEN size = 0;
    column.name = DescribeColumn(static_cast<SQLUSMALLINT>(c + 1), &type, &size);
    const ColumnKind kind = KindOf(type);
    column.typeCode = kind.typeCode;
    column.declaredSize = static_cast<int64_t>(std::min<SQLULEN>(size, INT32_MAX));
    column.dataSize = kind.dataSize;
    result->columns.push_back(std::move(column));
    targets[c] = kind.target;
    measured[c] = kind.dataSize == 0;
  }
  for (;;) {
    const SQLRETURN rc = SQLFetch(stmt_);
    if (rc == SQL_NO_DATA) break;
    Check(rc, SQL_HANDLE_STMT, stmt_, utf8_);
    for (SQLSMALLINT c = 0; c < cols; ++c) {
      std::string value = ReadValue(stmt_, c + 1, targets[c], utf8_);
      OdbcColumn& column = result->columns[c];
      if (measured[c]) {
        column.dataSize = std::max(column.dataSize, static_cast<int64_t>(value.size()));
      }
      result->cells.push_back(std::move(value));
    }
    ++result->rows;
  }
  SQLFreeStmt(stmt_, SQL_CLOSE);
}

}  // namespace services
