// TagAdoData: the back end of "DbOpen(" type 4, any database an ADO
// connection string reaches, over ODBC (odbc_connection.h). A query
// ("SELECT ") and plain statements run on the query statement, anything
// else as a stored-procedure call on the procedure statement (ado_sql.h).
// A lost connection is reconnected once, a lock conflict retried once.
// Results are held whole, so counts and moves are exact.
//
// Back ends given a log name share the SQL log, "log\sqlapp.log"
// (SharedSqlLog), and are its users while they live.
//
// Ownership: owns its connection and statements. Thread rules: one thread
// at a time (its script's line thread, or a pooled request's).
#ifndef VTTEL_SERVICES_DB_ADO_DATA_H_
#define VTTEL_SERVICES_DB_ADO_DATA_H_

#include <memory>
#include <string>
#include <string_view>

#include "services/db/ado_sql.h"
#include "services/db/data_set.h"
#include "services/db/db_back_end_log.h"
#include "services/db/odbc_connection.h"

namespace services {

inline constexpr std::string_view kSqlLogPath = "log\\sqlapp.log";

// The SQL log of the process: opened by its first user, closed with the
// last; never destroyed, so back ends that live until exit (the pool's
// members) still write their last line.
DbBackEndLog& SharedSqlLog();

// Results of Exec and ExecToLocal.
inline constexpr int32_t kAdoProviderError = -3;
inline constexpr int32_t kAdoOtherError = -4;
inline constexpr int32_t kAdoCopyError = -5;
inline constexpr int32_t kAdoNoRecords = -3;
// The widest cell ExecToLocal gives a field.
inline constexpr int32_t kAdoMaxLocalWidth = 2048;

class TagAdoData : public TagDataSet {
 public:
  // Connects; state 0, or -1 (the provider refused, with its message in
  // the log and a message box) or -2 (a failure without a message).
  TagAdoData(std::string_view connection_string, std::string_view log_name);
  ~TagAdoData() override;

  int32_t ExecToLocal(std::string_view sql, TagLocalData& local) override;
  int32_t Exec(std::string_view sql) override;
  int32_t Rows() override;
  int32_t Cols() override;
  int32_t ColName(int32_t index, char* out) override;
  int32_t ColIndex(std::string_view name) override;
  int32_t GetValByName(char* out, std::string_view name, int32_t row) override;
  int32_t GetValByIndex(char* out, int32_t index, int32_t row) override;
  // Frees the statements and the connection.
  void Close() override;

 private:
  void Open();
  // An open refused with a message: the SQL log, a message box; state -1.
  void Refuse(const std::string& message);
  void Reconnect();
  // Runs one attempt; throws OdbcError.
  int32_t Attempt(AdoSqlKind kind, std::string_view sql);
  // Records a failure with a message: the result code.
  void ReportError(std::string_view sql, std::string_view message);
  void Log(std::string_view text);
  // The result reads use, or null when there is none usable.
  const OdbcResult* Current() const;
  // A value as the script sees it (the Boolean switch applied).
  std::string ValueText(const OdbcResult& result, int64_t row, size_t col,
                        bool ignore_case) const;

  std::string connectionString_;
  std::unique_ptr<OdbcConnection> connection_;
  std::unique_ptr<OdbcStatement> query_;
  std::unique_ptr<OdbcStatement> procedure_;
  OdbcResult queryResult_;
  OdbcResult procedureResult_;
  bool hasResult_ = false;
  bool onProcedure_ = false;
  int32_t currentRow_ = 1;
  bool ok_ = false;
  bool logReference_ = false;
};

}  // namespace services

#endif  // VTTEL_SERVICES_DB_ADO_DATA_H_
