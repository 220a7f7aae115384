#include "services/db/local_data.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "frame/log.h"
#include "platform/gbk.h"

namespace services {
namespace {

constexpr int32_t kNoColumn = -1;
constexpr int32_t kNoRow = -2;

}  // namespace

int32_t TagFields::Add(std::string_view name, int32_t width) {
  if (width < 0 || width > INT32_MAX - recordWidth) return -1;
  fields.push_back(TagField{std::string(name), recordWidth, width});
  recordWidth += width;
  return 0;
}

TagLocalData::TagLocalData(DbPool& pool, int32_t type, const DbOpenTexts& texts)
    : pool_(pool), connection_(pool.Open(type, texts)) {
  state = connection_;
  closed_ = connection_ < 0;
}

TagLocalData::~TagLocalData() { Close(); }

void TagLocalData::Close() {
  Clear();
  if (closed_) return;
  closed_ = true;
  pool_.Close(connection_);
}

void TagLocalData::Clear() {
  rows_ = 0;
  fields_ = TagFields{};
  records_.reset();
}

int32_t TagLocalData::Exec(std::string_view sql) {
  Clear();
  const int32_t r = pool_.Run(connection_, sql, *this);
  if (r < 0) Clear();
  return r;
}

int32_t TagLocalData::ColName(int32_t index, char* out) {
  out[0] = '\0';
  if (index < 0 || index >= Cols()) return kNoColumn;
  const std::string& name = fields_.fields[static_cast<size_t>(index)].name;
  const size_t n = std::min(name.size(), kDbColNameBytes - 1);
  std::memcpy(out, name.data(), n);
  out[n] = '\0';
  return index;
}

int32_t TagLocalData::ColIndex(std::string_view name) {
  for (size_t i = 0; i < fields_.fields.size(); ++i) {
    if (platform::EqualsIgnoreCaseGbk(fields_.fields[i].name, name)) {
      return static_cast<int32_t>(i);
    }
  }
  return kNoColumn;
}

int32_t TagLocalData::GetValByName(char* out, std::string_view name, int32_t row) {
  out[0] = '\0';
  const int32_t index = ColIndex(name);
  return index < 0 ? kNoColumn : GetValByIndex(out, index, row);
}

int32_t TagLocalData::GetValByIndex(char* out, int32_t index, int32_t row) {
  out[0] = '\0';
  if (index < 0 || index >= Cols()) return kNoColumn;
  int32_t width = 0;
  const char* cell = row >= 1 && row <= rows_ ? FieldAddress(row - 1, index, &width) : nullptr;
  if (cell == nullptr) return kNoRow;
  const size_t n = std::min(static_cast<size_t>(std::max(width, 0)), kDbMaxValueChars);
  std::memcpy(out, cell, n);
  out[n] = '\0';
  return static_cast<int32_t>(n);
}

bool TagLocalData::AllocRecords() {
  if (records_ != nullptr) return true;
  const int64_t size = static_cast<int64_t>(rows_) * fields_.recordWidth;
  if (size <= 0) return false;
  if (size > kLocalDataMaxBytes) {
    frame::LogMsgF("TagLocalData::AllocRecords: %d rows x %d bytes exceed %lld bytes", rows_,
                      fields_.recordWidth, static_cast<long long>(kLocalDataMaxBytes));
    return false;
  }
  records_.reset(new (std::nothrow) char[static_cast<size_t>(size)]());
  if (records_ == nullptr) frame::LogMsg(" new err!");
  return records_ != nullptr;
}

char* TagLocalData::FieldAddress(int32_t row, int32_t field, int32_t* width) {
  *width = 0;
  if (field < 0 || field >= Cols()) return nullptr;
  const TagField& f = fields_.fields[static_cast<size_t>(field)];
  *width = f.width;
  if (records_ == nullptr || row < 0 || row >= rows_) return nullptr;
  const int64_t at = static_cast<int64_t>(row) * fields_.recordWidth + f.offset;
  return records_.get() + at;
}

bool TagLocalData::PutCell(int32_t row, int32_t field, std::string_view text) {
  int32_t width = 0;
  char* cell = FieldAddress(row, field, &width);
  if (cell == nullptr) return false;
  std::memcpy(cell, text.data(), std::min(text.size(), static_cast<size_t>(std::max(width, 0))));
  return true;
}

bool StartLocalCopy(TagDataSet& data, std::string_view sql, TagLocalData& local, int32_t* rows,
                    int32_t* cols, int32_t* result) {
  local.Clear();
  if ((*result = data.Exec(sql)) < 0) {
    local.lastError = data.lastError;
    return false;
  }
  if ((*result = *rows = data.Rows()) <= 0) return false;
  if ((*result = *cols = data.Cols()) <= 0) return false;
  local.SetRows(*rows);
  return true;
}

}  // namespace services
