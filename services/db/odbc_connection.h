// OdbcConnection: one connection of the process-wide ODBC 3 environment
// (unixODBC), with the statements the ADO back end runs on it. Every call
// is a wide one: texts go in as GBK, are converted to UTF-16 for the driver
// and come back as GBK.
//
// A result is read whole into an OdbcResult (results that only count rows
// are skipped), so row counts and moves are exact for every driver. Values
// are given as the same texts whatever the driver: Booleans "True"/"False",
// floating numbers "%.15g", dates "YYYY-MM-DD HH:MM:SS", NULL as "".
//
// A driver that takes UTF-8 through its narrow functions is called through
// them instead where the wide ones do not serve: SQLite's has none (the
// driver manager's own conversion follows the process locale), MariaDB's
// cost twice as much.
//
// Failures are OdbcError exceptions whose message is "[SQLSTATE] text",
// prefixed "Connect failure: " for a lost or refused link and "Lock
// conflict: " for a deadlock or serialisation failure.
//
// Ownership: the connection owns its handle; statements borrow it and must
// not outlive it. Thread rules: one thread at a time per connection.
#ifndef VTTEL_SERVICES_DB_ODBC_CONNECTION_H_
#define VTTEL_SERVICES_DB_ODBC_CONNECTION_H_

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace services {

// Field-type codes of the dataset layer the back end sizes columns by.
inline constexpr int32_t kFieldString = 1;
inline constexpr int32_t kFieldWideString = 24;
inline constexpr int32_t kFieldBoolean = 5;
inline constexpr int32_t kFieldLargeBinary = 30;
inline constexpr int32_t kFieldOther = 0;

// The message of a query that gives no result set.
inline constexpr std::string_view kNoResultSetMessage =
    "CommandText does not return a result set";

class OdbcError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct OdbcColumn {
  std::string name;      // GBK
  int32_t typeCode = kFieldOther;
  int64_t declaredSize = 0;  // characters (strings), as the driver declares
  int64_t dataSize = 0;      // bytes of the type's value, or of the longest value
};

// A whole result: rows x columns texts, row-major.
struct OdbcResult {
  std::vector<OdbcColumn> columns;
  std::vector<std::string> cells;
  int64_t rows = 0;
  const std::string& Cell(int64_t row, size_t col) const {
    return cells[static_cast<size_t>(row) * columns.size() + col];
  }
  void Clear() { *this = OdbcResult(); }
};

class OdbcConnection {
 public:
  // Connects with an ODBC connection string (GBK); utf8_driver: the driver
  // takes UTF-8 through the narrow calls. Throws OdbcError.
  OdbcConnection(std::string_view connection_string, bool utf8_driver);
  ~OdbcConnection();
  OdbcConnection(const OdbcConnection&) = delete;
  OdbcConnection& operator=(const OdbcConnection&) = delete;

  void* handle() const { return dbc_; }
  bool utf8_driver() const { return utf8_; }

 private:
  void* dbc_ = nullptr;  // SQLHDBC
  bool utf8_;
};

// A statement handle on a connection, reused for every statement it runs.
class OdbcStatement {
 public:
  // Throws OdbcError.
  explicit OdbcStatement(OdbcConnection& connection);
  ~OdbcStatement();
  OdbcStatement(const OdbcStatement&) = delete;
  OdbcStatement& operator=(const OdbcStatement&) = delete;

  // Runs sql. With want_result the first result set goes into result and
  // a statement without one throws kNoResultSetMessage; without, the rows
  // affected.
  int64_t Execute(std::string_view sql, bool want_result, OdbcResult* result);
  // Runs "{call name(?,...)}" prepared with the parameters as text; the
  // result set into result (none: kNoResultSetMessage is thrown).
  void Call(std::string_view name, const std::vector<std::string>& params, OdbcResult* result);

 private:
  void Reset();
  void ReadResult(OdbcResult* result);
  // The column's name (GBK), SQL type and declared size.
  std::string DescribeColumn(uint16_t col, int16_t* type, uint64_t* size);

  void* stmt_ = nullptr;  // SQLHSTMT
  bool utf8_;
};

}  // namespace services

#endif  // VTTEL_SERVICES_DB_ODBC_CONNECTION_H_
