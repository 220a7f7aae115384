#include "services/db/dbf_data.h"

#include <cstring>

namespace services {
namespace {

constexpr int32_t kNotOpen = -1;
constexpr int32_t kBadRow = -2;

}  // namespace

TagDbfData::TagDbfData(std::string_view path) { state = Exec(path); }

int32_t TagDbfData::Exec(std::string_view path) {
  Close();
  dbf_ = std::make_unique<TagDbf>(path);
  state = dbf_->status();
  return state;
}

void TagDbfData::Close() { dbf_.reset(); }

int32_t TagDbfData::Rows() { return IsOpen() ? dbf_->RecordCount() : kNotOpen; }

int32_t TagDbfData::Cols() { return IsOpen() ? dbf_->field_count() : kNotOpen; }

int32_t TagDbfData::ColName(int32_t index, char* out) {
  out[0] = '\0';
  if (!IsOpen() || !HasField(index)) return kNotOpen;
  const std::string& name = dbf_->field(index).name;
  std::memcpy(out, name.c_str(), name.size() + 1);
  return index;
}

int32_t TagDbfData::ColIndex(std::string_view name) {
  return IsOpen() ? dbf_->FieldNumber(name) - 1 : kNotOpen;
}

int32_t TagDbfData::GetValByName(char* out, std::string_view name, int32_t row) {
  out[0] = '\0';
  if (!IsOpen()) return kNotOpen;
  if (dbf_->ReadRecord(row) != row) return kBadRow;
  return dbf_->GetField(out, name);
}

int32_t TagDbfData::GetValByIndex(char* out, int32_t index, int32_t row) {
  out[0] = '\0';
  if (!IsOpen() || !HasField(index)) return kNotOpen;
  if (dbf_->ReadRecord(row) != row) return kBadRow;
  CopyToValue(out, dbf_->FieldText(index));
  return index;
}

int32_t TagDbfData::SetValByName(std::string_view value, std::string_view name, int32_t row) {
  if (!IsOpen()) return kNotOpen;
  if (row >= 0 && dbf_->ReadRecord(row) != row) return kBadRow;
  if (dbf_->SetField(value, name) < 0) return -1;
  return dbf_->WriteRecord(row);
}

int32_t TagDbfData::SetValByIndex(std::string_view value, int32_t index, int32_t row) {
  if (!IsOpen() || !HasField(index)) return kNotOpen;
  return SetValByName(value, dbf_->field(index).name, row);
}

}  // namespace services
