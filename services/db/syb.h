// TagSyb: a client of Microsoft SQL Server through the DB-Library entry
// points (syb_api.h). It sends a statement batch, reads every result set of
// it into a block of fixed-width text records and keeps the last one. A
// connection found dead is opened again before the next statement, the
// first "USE " statement sent is sent again, and one failed send is retried
// after a reconnect.
//
// All SQL Server clients share one log (SharedSybLog) and count as its
// users: "<application name>.log", opened by a client made with a
// non-empty application name while none is open (writing "VtAppServer
// Started.") and closed after "VtAppServer Closed." when the last client
// goes.
//
// Column widths in a record, by the library's type code (never above
// kSybMaxWidth): binary kinds twice the column length, char kinds 256,
// fixed kinds the width of their text, decimal and numeric their precision
// plus 3, others the column length.
//
// Ownership: owns its connection, login and result block. Thread rules: one
// thread at a time; the library's handlers and the log are process-wide.
#ifndef VTTEL_SERVICES_DB_SYB_H_
#define VTTEL_SERVICES_DB_SYB_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "services/db/db_back_end_log.h"
#include "services/db/syb_api.h"

namespace services {

// The widest column of a record, and each column's bound text buffer.
inline constexpr int32_t kSybMaxWidth = 2048;
// The width of a char or varchar column.
inline constexpr int32_t kSybCharWidth = 256;
// A batch that reports no return status keeps this one.
inline constexpr int32_t kSybNoReturnStatus = -65535;
inline constexpr size_t kSybServerChars = 64;
inline constexpr size_t kSybColNameChars = 55;
// The largest row block of one result set; a larger one fails the fetch.
inline constexpr int64_t kSybMaxBlockBytes = int64_t{256} << 20;

// The log of the SQL Server clients; never destroyed, so clients that
// live until exit still write their last line.
DbBackEndLog& SharedSybLog();

// Status of a client.
inline constexpr int32_t kSybConnected = 0;
inline constexpr int32_t kSybOpenFailed = -1;
inline constexpr int32_t kSybNoLibrary = -2;

// Results of Reconnect.
inline constexpr int32_t kSybAlive = 1;
inline constexpr int32_t kSybReopened = 2;
inline constexpr int32_t kSybReopenFailed = 0;
// Results of Send.
inline constexpr int32_t kSybSent = 1;
inline constexpr int32_t kSybSendFailed = -1;
inline constexpr int32_t kSybSendFailedAgain = -2;
inline constexpr int32_t kSybDead = -100;
// Results of Exec besides a row count.
inline constexpr int32_t kSybNotSent = -1;
inline constexpr int32_t kSybResultsFailed = -2;

struct SybColumn {
  std::string name;
  int type = 0;
  int32_t width = 0;
  int32_t offset = 0;
  // The library writes the column's value here as text.
  std::vector<unsigned char> value = std::vector<unsigned char>(kSybMaxWidth);
};

struct SybResult {
  int32_t cols = 0;
  int32_t rows = 0;
  int32_t recordWidth = 0;
  int32_t returnStatus = kSybNoReturnStatus;
  std::vector<SybColumn> columns;
  std::vector<char> record;  // recordWidth + 1 bytes
  std::vector<char> data;    // rows x recordWidth bytes
  int32_t resultSets = 0;

  // No columns, no rows.
  void Empty();
};

// The record width of a column of type with its library length and (for
// decimal and numeric) precision.
int32_t SybColumnWidth(int type, int32_t length, int32_t precision);

class TagSyb {
 public:
  // Opens the connection; status() tells how it went.
  TagSyb(std::string_view server, std::string_view user, std::string_view password,
         std::string_view application);
  ~TagSyb();
  TagSyb(const TagSyb&) = delete;
  TagSyb& operator=(const TagSyb&) = delete;

  int32_t Reconnect();
  int32_t Send(std::string_view sql);
  // 1 every result set read into block; -1 a failure (pending results
  // are cancelled).
  int32_t Fetch(SybResult& block);
  // The row count of the batch's last result set, kSybNotSent or
  // kSybResultsFailed.
  int32_t Exec(std::string_view sql);
  // 1 with the cell's text (row 0-based), or 0 with an empty text. out: at
  // least kSybMaxWidth + 1 bytes.
  int32_t GetValByName(char* out, std::string_view column, int32_t row);
  int32_t GetValByIndex(char* out, int32_t column, int32_t row);

  int32_t status() const { return status_; }
  void set_trace(int32_t trace) { trace_ = trace; }
  int32_t trace() const { return trace_; }
  const SybResult& result() const { return result_; }
  const std::string& use_statement() const { return use_; }

 private:
  bool Open();
  int32_t SendOnce(std::string_view sql);
  bool ReadResultSet(SybResult& block);
  int32_t CopyCell(char* out, int32_t column, int32_t row);

  const SybApi* api_;
  SybProcess* connection_ = nullptr;
  std::string use_;
  int32_t status_ = kSybConnected;
  int32_t trace_ = 0;
  SybResult result_;
  SybLogin* login_ = nullptr;
  std::string server_;
};

}  // namespace services

#endif  // VTTEL_SERVICES_DB_SYB_H_
