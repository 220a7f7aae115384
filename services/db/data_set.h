// TagDataSet: the abstract database back end behind a script's database
// handle. Each "DbOpen(" type has its own subclass; the statements see only
// these operations. Rows are numbered from 1, columns from 0; values and
// column names travel through caller buffers.
//
// Buffers: a value buffer holds kDbValueBytes bytes (a back end writes at
// most kDbMaxValueChars characters and a terminator), a column-name buffer
// kDbColNameBytes. A caller hands every read an emptied buffer.
//
// Ownership: a back end belongs to the script slot that opened it (or to
// the connection pool's member list). Thread rules: used by one thread at a
// time: its script's line thread, or the thread of a pooled request.
#ifndef VTTEL_SERVICES_DB_DATA_SET_H_
#define VTTEL_SERVICES_DB_DATA_SET_H_

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace services {

class TagLocalData;

inline constexpr size_t kDbValueBytes = 4100;
inline constexpr size_t kDbMaxValueChars = 4096;
inline constexpr size_t kDbColNameBytes = 1024;

// Debug modes of SetDebug.
inline constexpr int32_t kDbDebugLogErrors = 0;
inline constexpr int32_t kDbDebugLogSql = 1;
inline constexpr int32_t kDbDebugKeepError = 2;

// The "DbOpen(" type codes.
inline constexpr int32_t kDbTypeDbf = 0;
inline constexpr int32_t kDbTypeSybase = 1;
inline constexpr int32_t kDbTypeAdo = 4;
inline constexpr int32_t kDbTypeMySql = 5;
inline constexpr int32_t kDbTypeServer = 7;

class TagDataSet {
 public:
  TagDataSet() = default;
  virtual ~TagDataSet() = default;
  TagDataSet(const TagDataSet&) = delete;
  TagDataSet& operator=(const TagDataSet&) = delete;

  // Runs sql and copies its whole result into local (the pooled path);
  // the base copies nothing and gives 0.
  virtual int32_t ExecToLocal(std::string_view sql, TagLocalData& local);
  virtual int32_t Exec(std::string_view sql) = 0;
  virtual int32_t Rows() = 0;
  virtual int32_t Cols() = 0;
  // out: a column-name buffer.
  virtual int32_t ColName(int32_t index, char* out) = 0;
  virtual int32_t ColIndex(std::string_view name) = 0;
  // out: a value buffer.
  virtual int32_t GetValByName(char* out, std::string_view name, int32_t row) = 0;
  virtual int32_t GetValByIndex(char* out, int32_t index, int32_t row) = 0;
  // Writes; the base writes nothing and gives 0.
  virtual int32_t SetValByName(std::string_view value, std::string_view name, int32_t row);
  virtual int32_t SetValByIndex(std::string_view value, int32_t index, int32_t row);
  virtual void Close() = 0;
  // Stores the mode and gives it back.
  virtual int32_t SetDebug(int32_t mode);

  // >= 0 usable; < 0 the open failed (set by the subclass's constructor).
  int32_t state = 0;
  // The "DbOpen(" type, stored after a successful open.
  int32_t type = 0;
  int32_t debug = kDbDebugLogErrors;
  // The error text kept in debug mode 2.
  std::string lastError;
  // Pool use: a request runs on this member (cleared without the pool's
  // lock, so it is atomic).
  std::atomic<uint8_t> busy{0};
  // Pool use: a database-selection statement has been sent to it.
  uint8_t useApplied = 0;
  // The log name some back ends keep.
  std::string name;
};

// Copies text into a value buffer (cut at kDbMaxValueChars) with its
// terminator: the number of bytes copied.
size_t CopyToValue(char* out, std::string_view text);

}  // namespace services

#endif  // VTTEL_SERVICES_DB_DATA_SET_H_
