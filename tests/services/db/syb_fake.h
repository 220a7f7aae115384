// A DB-Library table for the SQL Server back end's tests: one process-wide
// fake server whose answers a test sets up per batch text, which records
// every batch sent, every open and every cancel, and whose connection a
// test can kill or make unopenable.
#ifndef VTTEL_TESTS_SERVICES_DB_SYB_FAKE_H_
#define VTTEL_TESTS_SERVICES_DB_SYB_FAKE_H_

#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "services/db/syb_api.h"

namespace syb_fake {

struct Column {
  std::string name;
  int type = 47;
  int32_t length = 10;
  int32_t precision = 0;
};

struct ResultSet {
  std::vector<Column> columns;
  std::vector<std::vector<std::string>> rows;
  // dbnextrow's code after the rows (-2 no more rows; 0 a failure).
  int end = services::kSybNoMoreRows;
};

struct Answer {
  int sqlok = services::kSybSucceed;
  std::vector<ResultSet> sets;
  // dbresults' code after the sets (2 no more results; 0 a failure).
  int end = services::kSybNoMoreResults;
  std::optional<int32_t> returnStatus;
};

// An answer of result sets; dbresults then gives end.
inline Answer Sets(std::vector<ResultSet> sets, int end = services::kSybNoMoreResults,
                   std::optional<int32_t> status = std::nullopt) {
  Answer a;
  a.sets = std::move(sets);
  a.end = end;
  a.returnStatus = status;
  return a;
}

// An answer whose dbsqlok fails.
inline Answer Refused() {
  Answer a;
  a.sqlok = services::kSybFail;
  return a;
}

struct Server {
  // Setup.
  bool openable = true;
  int sendFailures = 0;  // the next this many dbsqlsend calls fail
  std::map<std::string, Answer> answers;
  // Recorded.
  std::vector<std::string> batches;  // every batch sent
  std::vector<std::string> loginItems;  // "item=value"
  int opens = 0;
  int cancels = 0;
  int canqueries = 0;
  int freedBuffers = 0;
  services::SybErrHandler errHandler = nullptr;
  services::SybMsgHandler msgHandler = nullptr;
  // State.
  bool dead = false;
  std::string buffer;
  const Answer* answer = nullptr;
  size_t set = 0;
  size_t row = 0;
  std::vector<unsigned char*> bound;
};

inline Server& Fake() {
  static Server server;
  return server;
}

// The connection handle the fake gives out (never dereferenced).
inline services::SybProcess* Handle() {
  static char byte;
  return reinterpret_cast<services::SybProcess*>(&byte);
}

inline const ResultSet* CurrentSet() {
  const Server& s = Fake();
  if (s.answer == nullptr || s.set == 0 || s.set > s.answer->sets.size()) return nullptr;
  return &s.answer->sets[s.set - 1];
}

inline const Column* ColumnAt(int column) {
  const ResultSet* set = CurrentSet();
  if (set == nullptr || column < 1 || column > static_cast<int>(set->columns.size())) return nullptr;
  return &set->columns[static_cast<size_t>(column - 1)];
}

// Blank-padded text, as the library binds a value as a string.
inline void PutString(unsigned char* buffer, int32_t length, const std::string& value) {
  std::memset(buffer, ' ', static_cast<size_t>(length - 1));
  std::memcpy(buffer, value.data(), std::min<size_t>(value.size(), static_cast<size_t>(length - 1)));
  buffer[length - 1] = '\0';
}

inline services::SybApi Table() {
  using services::SybLogin;
  using services::SybProcess;
  services::SybApi a{};
  // As FreeTDS's, dbinit puts the library's own error handler back.
  a.dbinit = [] {
    Fake().errHandler = nullptr;
    return 1;
  };
  a.dblogin = [] {
    static char login;
    return reinterpret_cast<SybLogin*>(&login);
  };
  a.dbloginfree = [](SybLogin*) {};
  a.dbsetlname = [](SybLogin*, const char* value, int which) {
    Fake().loginItems.push_back(std::to_string(which) + "=" + value);
    return 1;
  };
  a.tdsdbopen = [](SybLogin*, const char*, int msdblib) -> SybProcess* {
    Server& s = Fake();
    ++s.opens;
    if (!s.openable || msdblib != 1) return nullptr;
    s.dead = false;
    return Handle();
  };
  a.dbclose = [](SybProcess*) {};
  a.dbcmd = [](SybProcess*, const char* sql) {
    Fake().buffer += sql;
    return 1;
  };
  a.dbfreebuf = [](SybProcess*) {
    ++Fake().freedBuffers;
    Fake().buffer.clear();
  };
  a.dbsqlsend = [](SybProcess*) {
    Server& s = Fake();
    if (s.dead) return 0;
    if (s.sendFailures > 0) {
      --s.sendFailures;
      return 0;
    }
    s.batches.push_back(s.buffer);
    static const Answer kEmpty;
    auto it = s.answers.find(s.buffer);
    s.answer = it != s.answers.end() ? &it->second : &kEmpty;
    s.set = 0;
    s.buffer.clear();
    return 1;
  };
  a.dbsqlok = [](SybProcess*) { return Fake().answer != nullptr ? Fake().answer->sqlok : 0; };
  a.dbresults = [](SybProcess*) {
    Server& s = Fake();
    if (s.answer == nullptr) return 0;
    if (s.set < s.answer->sets.size()) {
      ++s.set;
      s.row = 0;
      s.bound.assign(CurrentSet()->columns.size(), nullptr);
      return 1;
    }
    return s.answer->end;
  };
  a.dbhasretstat = [](SybProcess*) -> unsigned char {
    const Server& s = Fake();
    return s.answer != nullptr && s.answer->returnStatus.has_value() ? 1 : 0;
  };
  a.dbretstatus = [](SybProcess*) { return Fake().answer->returnStatus.value_or(0); };
  a.dbnumcols = [](SybProcess*) {
    const ResultSet* set = CurrentSet();
    return set != nullptr ? static_cast<int>(set->columns.size()) : 0;
  };
  a.dbcolname = [](SybProcess*, int c) -> char* {
    const Column* column = ColumnAt(c);
    return column != nullptr ? const_cast<char*>(column->name.c_str()) : nullptr;
  };
  a.dbcoltype = [](SybProcess*, int c) { return ColumnAt(c) != nullptr ? ColumnAt(c)->type : -1; };
  a.dbcollen = [](SybProcess*, int c) { return ColumnAt(c) != nullptr ? ColumnAt(c)->length : -1; };
  a.dbcoltypeinfo = [](SybProcess*, int c) -> services::SybTypeInfo* {
    static services::SybTypeInfo info;
    if (ColumnAt(c) == nullptr) return nullptr;
    info = {ColumnAt(c)->precision, 0};
    return &info;
  };
  a.dbbind = [](SybProcess*, int c, int vartype, int32_t varlen, unsigned char* address) {
    if (ColumnAt(c) == nullptr || vartype != services::kSybStringBind || varlen != 2048) return 0;
    Fake().bound[static_cast<size_t>(c - 1)] = address;
    return 1;
  };
  a.dbnextrow = [](SybProcess*) {
    Server& s = Fake();
    const ResultSet* set = CurrentSet();
    if (set == nullptr) return services::kSybNoMoreRows;
    if (s.row >= set->rows.size()) return set->end;
    const std::vector<std::string>& values = set->rows[s.row++];
    for (size_t i = 0; i < s.bound.size(); ++i) {
      if (s.bound[i] != nullptr) PutString(s.bound[i], 2048, i < values.size() ? values[i] : "");
    }
    return services::kSybRegRow;
  };
  a.dbcanquery = [](SybProcess*) {
    ++Fake().canqueries;
    return 1;
  };
  a.dbcancel = [](SybProcess*) {
    ++Fake().cancels;
    Fake().answer = nullptr;
    return 1;
  };
  a.dbdead = [](SybProcess*) -> unsigned char { return Fake().dead ? 1 : 0; };
  a.dberrhandle = [](services::SybErrHandler h) {
    services::SybErrHandler old = Fake().errHandler;
    Fake().errHandler = h;
    return old;
  };
  a.dbmsghandle = [](services::SybMsgHandler h) {
    services::SybMsgHandler old = Fake().msgHandler;
    Fake().msgHandler = h;
    return old;
  };
  a.dbsetopt = [](SybProcess*, int, const char*, int) { return 1; };
  return a;
}

}  // namespace syb_fake

#endif  // VTTEL_TESTS_SERVICES_DB_SYB_FAKE_H_
