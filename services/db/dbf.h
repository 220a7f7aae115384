// TagDbf: one dBASE III table file: its 32-byte header, its field
// descriptors and one record buffer in memory. Records are numbered from 1.
// The header is read again before every record access, so records that
// other openers appended are seen; the layout (header and record length)
// must stay as it was at the open, or the access fails as a short read.
// A header that claims more records than the file holds (a damaged or cut
// table) is taken for the whole records that are there, with a log line:
// they are the table, and an append writes at their end and sets the
// count right.
//
// Every field holds text. The record buffer holds record length + 1 bytes:
// blanks after the open, then the last record read with a terminator.
// WriteRecord holds the file's write lock from its header read to its
// header write, so writers in this process and in others never hand out
// the same record number twice.
//
// Thread rules: one thread at a time per object; any number of objects and
// processes may open the same file.
#ifndef VTTEL_SERVICES_DB_DBF_H_
#define VTTEL_SERVICES_DB_DBF_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/record_file.h"

namespace services {

// Results of the file operations.
inline constexpr int32_t kDbfSeekFailed = -1;
inline constexpr int32_t kDbfShortRead = -2;
inline constexpr int32_t kDbfShortWrite = -3;
inline constexpr int32_t kDbfNoSuchRecord = -4;
inline constexpr int32_t kDbfCannotOpen = -5;
inline constexpr int32_t kDbfNotDbase = -7;

inline constexpr size_t kDbfHeaderBytes = 32;
inline constexpr size_t kDbfDescriptorBytes = 32;
// The longest script path a table may have.
inline constexpr size_t kDbfMaxPathChars = 79;
// SetField refuses longer values.
inline constexpr size_t kDbfMaxSetChars = 1000;
// The byte after the last record.
inline constexpr char kDbfEndByte = 0x1A;
// The deletion flag of a live record.
inline constexpr char kDbfLiveFlag = ' ';

struct DbfField {
  std::string name;    // up to 11 bytes
  int32_t offset = 0;  // in the record (the deletion flag is at 0)
  int32_t length = 0;
};

class TagDbf {
 public:
  // Opens the existing file at a script path for reading and writing;
  // status() tells how it went (the file is closed again on failure).
  explicit TagDbf(std::string_view path);
  TagDbf(const TagDbf&) = delete;
  TagDbf& operator=(const TagDbf&) = delete;

  // 0 open; kDbfCannotOpen (missing, path too long, header short) or
  // kDbfNotDbase (bad version or layout, short descriptors).
  int32_t status() const { return status_; }

  // The records in use from a fresh header; kDbfSeekFailed /
  // kDbfShortRead.
  int32_t RecordCount();
  // Reads record n into the buffer (NUL bytes become blanks): n,
  // kDbfNoSuchRecord outside 1..count, kDbfSeekFailed / kDbfShortRead.
  int32_t ReadRecord(int32_t n);
  // Writes the buffer as record n (1..count), or appends it for n = -1
  // with a live deletion flag and the end byte; stamps today's date into
  // the header: the record number, or a negative code.
  int32_t WriteRecord(int32_t n);
  // The field of exactly this name from the buffer into out (room for its
  // length and a terminator): its index, or -1 and "".
  int32_t GetField(char* out, std::string_view name) const;
  // The field's bytes at index from the buffer.
  std::string_view FieldText(int32_t index) const;
  // Puts value into the buffer's field of exactly this name, right-aligned
  // and cut at the right (a cut is logged): the index, or -1 (no such
  // field, or a value over kDbfMaxSetChars) with the buffer unchanged.
  int32_t SetField(std::string_view value, std::string_view name);
  // 1 + the index of the first field of this name ignoring ASCII case; 0.
  int32_t FieldNumber(std::string_view name) const;

  int32_t field_count() const { return static_cast<int32_t>(fields_.size()); }
  const DbfField& field(int32_t index) const { return fields_.at(static_cast<size_t>(index)); }

 private:
  int32_t Open();
  // Reads the header again and sets count_: 0, or kDbfSeekFailed /
  // kDbfShortRead (also when the layout changed).
  int32_t RefreshHeader();
  // The header's count, or the whole records a file of size bytes holds
  // when that is fewer (logged once for each pair of counts).
  uint32_t RecordsInUse(int64_t size);
  int32_t WriteLocked(int32_t n);
  uint32_t HeaderCount() const;
  uint16_t HeaderLength() const;
  uint16_t RecordLength() const;
  int32_t FindExact(std::string_view name) const;

  platform::RecordFile file_;
  std::array<unsigned char, kDbfHeaderBytes> header_{};
  std::vector<DbfField> fields_;
  int32_t status_ = kDbfCannotOpen;
  std::string path_;
  uint16_t header_length_ = 0;  // as opened
  uint16_t record_length_ = 0;  // as opened
  std::vector<char> record_;    // record length + 1 bytes
  uint32_t count_ = 0;          // records in use, from the last header read
  uint32_t logged_claim_ = 0;   // the counts of the last mismatch logged
  int64_t logged_held_ = -1;
};

}  // namespace services

#endif  // VTTEL_SERVICES_DB_DBF_H_
