// TagLocalData: a whole query result held in memory as fixed-width text
// records: what a script's handle is when the connection pool is on. Exec
// sends the SQL to the pool, where a pooled back end fills this object with
// Clear, fields().Add, SetRows, AllocRecords and the cell writes; all reads
// are then local.
//
// Layout: record r (0-based), field f is the cell at r x record width +
// offset(f), width(f) bytes, zero-filled; a text that fills its cell has no
// terminator. The records block is at most kLocalDataMaxBytes: a larger
// result gets no block (a back end then fails as for a failed allocation).
//
// Ownership: owns its fields and records; the pool is process-wide and not
// owned. Thread rules: filled and read on the requesting line's thread.
#ifndef VTTEL_SERVICES_DB_LOCAL_DATA_H_
#define VTTEL_SERVICES_DB_LOCAL_DATA_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "services/db/data_set.h"
#include "services/db/db_pool.h"

namespace services {

// The largest records block of one result.
inline constexpr int64_t kLocalDataMaxBytes = int64_t{256} << 20;

struct TagField {
  std::string name;
  int32_t offset = 0;
  int32_t width = 0;
};

struct TagFields {
  std::vector<TagField> fields;
  int32_t recordWidth = 0;
  // Appends a field after the last one: 0; -1 (nothing added) for a
  // negative width or a record width past INT32_MAX.
  int32_t Add(std::string_view name, int32_t width);
};

class TagLocalData : public TagDataSet {
 public:
  // Opens a user of the pool's connection for the database; state is the
  // connection number (negative: refused).
  TagLocalData(DbPool& pool, int32_t type, const DbOpenTexts& texts);
  ~TagLocalData() override;

  int32_t Exec(std::string_view sql) override;
  int32_t Rows() override { return rows_; }
  int32_t Cols() override { return static_cast<int32_t>(fields_.fields.size()); }
  int32_t ColName(int32_t index, char* out) override;
  int32_t ColIndex(std::string_view name) override;
  int32_t GetValByName(char* out, std::string_view name, int32_t row) override;
  // Copies the cell (its width, at most kDbMaxValueChars bytes) and a
  // terminator: the number of bytes copied.
  int32_t GetValByIndex(char* out, int32_t index, int32_t row) override;
  // Empties the result and gives the pool user back (once).
  void Close() override;

  // --- filling (the pooled back ends' ExecToLocal) --------------------------
  // No rows, no fields, no records.
  void Clear();
  TagFields& fields() { return fields_; }
  void SetRows(int32_t rows) { rows_ = rows; }
  // A zero-filled block for rows x record width bytes, unless records
  // exist already or the size is not positive; a size above
  // kLocalDataMaxBytes or a failed allocation is logged and gives none.
  // Whether records exist afterwards.
  bool AllocRecords();
  bool HasRecords() const { return records_ != nullptr; }
  // The cell of row (0-based) and field, its width into *width; null
  // without records or outside the result.
  char* FieldAddress(int32_t row, int32_t field, int32_t* width);
  // Copies text into the cell, cut at its width: false without the cell.
  bool PutCell(int32_t row, int32_t field, std::string_view text);

 private:
  DbPool& pool_;
  int32_t connection_;
  bool closed_ = false;
  TagFields fields_;
  int32_t rows_ = 0;
  std::unique_ptr<char[]> records_;
};

// The start every back end's ExecToLocal shares: clears local, runs sql on
// data and, when the result has rows and columns, sets local's row count
// and gives true with them in *rows and *cols. Otherwise false with *result
// the result ExecToLocal gives: the failure of Exec (its last error copied
// to local) or the row or column count that is not positive.
bool StartLocalCopy(TagDataSet& data, std::string_view sql, TagLocalData& local, int32_t* rows,
                    int32_t* cols, int32_t* result);

}  // namespace services

#endif  // VTTEL_SERVICES_DB_LOCAL_DATA_H_
