// TagMySqlData: the back end of "DbOpen(" type 5, a MySQL (MariaDB) server
// through the client library of mysql_client.h. It connects without a
// database; the first "USE " statement reconnects into that database and
// the first "set " statement after it is remembered, so that a reconnect
// (the server gone away or the connection lost, error 2006 or 2013) comes
// back into the same database and setting before the statement is retried
// once. After a failed reconnect every Exec first tries to connect again.
//
// The connection character set is VTTEL_MYSQL_CHARSET (default "latin1":
// bytes pass unconverted, so GBK texts in latin1 columns read as stored).
// Each back end given a log name writes "<name>.log" (db_back_end_log.h).
//
// Ownership: owns its connection, result and log. Thread rules: one thread
// at a time (its script's line thread, or a pooled request's).
#ifndef VTTEL_SERVICES_DB_MYSQL_DATA_H_
#define VTTEL_SERVICES_DB_MYSQL_DATA_H_

#include <string>
#include <string_view>

#include "services/db/data_set.h"
#include "services/db/db_back_end_log.h"

struct st_mysql;
struct st_mysql_res;

namespace services {

struct MySqlApi;

// The widest cell ExecToLocal gives a column.
inline constexpr int32_t kMySqlMaxLocalWidth = 2048;
// Results of ExecToLocal.
inline constexpr int32_t kMySqlNoRecords = -3;
inline constexpr int32_t kMySqlNoField = -4;
// The bound of a connect attempt, in seconds.
inline constexpr unsigned kMySqlConnectTimeoutS = 10;

class TagMySqlData : public TagDataSet {
 public:
  // Connects without a database; state 0, or -1 (no library, or the
  // server refused: the log says why).
  TagMySqlData(std::string_view host, std::string_view user, std::string_view password,
               std::string_view log_name);
  ~TagMySqlData() override;

  int32_t ExecToLocal(std::string_view sql, TagLocalData& local) override;
  // 0 done; a negative code (the client's, negated) on failure; the state
  // when the back end cannot connect.
  int32_t Exec(std::string_view sql) override;
  int32_t Rows() override;
  int32_t Cols() override;
  int32_t ColName(int32_t index, char* out) override;
  int32_t ColIndex(std::string_view name) override;
  int32_t GetValByName(char* out, std::string_view name, int32_t row) override;
  int32_t GetValByIndex(char* out, int32_t index, int32_t row) override;
  // Frees the result and closes the connection.
  void Close() override;

 private:
  // Connects into database (none when empty): 0, or -1 with the state -1.
  int32_t Connect(std::string_view database);
  int32_t Reconnect();
  // The database the remembered "USE " statement names.
  std::string_view UseDatabase() const;
  // Remembers "USE " / "set " statements; reconnects into a new database.
  void NoteStatement(std::string_view sql);
  // Runs one attempt: 0, or the negative code with the failure reported.
  // *lost is set when the failure means the connection is gone.
  int32_t Attempt(std::string_view sql, bool* lost);
  void ReportError(std::string_view sql, std::string_view text);
  void FreeResult();
  // The library when a result of a successful statement is there.
  const MySqlApi* Ready() const;

  const MySqlApi* api_;
  st_mysql* connection_ = nullptr;
  st_mysql_res* result_ = nullptr;
  bool valid_ = false;
  // A reconnect failed: the next Exec connects again first.
  bool reconnectFailed_ = false;
  DbBackEndLog log_;
  std::string useSql_;
  std::string setSql_;
  std::string host_, user_, password_;
};

}  // namespace services

#endif  // VTTEL_SERVICES_DB_MYSQL_DATA_H_
