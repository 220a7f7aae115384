#include "services/db/mysql_data.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/gbk.h"
#include "services/db/local_data.h"
#include "services/db/mysql_client.h"

namespace services {
namespace {

constexpr int kAttempts = 2;
constexpr int32_t kConnectFailed = -1;
constexpr std::string_view kUsePrefix = "USE ";
constexpr std::string_view kSetPrefix = "set ";
// The client's codes for a connection that is gone: "server has gone away"
// and "lost connection to server during query".
constexpr unsigned kServerGone = 2006;
constexpr unsigned kServerLost = 2013;
constexpr const char* kDefaultCharset = "latin1";

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         platform::EqualsIgnoreCaseGbk(text.substr(0, prefix.size()), prefix);
}

bool IsConnectionGone(unsigned code, std::string_view text) {
  return code == kServerGone || code == kServerLost ||
         platform::UpperGbk(text).find("SERVER HAS GONE AWAY") != std::string::npos;
}

const char* Charset() {
  const char* name = std::getenv("VTTEL_MYSQL_CHARSET");
  return name != nullptr && *name != '\0' ? name : kDefaultCharset;
}

}  // namespace

TagMySqlData::TagMySqlData(std::string_view host, std::string_view user,
                           std::string_view password, std::string_view log_name)
    : api_(MySqlLibrary()), log_(log_name), host_(host), user_(user), password_(password) {
  debug = kDbDebugLogErrors;
  log_.Write("Start.");
  if (api_ == nullptr) {
    state = kConnectFailed;
    log_.Write("Load libmySQL.dll fail!");
    return;
  }
  state = Connect({});
}

TagMySqlData::~TagMySqlData() {
  Close();
  log_.Write("End.");
}

int32_t TagMySqlData::Connect(std::string_view database) {
  if (api_ == nullptr) return state = kConnectFailed;
  MYSQL* m = api_->init(nullptr);
  const std::string db(database);
  const char* error = "out of memory";
  if (m != nullptr) {
    const unsigned timeout = kMySqlConnectTimeoutS;
    api_->options(m, MYSQL_SET_CHARSET_NAME, Charset());
    api_->options(m, MYSQL_OPT_CONNECT_TIMEOUT, &timeout);
    if (api_->real_connect(m, host_.c_str(), user_.c_str(), password_.c_str(),
                           database.empty() ? nullptr : db.c_str(), 0, nullptr, 0) != nullptr) {
      connection_ = m;
      state = 0;
      return 0;
    }
    error = api_->error(m);
  }
  lastError = "Open:Connect Err";
  log_.WriteF("Failed to connect to database: Error: %s\n", error);
  if (m != nullptr) api_->close(m);
  return state = kConnectFailed;
}

void TagMySqlData::FreeResult() {
  if (result_ != nullptr) api_->free_result(result_);
  result_ = nullptr;
}

void TagMySqlData::Close() {
  if (api_ == nullptr) return;
  FreeResult();
  if (connection_ != nullptr) api_->close(connection_);
  connection_ = nullptr;
}

std::string_view TagMySqlData::UseDatabase() const {
  return std::string_view(useSql_).substr(std::min(useSql_.size(), kUsePrefix.size()));
}

int32_t TagMySqlData::Reconnect() {
  log_.Write("Reconnecting...");
  Close();
  const int32_t r = Connect(UseDatabase());
  log_.WriteF("Open('%.*s') is %d.", static_cast<int>(UseDatabase().size()),
              UseDatabase().data(), r);
  reconnectFailed_ = r < 0;
  if (r == 0 && !setSql_.empty()) api_->query(connection_, setSql_.c_str());
  return r;
}

void TagMySqlData::NoteStatement(std::string_view sql) {
  if (!useSql_.empty()) {
    if (setSql_.empty() && StartsWithIgnoreCase(sql, kSetPrefix)) setSql_ = std::string(sql);
    return;
  }
  if (!StartsWithIgnoreCase(sql, kUsePrefix)) return;
  // The rest of the statement names the database as it stands (a trailing
  // semicolon or blank included).
  useSql_ = std::string(sql);
  Close();
  const int32_t r = Connect(UseDatabase());
  log_.WriteF("Open('%.*s') is %d.", static_cast<int>(UseDatabase().size()),
              UseDatabase().data(), r);
  reconnectFailed_ = r < 0;
}

void TagMySqlData::ReportError(std::string_view sql, std::string_view text) {
  if (debug == kDbDebugKeepError) {
    lastError = std::string(text);
    return;
  }
  log_.Write(sql);
  log_.Write(text);
}

int32_t TagMySqlData::Attempt(std::string_view sql, bool* lost) {
  valid_ = true;
  FreeResult();
  *lost = false;
  int r = -1;
  if (connection_ != nullptr) {
    r = api_->query(connection_, std::string(sql).c_str());
    if (r == 0) {
      result_ = api_->store_result(connection_);
      // No result is normal for a statement without rows; with an error
      // code set, the rows were lost on the way.
      if (result_ != nullptr || api_->error_number(connection_) == 0) return 0;
    }
  }
  const unsigned code = connection_ != nullptr ? api_->error_number(connection_) : kServerGone;
  const std::string text =
      std::string("Error: ") +
      (connection_ != nullptr ? api_->error(connection_) : "MySQL server has gone away");
  ReportError(sql, text);
  valid_ = false;
  *lost = IsConnectionGone(code, text);
  return r > 0 ? -r : (r < 0 ? r : -1);
}

int32_t TagMySqlData::Exec(std::string_view sql) {
  if (debug == kDbDebugKeepError) lastError.clear();
  if (state < 0 && (!reconnectFailed_ || Reconnect() < 0)) return state;
  if (debug == kDbDebugLogSql) log_.Write(sql);
  NoteStatement(sql);
  if (state < 0) return state;
  int32_t result = 0;
  for (int attempt = 1; attempt <= kAttempts; ++attempt) {
    bool lost = false;
    result = Attempt(sql, &lost);
    if (result == 0 || !lost) break;
    // After the second loss the reconnect is still made, for the next
    // statement; there is no third attempt.
    if (Reconnect() < 0) break;
  }
  return result;
}

const MySqlApi* TagMySqlData::Ready() const {
  return api_ != nullptr && result_ != nullptr && valid_ ? api_ : nullptr;
}

int32_t TagMySqlData::Rows() {
  const MySqlApi* api = Ready();
  return api != nullptr ? static_cast<int32_t>(api->num_rows(result_)) : 0;
}

int32_t TagMySqlData::Cols() {
  const MySqlApi* api = Ready();
  return api != nullptr ? static_cast<int32_t>(api->num_fields(result_)) : 0;
}

int32_t TagMySqlData::ColName(int32_t index, char* out) {
  out[0] = '\0';
  if (api_ == nullptr) return 0;
  const MySqlApi* api = Ready();
  if (api == nullptr || index < 0 || index >= Cols()) return -1;
  api->field_seek(result_, static_cast<MYSQL_FIELD_OFFSET>(index));
  if (const MYSQL_FIELD* field = api->fetch_field(result_); field != nullptr && field->name) {
    const size_t n = std::min(std::strlen(field->name), kDbColNameBytes - 1);
    std::memcpy(out, field->name, n);
    out[n] = '\0';
  }
  return index;
}

int32_t TagMySqlData::ColIndex(std::string_view name) {
  const MySqlApi* api = Ready();
  if (api == nullptr) return -1;
  const int32_t cols = Cols();
  api->field_seek(result_, 0);
  for (int32_t i = 0; i < cols; ++i) {
    const MYSQL_FIELD* field = api->fetch_field(result_);
    if (field != nullptr && field->name != nullptr &&
        platform::EqualsIgnoreCaseGbk(field->name, name)) {
      return i;
    }
  }
  return -2;
}

int32_t TagMySqlData::GetValByName(char* out, std::string_view name, int32_t row) {
  return GetValByIndex(out, ColIndex(name), row);
}

int32_t TagMySqlData::GetValByIndex(char* out, int32_t index, int32_t row) {
  out[0] = '\0';
  const MySqlApi* api = Ready();
  if (api == nullptr || row < 1 || row > Rows() || index < 0 || index >= Cols()) return -1;
  api->data_seek(result_, static_cast<my_ulonglong>(row - 1));
  const MYSQL_ROW values = api->fetch_row(result_);
  if (values == nullptr) {
    if (debug != kDbDebugKeepError) {
      log_.WriteF("GetVar() Error: row=%d, colIndex=%d", row - 1, index);
      log_.Write(api->error(connection_));
    }
    return -2;
  }
  if (values[index] != nullptr) CopyToValue(out, values[index]);
  return index;
}

int32_t TagMySqlData::ExecToLocal(std::string_view sql, TagLocalData& local) {
  int32_t rows = 0, cols = 0, result = 0;
  if (!StartLocalCopy(*this, sql, local, &rows, &cols, &result)) return result;
  for (int32_t c = 0; c < cols; ++c) {
    api_->field_seek(result_, static_cast<MYSQL_FIELD_OFFSET>(c));
    const MYSQL_FIELD* field = api_->fetch_field(result_);
    if (field == nullptr) return kMySqlNoField;
    const auto width = static_cast<int32_t>(
        std::min<unsigned long>(field->length, kMySqlMaxLocalWidth));
    local.fields().Add(field->name != nullptr ? field->name : "", width);
  }
  if (!local.AllocRecords()) return kMySqlNoRecords;
  for (int32_t r = 0; r < rows; ++r) {
    api_->data_seek(result_, static_cast<my_ulonglong>(r));
    const MYSQL_ROW values = api_->fetch_row(result_);
    if (values == nullptr) break;
    for (int32_t c = 0; c < cols; ++c) {
      if (values[c] != nullptr) local.PutCell(r, c, values[c]);
    }
  }
  return rows;
}

}  // namespace services
