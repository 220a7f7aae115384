#include "services/db/ado_data.h"

#include <algorithm>

#include "frame/settings.h"
#include "platform/gbk.h"
#include "platform/message_service.h"
#include "platform/text_trim.h"
#include "services/db/ado_connection_string.h"
#include "services/db/local_data.h"

namespace services {
namespace {

constexpr int kAttempts = 2;
constexpr int32_t kOpenRefused = -1;
constexpr int32_t kOpenFailed = -2;
// A GBK character takes at most two bytes: the cell of a text column
// declared for n characters (the servers count characters, not bytes), so
// that a full column is copied whole.
constexpr int64_t kGbkBytesPerChar = 2;
// A column of another type gets three times its data size.
constexpr int64_t kOtherWidthFactor = 3;

constexpr std::string_view kNotConnected = "Connect failure: not connected";

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

bool IsConnectFailure(std::string_view m) { return Contains(m, "连接失败") || Contains(m, "Connect"); }
bool IsLockFailure(std::string_view m) { return Contains(m, "死锁") || Contains(m, "Lock"); }

int32_t LocalWidth(const OdbcColumn& column) {
  int64_t width = 0;
  switch (column.typeCode) {
    case kFieldString:
    case kFieldWideString:
      width = column.declaredSize > 0 ? column.declaredSize * kGbkBytesPerChar : column.dataSize;
      break;
    case kFieldLargeBinary: width = column.dataSize; break;
    default: width = column.dataSize * kOtherWidthFactor; break;
  }
  return static_cast<int32_t>(std::clamp<int64_t>(width, 0, kAdoMaxLocalWidth));
}

}  // namespace

DbBackEndLog& SharedSqlLog() {
  static DbBackEndLog* log = new DbBackEndLog(DbBackEndLog::OpenRule::kFirstUser);
  return *log;
}

TagAdoData::TagAdoData(std::string_view connection_string, std::string_view log_name)
    : connectionString_(connection_string) {
  Open();
  if (state < 0) return;
  debug = kDbDebugLogErrors;
  if (!log_name.empty()) {
    name = std::string(log_name);
    SharedSqlLog().Enter(kSqlLogPath);
    logReference_ = true;
    Log("Start.");
  }
  state = 0;
}

TagAdoData::~TagAdoData() {
  Close();
  Log("End.");
  if (logReference_) SharedSqlLog().Leave();
}

void TagAdoData::Open() {
  const OdbcTarget target = MapAdoConnectionString(connectionString_);
  if (target.connection.empty()) {
    Refuse(target.refusal);
    return;
  }
  try {
    connection_ = std::make_unique<OdbcConnection>(target.connection, target.utf8Driver);
    query_ = std::make_unique<OdbcStatement>(*connection_);
    procedure_ = std::make_unique<OdbcStatement>(*connection_);
  } catch (const OdbcError& e) {
    Close();
    const std::string message = e.what();
    if (message.empty()) {
      Log("TagAdoData::Open() Err.");
      state = kOpenFailed;
      return;
    }
    Refuse(message);
  }
}

void TagAdoData::Refuse(const std::string& message) {
  Log(message);
  // The SQL log opens only after a successful open: the message service
  // also puts the text in the system's log (and on stderr without a window).
  platform::ShowMessage(message, "初始化ADO错误...", platform::MessageIcon::kError);
  state = kOpenRefused;
}

void TagAdoData::Close() {
  query_.reset();
  procedure_.reset();
  connection_.reset();
}

void TagAdoData::Reconnect() {
  Log("重连step1...");
  Close();
  Open();
  Log("重连.");
}

void TagAdoData::Log(std::string_view text) { SharedSqlLog().Write(text); }

int32_t TagAdoData::Attempt(AdoSqlKind kind, std::string_view sql) {
  if (connection_ == nullptr) throw OdbcError(std::string(kNotConnected));
  switch (kind) {
    case AdoSqlKind::kQuery:
      onProcedure_ = false;
      hasResult_ = true;
      query_->Execute(sql, true, &queryResult_);
      return 0;
    case AdoSqlKind::kStatement: {
      onProcedure_ = false;
      hasResult_ = false;
      const int64_t count = query_->Execute(sql, false, &queryResult_);
      return static_cast<int32_t>(std::min<int64_t>(count, INT32_MAX));
    }
    case AdoSqlKind::kCall: {
      onProcedure_ = true;
      const ExecCall call = ParseExecCall(sql);
      std::vector<std::string> values;
      for (const std::string& p : call.params) values.push_back(CallParameterValue(p));
      hasResult_ = true;
      procedure_->Call(call.name, values, &procedureResult_);
      return 0;
    }
  }
  return 0;
}

void TagAdoData::ReportError(std::string_view sql, std::string_view message) {
  if (debug == kDbDebugKeepError) {
    lastError = std::string(message);
    return;
  }
  Log(sql);
  Log(message);
}

int32_t TagAdoData::Exec(std::string_view sql_text) {
  currentRow_ = 1;
  const std::string_view sql = platform::TrimmedView(sql_text);
  if (debug == kDbDebugLogSql) Log(sql);
  if (debug == kDbDebugKeepError) lastError.clear();
  const AdoSqlKind kind = ClassifyAdoSql(sql);
  int32_t result = 0;
  for (int attempt = 1; attempt <= kAttempts; ++attempt) {
    ok_ = true;
    result = 0;
    try {
      result = Attempt(kind, sql);
      break;
    } catch (const OdbcError& e) {
      const std::string_view message = e.what();
      if (Contains(message, "return a result set")) break;
      ok_ = false;
      if (message.empty()) {
        ReportError(sql, "...");
        result = kAdoOtherError;
        break;
      }
      ReportError(sql, message);
      result = kAdoProviderError;
      if (IsConnectFailure(message)) {
        Reconnect();
      } else if (!IsLockFailure(message)) {
        break;
      }
    }
  }
  if (kind == AdoSqlKind::kCall && !ok_) hasResult_ = false;
  return result;
}

const OdbcResult* TagAdoData::Current() const {
  if (!ok_ || !hasResult_) return nullptr;
  return onProcedure_ ? &procedureResult_ : &queryResult_;
}

int32_t TagAdoData::Rows() {
  const OdbcResult* result = Current();
  if (result == nullptr) return 0;
  if (onProcedure_) currentRow_ = 1;
  return static_cast<int32_t>(std::min<int64_t>(result->rows, INT32_MAX));
}

int32_t TagAdoData::Cols() {
  const OdbcResult* result = Current();
  return result != nullptr ? static_cast<int32_t>(result->columns.size()) : 0;
}

int32_t TagAdoData::ColName(int32_t index, char* out) {
  out[0] = '\0';
  const OdbcResult* result = Current();
  if (result == nullptr || index < 0 || index >= Cols()) return -1;
  const std::string& col = result->columns[static_cast<size_t>(index)].name;
  const size_t n = std::min(col.size(), kDbColNameBytes - 1);
  col.copy(out, n);
  out[n] = '\0';
  return index;
}

int32_t TagAdoData::ColIndex(std::string_view col) {
  const OdbcResult* result = Current();
  if (result == nullptr) return -1;
  for (size_t i = 0; i < result->columns.size(); ++i) {
    if (platform::EqualsIgnoreCaseGbk(result->columns[i].name, col)) return static_cast<int32_t>(i);
  }
  return -2;
}

int32_t TagAdoData::GetValByName(char* out, std::string_view col, int32_t row) {
  return GetValByIndex(out, ColIndex(col), row);
}

std::string TagAdoData::ValueText(const OdbcResult& result, int64_t row, size_t col,
                                  bool ignore_case) const {
  const std::string& text = result.Cell(row, col);
  if (result.columns[col].typeCode != kFieldBoolean ||
      frame::GetSettings().db_bitfield_is_digit.load(std::memory_order_relaxed) == 0) {
    return text;
  }
  const bool is_true = ignore_case ? platform::EqualsIgnoreCaseGbk(text, "True") : text == "True";
  return is_true ? "1" : "0";
}

int32_t TagAdoData::GetValByIndex(char* out, int32_t index, int32_t row) {
  out[0] = '\0';
  const OdbcResult* result = Current();
  if (result == nullptr || index < 0 || index >= Cols()) return -1;
  if (row < 1 || row > result->rows) {
    Log("TagAdoData: row " + std::to_string(row) + " is outside the result");
    return -1;
  }
  currentRow_ = row;
  CopyToValue(out, ValueText(*result, row - 1, static_cast<size_t>(index), true));
  return index;
}

int32_t TagAdoData::ExecToLocal(std::string_view sql, TagLocalData& local) {
  debug = local.debug;
  int32_t rows = 0, cols = 0, early = 0;
  if (!StartLocalCopy(*this, sql, local, &rows, &cols, &early)) return early;
  const OdbcResult& result = *Current();
  for (const OdbcColumn& column : result.columns) {
    if (local.fields().Add(column.name, LocalWidth(column)) < 0) {
      Log("TagAdoData::ExecToLocal: field " + column.name + " not added");
      return kAdoOtherError;
    }
  }
  if (!local.AllocRecords()) return kAdoNoRecords;
  for (int32_t r = 0; r < rows; ++r) {
    for (int32_t c = 0; c < cols; ++c) {
      local.PutCell(r, c, ValueText(result, r, static_cast<size_t>(c), false));
    }
  }
  currentRow_ = 1;
  return rows;
}

}  // namespace services
