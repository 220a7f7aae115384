// TagWrnDbData: the back end of "DbOpen(" type 7, the maker's database
// server through its client library (wrndb_client.h). A statement whose
// call fails with a negative result (the connection is lost) reconnects and
// is tried once more; a statement the server refuses (a negative return
// code) gives that code, without a reconnect. After a failed reconnect
// every Exec first tries to connect again. Not poolable.
//
// Each back end given a log name writes "<name>.log" (db_back_end_log.h).
//
// Ownership: owns its connection handle and log. Thread rules: its script's
// line thread only.
#ifndef VTTEL_SERVICES_DB_WRNDB_DATA_H_
#define VTTEL_SERVICES_DB_WRNDB_DATA_H_

#include <string>
#include <string_view>

#include "services/db/data_set.h"
#include "services/db/db_back_end_log.h"

namespace services {

struct WrnDbApi;

// The widest cell ExecToLocal gives a column.
inline constexpr int32_t kWrnDbMaxLocalWidth = 2048;
// Results of ExecToLocal and the value reads.
inline constexpr int32_t kWrnDbNoRecords = -3;
inline constexpr int32_t kWrnDbNoColumn = -4;
inline constexpr int32_t kWrnDbNoRow = -2;

class TagWrnDbData : public TagDataSet {
 public:
  // Connects; state 0, or -1 (no library, or the server refused).
  TagWrnDbData(std::string_view host, int32_t port, std::string_view user,
               std::string_view password, std::string_view log_name);
  ~TagWrnDbData() override;

  int32_t ExecToLocal(std::string_view sql, TagLocalData& local) override;
  // The client's result (0 or more) on success; its negative result, or the
  // server's negative return code, on failure; the state when the back end
  // cannot connect.
  int32_t Exec(std::string_view sql) override;
  int32_t Rows() override;
  int32_t Cols() override;
  int32_t ColName(int32_t index, char* out) override;
  int32_t ColIndex(std::string_view name) override;
  int32_t GetValByName(char* out, std::string_view name, int32_t row) override;
  int32_t GetValByIndex(char* out, int32_t index, int32_t row) override;
  // Closes the connection.
  void Close() override;

 private:
  // Opens the connection; text null at the first connect, "" later.
  int32_t Connect(const char* text);
  int32_t Reconnect();
  // Runs one attempt; *lost is set when the client's result is negative.
  int32_t Attempt(std::string_view sql, bool* lost);
  void ReportError(std::string_view sql, std::string_view text);

  const WrnDbApi* api_;
  int32_t handle_ = 0;
  bool valid_ = false;
  bool reconnectFailed_ = false;
  DbBackEndLog log_;
  std::string host_;
  int32_t port_;
  std::string user_, password_;
  int32_t returnCode_ = 0;
};

}  // namespace services

#endif  // VTTEL_SERVICES_DB_WRNDB_DATA_H_
