#include "services/db/syb.h"

#include <algorithm>
#include <cstring>

#include "platform/gbk.h"

namespace services {
namespace {

// The library's type codes that have widths of their own.
enum SybType : int {
  kImage = 34,
  kUnique = 36,
  kVarBinary = 37,
  kVarChar = 39,
  kBinary = 45,
  kChar = 47,
  kTinyInt = 48,
  kBit = 50,
  kSmallInt = 52,
  kInt = 56,
  kSmallDateTime = 58,
  kReal = 59,
  kMoney = 60,
  kDateTime = 61,
  kFloat = 62,
  kDecimal = 106,
  kNumeric = 108,
  kSmallMoney = 122,
  kBigInt = 127,
};

// The text widths of the fixed kinds.
constexpr int32_t kTinyIntWidth = 3;
constexpr int32_t kSmallIntWidth = 6;
constexpr int32_t kIntWidth = 11;
constexpr int32_t kBigIntWidth = 20;
constexpr int32_t kMoneyWidth = 26;
constexpr int32_t kDateTimeWidth = 27;
constexpr int32_t kFloatWidth = 20;
constexpr int32_t kRealWidth = 15;
constexpr int32_t kUniqueWidth = 36;
// Sign, decimal point and a leading zero beside the digits.
constexpr int32_t kDecimalExtra = 3;
// Without the library's type information a decimal may have 38 digits.
constexpr int32_t kDecimalMaxPrecision = 38;

bool IsUseStatement(std::string_view sql) {
  return sql.size() >= 4 && platform::UpperGbk(sql.substr(0, 4)) == "USE ";
}

// An SQL text in a log line: up to its first zero byte, as the library
// reads it.
std::string LogSql(std::string_view sql) { return std::string(sql.substr(0, sql.find('\0'))); }

bool IsDead(SybProcess* proc) {
  const SybApi* api = GetSybApi();
  return proc == nullptr || (api != nullptr && api->dbdead(proc) != 0);
}

int ErrorHandler(SybProcess* proc, int, int, int oserr, char* dberrstr, char* oserrstr) {
  DbBackEndLog& log = SharedSybLog();
  if (IsDead(proc)) {
    log.Write("DB-Connection status : DEAD!");
    return kSybIntCancel;
  }
  std::string text = "DB-Library error:\n\t" + std::string(dberrstr != nullptr ? dberrstr : "") +
                     "\n";
  if (oserr != kSybOsNoError) {
    text += "Operating-system error:\n\t" + std::string(oserrstr != nullptr ? oserrstr : "") + "\n";
  }
  log.WriteAsIs(text, true);
  // Never INT_EXIT: a failed connection must not end the process.
  return kSybIntCancel;
}

int MessageHandler(SybProcess*, int32_t msgno, int msgstate, int severity, char* msgtext,
                   char* srvname, char* procname, int line) {
  char head[128];
  std::snprintf(head, sizeof head, "Msg %ld, Level %d, State %d : ", static_cast<long>(msgno),
                severity, msgstate);
  std::string text = head;
  if (srvname != nullptr && *srvname != '\0') text += "Server '" + std::string(srvname) + "', ";
  if (procname != nullptr && *procname != '\0') {
    text += "Procedure '" + std::string(procname) + "', ";
  }
  if (line != 0) text += "Line " + std::to_string(line);
  if (msgtext != nullptr && *msgtext != '\0') text += "\n\t" + std::string(msgtext) + "\n\n";
  SharedSybLog().WriteAsIs(text, true);
  return 0;
}

}  // namespace

DbBackEndLog& SharedSybLog() {
  static DbBackEndLog* log = new DbBackEndLog(DbBackEndLog::OpenRule::kWhileClosed);
  return *log;
}

void SybResult::Empty() {
  cols = 0;
  rows = 0;
  recordWidth = 0;
  columns.clear();
  record.clear();
  data.clear();
}

int32_t SybColumnWidth(int type, int32_t length, int32_t precision) {
  int64_t width = length;
  switch (type) {
    case kImage:
    case kVarBinary:
    case kBinary: width = int64_t{length} * 2; break;
    case kVarChar:
    case kChar: width = kSybCharWidth; break;
    case kTinyInt:
    case kBit: width = kTinyIntWidth; break;
    case kSmallInt: width = kSmallIntWidth; break;
    case kInt: width = kIntWidth; break;
    case kBigInt: width = kBigIntWidth; break;
    case kMoney:
    case kSmallMoney: width = kMoneyWidth; break;
    case kDateTime:
    case kSmallDateTime: width = kDateTimeWidth; break;
    case kFloat: width = kFloatWidth; break;
    case kReal: width = kRealWidth; break;
    case kUnique: width = kUniqueWidth; break;
    case kDecimal:
    case kNumeric: width = int64_t{precision} + kDecimalExtra; break;
    default: break;
  }
  return static_cast<int32_t>(std::clamp<int64_t>(width, 0, kSybMaxWidth));
}

TagSyb::TagSyb(std::string_view server, std::string_view user, std::string_view password,
               std::string_view application)
    : api_(GetSybApi()), server_(server.substr(0, kSybServerChars)) {
  DbBackEndLog& log = SharedSybLog();
  const int count = log.Enter(DbLogPath(application), "VtAppServer Started.");
  if (api_ == nullptr) {
    log.Write("Load ntwdblib.dll fail, Must install SQL Server client-tools first.");
    status_ = kSybNoLibrary;
    return;
  }
  log.WriteAsIs("Start SqlServer[" + std::to_string(count) + "] ...\n", false);
  // FreeTDS's dbinit puts its own error handler back (one that may end the
  // process), so ours go in after it, whether or not the log is open.
  api_->dbinit();
  api_->dberrhandle(&ErrorHandler);
  api_->dbmsghandle(&MessageHandler);
  login_ = api_->dblogin();
  if (login_ != nullptr) {
    api_->dbsetlname(login_, std::string(user).c_str(), kSybSetUser);
    api_->dbsetlname(login_, std::string(password).c_str(), kSybSetPassword);
    api_->dbsetlname(login_, std::string(application).c_str(), kSybSetApp);
  }
  status_ = Open() ? kSybConnected : kSybOpenFailed;
}

TagSyb::~TagSyb() {
  result_.Empty();
  if (api_ != nullptr) {
    if (connection_ != nullptr) api_->dbclose(connection_);
    if (login_ != nullptr && api_->dbloginfree != nullptr) api_->dbloginfree(login_);
  }
  SharedSybLog().Leave("VtAppServer Closed.");
}

bool TagSyb::Open() {
  connection_ = login_ != nullptr ? api_->tdsdbopen(login_, server_.c_str(), kSybMsDbLib) : nullptr;
  return connection_ != nullptr;
}

int32_t TagSyb::Reconnect() {
  if (api_ == nullptr) return kSybReopenFailed;
  if (connection_ != nullptr && api_->dbdead(connection_) == 0) return kSybAlive;
  if (connection_ != nullptr) api_->dbclose(connection_);
  const bool ok = Open();
  SharedSybLog().WriteF("ReConnect %s", ok ? "OK" : "Failed");
  if (!ok) return kSybReopenFailed;
  if (!use_.empty()) {
    api_->dbcmd(connection_, use_.c_str());
    api_->dbsqlsend(connection_);
    Fetch(result_);
  }
  return kSybReopened;
}

int32_t TagSyb::SendOnce(std::string_view sql) {
  const std::string text(sql);
  if (api_->dbcmd(connection_, text.c_str()) == kSybSucceed &&
      api_->dbsqlsend(connection_) == kSybSucceed) {
    return kSybSent;
  }
  // A batch that was not sent must not stay in front of the next one.
  if (api_->dbfreebuf != nullptr) api_->dbfreebuf(connection_);
  return kSybSendFailed;
}

int32_t TagSyb::Send(std::string_view sql) {
  DbBackEndLog& log = SharedSybLog();
  for (int attempt = 0;; ++attempt) {
    if (Reconnect() == kSybReopenFailed) return kSybDead;
    if (SendOnce(sql) == kSybSent) {
      if (trace_ != 0) {
        log.Write("--> [" + LogSql(sql) + "]");
      }
      if (use_.empty() && IsUseStatement(sql)) use_ = std::string(sql);
      return kSybSent;
    }
    log.WriteAsIs("Err: [" + LogSql(sql) + "]\n", false);
    if (attempt > 0) return kSybSendFailedAgain;
    if (Reconnect() != kSybReopened) return kSybSendFailed;
  }
}

int32_t TagSyb::Fetch(SybResult& block) {
  if (connection_ == nullptr) return -1;
  bool ok = api_->dbsqlok(connection_) == kSybSucceed;
  block.resultSets = 0;
  while (ok) {
    const int code = api_->dbresults(connection_);
    if (code == kSybNoMoreResults) {
      if (api_->dbhasretstat(connection_) != 0) block.returnStatus = api_->dbretstatus(connection_);
      return 1;
    }
    if (code == kSybSucceed) {
      ok = ReadResultSet(block);
      continue;
    }
    if (trace_ != 0) SharedSybLog().Write("_dbresults Err!");
    ok = false;
  }
  // Results left pending would fail every later statement.
  api_->dbcancel(connection_);
  return -1;
}

bool TagSyb::ReadResultSet(SybResult& block) {
  block.Empty();
  const int cols = std::max(0, api_->dbnumcols(connection_));
  block.columns.resize(static_cast<size_t>(cols));
  for (int i = 0; i < cols; ++i) {
    SybColumn& c = block.columns[static_cast<size_t>(i)];
    const char* name = api_->dbcolname(connection_, i + 1);
    c.name = std::string(name != nullptr ? name : "").substr(0, kSybColNameChars);
    c.type = api_->dbcoltype(connection_, i + 1);
    int32_t precision = kDecimalMaxPrecision;
    if (api_->dbcoltypeinfo != nullptr) {
      if (const SybTypeInfo* info = api_->dbcoltypeinfo(connection_, i + 1)) {
        precision = info->precision;
      }
    }
    c.width = SybColumnWidth(c.type, api_->dbcollen(connection_, i + 1), precision);
    c.offset = block.recordWidth;
    block.recordWidth += c.width;
    api_->dbbind(connection_, i + 1, kSybStringBind, kSybMaxWidth, c.value.data());
  }
  block.cols = cols;
  block.record.assign(static_cast<size_t>(block.recordWidth) + 1, '\0');
  int code = kSybRegRow;
  for (;;) {
    code = api_->dbnextrow(connection_);
    if (code > 0) continue;  // a compute row: not part of the result set
    if (code != kSybRegRow) break;
    if (static_cast<int64_t>(block.data.size()) + block.recordWidth > kSybMaxBlockBytes) {
      SharedSybLog().WriteF("result set above %lld bytes",
                            static_cast<long long>(kSybMaxBlockBytes));
      block.Empty();
      return false;
    }
    for (const SybColumn& c : block.columns) {
      std::memcpy(block.record.data() + c.offset, c.value.data(), static_cast<size_t>(c.width));
    }
    block.data.insert(block.data.end(), block.record.begin(),
                      block.record.begin() + block.recordWidth);
    ++block.rows;
  }
  // Rows a failed fetch left are thrown away. After the last row FreeTDS's
  // dbcanquery would swallow the batch's next result set.
  if (code != kSybNoMoreRows) api_->dbcanquery(connection_);
  ++block.resultSets;
  return true;
}

int32_t TagSyb::Exec(std::string_view sql) {
  result_.Empty();
  result_.returnStatus = kSybNoReturnStatus;
  if (Send(sql) <= 0) return kSybNotSent;
  if (Fetch(result_) == -1) {
    SharedSybLog().Write("'" + LogSql(sql) + "' Err!");
    return kSybResultsFailed;
  }
  return result_.rows;
}

int32_t TagSyb::CopyCell(char* out, int32_t column, int32_t row) {
  const SybResult& r = result_;
  if (r.rows <= 0 || r.cols <= 0 || row < 0 || row >= r.rows || column < 0 || column >= r.cols) {
    out[0] = '\0';
    return 0;
  }
  const SybColumn& c = r.columns[static_cast<size_t>(column)];
  const char* cell = r.data.data() + static_cast<size_t>(row) * r.recordWidth + c.offset;
  std::memcpy(out, cell, static_cast<size_t>(c.width));
  out[c.width] = '\0';
  return 1;
}

int32_t TagSyb::GetValByName(char* out, std::string_view column, int32_t row) {
  for (size_t i = 0; i < result_.columns.size(); ++i) {
    if (platform::EqualsIgnoreCaseGbk(result_.columns[i].name, column)) {
      return CopyCell(out, static_cast<int32_t>(i), row);
    }
  }
  out[0] = '\0';
  return 0;
}

int32_t TagSyb::GetValByIndex(char* out, int32_t column, int32_t row) {
  return CopyCell(out, column, row);
}

}  // namespace services
