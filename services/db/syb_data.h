// TagSybData: the back end of "DbOpen(" type 1, Microsoft SQL Server
// through DB-Library (syb.h). The four "DbOpen(" texts are the server, the
// user, the password and the application name (which also names the
// shared log). Rows are numbered from 1 here and from 0 in TagSyb.
//
// Ownership: owns its TagSyb until Close. Thread rules: one thread at a time.
#ifndef VTTEL_SERVICES_DB_SYB_DATA_H_
#define VTTEL_SERVICES_DB_SYB_DATA_H_

#include <memory>
#include <string_view>

#include "services/db/data_set.h"
#include "services/db/syb.h"

namespace services {

// ExecToLocal: the local records could not be allocated.
inline constexpr int32_t kSybLocalAllocFailed = -3;

class TagSybData : public TagDataSet {
 public:
  // state = the client's status (negative: the open failed).
  TagSybData(std::string_view server, std::string_view user, std::string_view password,
             std::string_view application);
  ~TagSybData() override;

  int32_t ExecToLocal(std::string_view sql, TagLocalData& local) override;
  int32_t Exec(std::string_view sql) override;
  int32_t Rows() override;
  int32_t Cols() override;
  int32_t ColName(int32_t index, char* out) override;
  int32_t ColIndex(std::string_view name) override;
  int32_t GetValByName(char* out, std::string_view name, int32_t row) override;
  int32_t GetValByIndex(char* out, int32_t index, int32_t row) override;
  // Deletes the client.
  void Close() override;
  // Sets the client's trace (not the base's debug field): mode.
  int32_t SetDebug(int32_t mode) override;

 private:
  // The client when it exists and connected, else null.
  TagSyb* Usable() const;

  std::unique_ptr<TagSyb> syb_;
};

}  // namespace services

#endif  // VTTEL_SERVICES_DB_SYB_DATA_H_
