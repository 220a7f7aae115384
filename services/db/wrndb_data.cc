#include "services/db/wrndb_data.h"

#include <algorithm>

#include "services/db/local_data.h"
#include "services/db/wrndb_client.h"

namespace services {
namespace {

constexpr int kAttempts = 2;
constexpr int32_t kConnectFailed = -1;
constexpr int32_t kNoHandle = -1;

}  // namespace

TagWrnDbData::TagWrnDbData(std::string_view host, int32_t port, std::string_view user,
                           std::string_view password, std::string_view log_name)
    : api_(WrnDbLibrary()), log_(log_name), host_(host), port_(port), user_(user),
      password_(password) {
  debug = kDbDebugLogErrors;
  log_.Write("Start.");
  if (api_ == nullptr) {
    state = kConnectFailed;
    log_.Write("Load WrnDbApi.dll fail!");
    return;
  }
  state = Connect(nullptr);
}

TagWrnDbData::~TagWrnDbData() {
  Close();
  log_.Write("End.");
}

int32_t TagWrnDbData::Connect(const char* text) {
  handle_ = api_->open(host_.c_str(), port_, text, user_.c_str(), password_.c_str());
  if (handle_ != 0) return state = 0;
  lastError = "Open:Connect Err";
  log_.WriteF("Failed to connect to database: Error: %s:%d\n", host_.c_str(), port_);
  return state = kConnectFailed;
}

void TagWrnDbData::Close() {
  if (api_ != nullptr && handle_ != 0) api_->close(handle_);
  handle_ = 0;
}

int32_t TagWrnDbData::Reconnect() {
  log_.Write("Reconnecting...");
  Close();
  const int32_t r = Connect("");
  log_.WriteF("Open() is %d.", r);
  reconnectFailed_ = r < 0;
  return r;
}

void TagWrnDbData::ReportError(std::string_view sql, std::string_view text) {
  if (debug == kDbDebugKeepError) {
    lastError = std::string(text);
    return;
  }
  log_.Write(sql);
  log_.Write(text);
}

int32_t TagWrnDbData::Attempt(std::string_view sql, bool* lost) {
  valid_ = true;
  char error[WRNDB_ERROR_BYTES] = "";
  const std::string text(sql);
  const int32_t r = api_->exec(handle_, text.c_str(), &returnCode_, error);
  *lost = r < 0;
  if (r >= 0 && returnCode_ >= 0) return r;
  log_.WriteF("WrnDbExec[%s]: ret=%d, retCode=%d", text.c_str(), r, returnCode_);
  ReportError(sql, std::string("Error: ") + error);
  valid_ = false;
  // A statement the server refused keeps its return code: a result of 0
  // would read as success.
  return r < 0 ? r : returnCode_;
}

int32_t TagWrnDbData::Exec(std::string_view sql) {
  if (debug == kDbDebugKeepError) lastError.clear();
  if (state < 0 && (!reconnectFailed_ || Reconnect() < 0)) return state;
  if (handle_ == 0) return state;
  if (debug == kDbDebugLogSql) log_.Write(sql);
  int32_t result = 0;
  for (int attempt = 1; attempt <= kAttempts; ++attempt) {
    bool lost = false;
    result = Attempt(sql, &lost);
    if (!lost) break;
    // After the second loss the reconnect is still made, for the next
    // statement; there is no third attempt.
    if (Reconnect() < 0) break;
  }
  return result;
}

int32_t TagWrnDbData::Rows() { return handle_ != 0 ? api_->rows(handle_) : 0; }

int32_t TagWrnDbData::Cols() { return handle_ != 0 ? api_->cols(handle_) : 0; }

int32_t TagWrnDbData::ColName(int32_t index, char* out) {
  out[0] = '\0';
  if (handle_ == 0) return kNoHandle;
  int width = 0, type = 0, extra = 0;
  return api_->col_info_by_index(handle_, index, out, &width, &type, &extra);
}

int32_t TagWrnDbData::ColIndex(std::string_view name) {
  if (handle_ == 0) return kNoHandle;
  int width = 0, type = 0, extra = 0;
  return api_->col_info_by_name(handle_, std::string(name).c_str(), &width, &type, &extra);
}

int32_t TagWrnDbData::GetValByName(char* out, std::string_view name, int32_t row) {
  out[0] = '\0';
  if (handle_ == 0) return kNoHandle;
  if (api_->goto_rec(handle_, row) < 0) return kWrnDbNoRow;
  return api_->val_by_name(handle_, std::string(name).c_str(), out);
}

int32_t TagWrnDbData::GetValByIndex(char* out, int32_t index, int32_t row) {
  out[0] = '\0';
  if (handle_ == 0) return kNoHandle;
  if (api_->goto_rec(handle_, row) < 0) return kWrnDbNoRow;
  return api_->val_by_index(handle_, index, out);
}

int32_t TagWrnDbData::ExecToLocal(std::string_view sql, TagLocalData& local) {
  int32_t rows = 0, cols = 0, result = 0;
  if (!StartLocalCopy(*this, sql, local, &rows, &cols, &result)) return result;
  for (int32_t c = 0; c < cols; ++c) {
    char name[WRNDB_NAME_BYTES] = "";
    int width = 0, type = 0, extra = 0;
    if (api_->col_info_by_index(handle_, c, name, &width, &type, &extra) < 0) {
      return kWrnDbNoColumn;
    }
    local.fields().Add(name, std::clamp<int32_t>(width, 0, kWrnDbMaxLocalWidth));
  }
  if (!local.AllocRecords()) return kWrnDbNoRecords;
  if (api_->goto_rec(handle_, 1) < 0) return kWrnDbNoColumn;
  for (int32_t r = 0; r < rows; ++r) {
    for (int32_t c = 0; c < cols; ++c) {
      char value[WRNDB_VALUE_BYTES] = "";
      if (api_->val_by_index(handle_, c, value) >= 0) local.PutCell(r, c, value);
    }
    api_->next(handle_);
  }
  return rows;
}

}  // namespace services
