#include "services/db/syb_data.h"

#include <cstring>

#include "platform/gbk.h"
#include "services/db/local_data.h"

namespace services {
namespace {
constexpr int32_t kUnusable = -1;
constexpr int32_t kNoColumn = -2;
}  // namespace

TagSybData::TagSybData(std::string_view server, std::string_view user, std::string_view password,
                       std::string_view application)
    : syb_(std::make_unique<TagSyb>(server, user, password, application)) {
  state = syb_->status();
}

TagSybData::~TagSybData() = default;

TagSyb* TagSybData::Usable() const {
  return syb_ != nullptr && syb_->status() >= 0 ? syb_.get() : nullptr;
}

int32_t TagSybData::Exec(std::string_view sql) {
  TagSyb* syb = Usable();
  return syb != nullptr ? syb->Exec(sql) : kUnusable;
}

int32_t TagSybData::Rows() {
  TagSyb* syb = Usable();
  return syb != nullptr ? syb->result().rows : kUnusable;
}

int32_t TagSybData::Cols() {
  TagSyb* syb = Usable();
  return syb != nullptr ? syb->result().cols : kUnusable;
}

int32_t TagSybData::ColName(int32_t index, char* out) {
  TagSyb* syb = Usable();
  if (syb == nullptr) return kUnusable;
  const SybResult& r = syb->result();
  if (index < 0 || index >= r.cols) return kNoColumn;
  const std::string& name = r.columns[static_cast<size_t>(index)].name;
  std::memcpy(out, name.c_str(), name.size() + 1);
  return index;
}

int32_t TagSybData::ColIndex(std::string_view name) {
  TagSyb* syb = Usable();
  if (syb == nullptr) return kUnusable;
  const SybResult& r = syb->result();
  for (int32_t i = 0; i < r.cols; ++i) {
    if (platform::EqualsIgnoreCaseGbk(r.columns[static_cast<size_t>(i)].name, name)) return i;
  }
  return kNoColumn;
}

int32_t TagSybData::GetValByName(char* out, std::string_view name, int32_t row) {
  if (syb_ == nullptr) {
    out[0] = '\0';
    return 0;
  }
  return syb_->GetValByName(out, name, row - 1);
}

int32_t TagSybData::GetValByIndex(char* out, int32_t index, int32_t row) {
  if (syb_ == nullptr) {
    out[0] = '\0';
    return 0;
  }
  return syb_->GetValByIndex(out, index, row - 1);
}

void TagSybData::Close() { syb_.reset(); }

int32_t TagSybData::SetDebug(int32_t mode) {
  if (syb_ != nullptr) syb_->set_trace(mode);
  return mode;
}

int32_t TagSybData::ExecToLocal(std::string_view sql, TagLocalData& local) {
  local.Clear();
  const int32_t result = Exec(sql);
  if (result < 0) return result;
  const int32_t rows = Rows();
  const int32_t cols = Cols();
  if (rows <= 0) return rows;
  if (cols <= 0) return cols;
  const SybResult& r = syb_->result();
  local.SetRows(rows);
  for (const SybColumn& c : r.columns) local.fields().Add(c.name, c.width);
  if (!local.AllocRecords()) return kSybLocalAllocFailed;
  int32_t width = 0;
  char* records = local.FieldAddress(0, 0, &width);
  if (records == nullptr) return kSybLocalAllocFailed;
  std::memcpy(records, r.data.data(), r.data.size());
  return rows;
}

}  // namespace services
