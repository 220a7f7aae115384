#include "services/db/dbf.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "frame/log.h"
#include "platform/byte_order.h"
#include "platform/clock.h"
#include "platform/gbk.h"

namespace services {
namespace {

constexpr unsigned char kVersionPlain = 0x03;
constexpr unsigned char kVersionWithMemo = 0x83;
constexpr size_t kCountOffset = 4;
constexpr size_t kHeaderLengthOffset = 8;
constexpr size_t kRecordLengthOffset = 10;
constexpr size_t kDateOffset = 1;
constexpr size_t kFieldNameBytes = 11;
constexpr size_t kFieldLengthOffset = 16;
// The smallest header length: the header and its terminator.
constexpr uint16_t kMinHeaderLength = kDbfHeaderBytes + 1;
constexpr int kYearBase = 1900;

// The descriptor's name: up to its first NUL byte, at most 11 bytes.
std::string DescriptorName(const unsigned char* d) {
  const void* nul = std::memchr(d, 0, kFieldNameBytes);
  const size_t n = nul != nullptr ? static_cast<size_t>(static_cast<const unsigned char*>(nul) - d)
                                  : kFieldNameBytes;
  return std::string(reinterpret_cast<const char*>(d), n);
}

}  // namespace

TagDbf::TagDbf(std::string_view path) {
  if (path.size() > kDbfMaxPathChars) return;
  path_.assign(path);
  status_ = Open();
  if (status_ != 0) file_.Close();
}

int32_t TagDbf::Open() {
  if (!file_.Open(path_)) return kDbfCannotOpen;
  if (file_.ReadAt(0, header_.data(), header_.size()) != static_cast<int64_t>(header_.size())) {
    return kDbfCannotOpen;
  }
  if (header_[0] != kVersionPlain && header_[0] != kVersionWithMemo) return kDbfNotDbase;
  header_length_ = HeaderLength();
  record_length_ = RecordLength();
  if (header_length_ < kMinHeaderLength || record_length_ < 1) return kDbfNotDbase;
  const size_t n = (header_length_ - 1u) / kDbfDescriptorBytes - 1u;
  std::vector<unsigned char> descriptors(n * kDbfDescriptorBytes);
  if (file_.ReadAt(kDbfHeaderBytes, descriptors.data(), descriptors.size()) !=
      static_cast<int64_t>(descriptors.size())) {
    return kDbfNotDbase;
  }
  int32_t offset = 1;
  for (size_t i = 0; i < n; ++i) {
    const unsigned char* d = descriptors.data() + i * kDbfDescriptorBytes;
    DbfField f;
    f.name = DescriptorName(d);
    f.offset = offset;
    f.length = d[kFieldLengthOffset];
    offset += f.length;
    fields_.push_back(std::move(f));
  }
  if (offset > record_length_) return kDbfNotDbase;
  record_.assign(static_cast<size_t>(record_length_) + 1, ' ');
  return 0;
}

uint32_t TagDbf::HeaderCount() const { return platform::LoadLe32(header_.data() + kCountOffset); }
uint16_t TagDbf::HeaderLength() const {
  return platform::LoadLe16(header_.data() + kHeaderLengthOffset);
}
uint16_t TagDbf::RecordLength() const {
  return platform::LoadLe16(header_.data() + kRecordLengthOffset);
}

int32_t TagDbf::RefreshHeader() {
  const int64_t got = file_.ReadAt(0, header_.data(), header_.size());
  if (got < 0) return kDbfSeekFailed;
  if (got != static_cast<int64_t>(header_.size())) return kDbfShortRead;
  // Another writer changed the table's layout: its records no longer fit
  // the buffer.
  if (HeaderLength() != header_length_ || RecordLength() != record_length_) return kDbfShortRead;
  const int64_t size = file_.Size();
  if (size < 0) return kDbfSeekFailed;
  count_ = RecordsInUse(size);
  if (count_ > static_cast<uint32_t>(INT32_MAX)) return kDbfShortRead;
  return 0;
}

uint32_t TagDbf::RecordsInUse(int64_t size) {
  const uint32_t claimed = HeaderCount();
  const int64_t held = size > header_length_ ? (size - header_length_) / record_length_ : 0;
  if (claimed <= held) return claimed;
  if (claimed != logged_claim_ || held != logged_held_) {
    logged_claim_ = claimed;
    logged_held_ = held;
    frame::LogAlwaysF("dBASE table %s: the header claims %u records, the file holds %lld",
                      path_.c_str(), claimed, static_cast<long long>(held));
  }
  return static_cast<uint32_t>(held);
}

int32_t TagDbf::RecordCount() {
  if (status_ != 0) return kDbfSeekFailed;
  const int32_t r = RefreshHeader();
  return r < 0 ? r : static_cast<int32_t>(count_);
}

int32_t TagDbf::ReadRecord(int32_t n) {
  const int32_t count = RecordCount();
  if (count < 0) return count;
  if (n < 1 || n > count) return kDbfNoSuchRecord;
  const int64_t at = header_length_ + static_cast<int64_t>(record_length_) * (n - 1);
  const int64_t got = file_.ReadAt(at, record_.data(), record_length_);
  if (got < 0) return kDbfSeekFailed;
  if (got != record_length_) return kDbfShortRead;
  std::replace(record_.begin(), record_.begin() + record_length_, '\0', ' ');
  record_[record_length_] = '\0';
  return n;
}

int32_t TagDbf::WriteRecord(int32_t n) {
  if (status_ != 0) return kDbfSeekFailed;
  platform::RecordFileLock lock(file_);
  if (!lock.held()) return kDbfSeekFailed;
  return WriteLocked(n);
}

int32_t TagDbf::WriteLocked(int32_t n) {
  const platform::WallTime today = platform::GetClock().Now();
  const int32_t r = RefreshHeader();
  if (r < 0) return r;
  const uint32_t count = count_;
  int32_t result = n;
  int64_t at = 0;
  size_t bytes = record_length_;
  if (n == -1) {
    // The count must stay a record number.
    if (count >= static_cast<uint32_t>(INT32_MAX)) return kDbfNoSuchRecord;
    at = header_length_ + static_cast<int64_t>(record_length_) * count;
    result = static_cast<int32_t>(count + 1);
    platform::StoreLe32(header_.data() + kCountOffset, count + 1);
    // A record read before (deleted or not) may be the model of the new
    // one, but the new record is born live.
    record_[0] = kDbfLiveFlag;
    record_[record_length_] = kDbfEndByte;
    ++bytes;
  } else if (n >= 1 && static_cast<uint32_t>(n) <= count) {
    at = header_length_ + static_cast<int64_t>(record_length_) * (n - 1);
  } else {
    return kDbfNoSuchRecord;
  }
  const int64_t put = file_.WriteAt(at, record_.data(), bytes);
  record_[record_length_] = '\0';
  if (put < 0) return kDbfSeekFailed;
  if (put != static_cast<int64_t>(bytes)) return kDbfShortWrite;
  header_[kDateOffset] = static_cast<unsigned char>(today.year - kYearBase);
  header_[kDateOffset + 1] = static_cast<unsigned char>(today.month);
  header_[kDateOffset + 2] = static_cast<unsigned char>(today.day);
  const int64_t head = file_.WriteAt(0, header_.data(), header_.size());
  if (head < 0) return kDbfSeekFailed;
  if (head != static_cast<int64_t>(header_.size())) return kDbfShortWrite;
  return result;
}

int32_t TagDbf::FindExact(std::string_view name) const {
  for (size_t i = 0; i < fields_.size(); ++i) {
    if (fields_[i].name == name) return static_cast<int32_t>(i);
  }
  return -1;
}

std::string_view TagDbf::FieldText(int32_t index) const {
  const DbfField& f = field(index);
  return std::string_view(record_.data() + f.offset, static_cast<size_t>(f.length));
}

int32_t TagDbf::GetField(char* out, std::string_view name) const {
  const int32_t i = FindExact(name);
  out[0] = '\0';
  if (i < 0) return -1;
  const std::string_view text = FieldText(i);
  std::memcpy(out, text.data(), text.size());
  out[text.size()] = '\0';
  return i;
}

int32_t TagDbf::SetField(std::string_view value, std::string_view name) {
  const int32_t i = FindExact(name);
  if (i < 0 || value.size() > kDbfMaxSetChars) return -1;
  const DbfField& f = fields_[static_cast<size_t>(i)];
  const size_t length = static_cast<size_t>(f.length);
  const size_t k = std::min(value.size(), length);
  char* cell = record_.data() + f.offset;
  std::memset(cell, ' ', length - k);
  std::memcpy(cell + (length - k), value.data(), k);
  if (k < value.size()) {
    frame::LogMsgF("TagDbf::SetField(%s): value of %zu characters cut to %zu", f.name.c_str(),
                   value.size(), k);
  }
  return i;
}

int32_t TagDbf::FieldNumber(std::string_view name) const {
  for (size_t i = 0; i < fields_.size(); ++i) {
    if (platform::EqualsIgnoreCaseGbk(fields_[i].name, name)) return static_cast<int32_t>(i) + 1;
  }
  return 0;
}

}  // namespace services
