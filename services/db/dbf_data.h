// TagDbfData: the back end of "DbOpen(" type 0, one dBASE III table
// (dbf.h). It has no SQL: Exec opens the file whose path is its text
// (switching the handle to it). Reads take a record by number; writes
// replace one field of a record, or append a record for row -1.
//
// Ownership: owns its TagDbf. Thread rules: one thread at a time.
#ifndef VTTEL_SERVICES_DB_DBF_DATA_H_
#define VTTEL_SERVICES_DB_DBF_DATA_H_

#include <memory>
#include <string_view>

#include "services/db/data_set.h"
#include "services/db/dbf.h"

namespace services {

class TagDbfData : public TagDataSet {
 public:
  // state: the status of opening path (0, or a negative TagDbf code).
  explicit TagDbfData(std::string_view path);

  int32_t Exec(std::string_view path) override;
  int32_t Rows() override;
  int32_t Cols() override;
  int32_t ColName(int32_t index, char* out) override;
  int32_t ColIndex(std::string_view name) override;
  int32_t GetValByName(char* out, std::string_view name, int32_t row) override;
  int32_t GetValByIndex(char* out, int32_t index, int32_t row) override;
  // A misspelt field writes nothing and gives -1.
  int32_t SetValByName(std::string_view value, std::string_view name, int32_t row) override;
  int32_t SetValByIndex(std::string_view value, int32_t index, int32_t row) override;
  void Close() override;

 private:
  bool IsOpen() const { return dbf_ != nullptr && dbf_->status() == 0; }
  bool HasField(int32_t index) const { return index >= 0 && index < dbf_->field_count(); }

  std::unique_ptr<TagDbf> dbf_;
};

}  // namespace services

#endif  // VTTEL_SERVICES_DB_DBF_DATA_H_
