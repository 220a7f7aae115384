#include "services/db/db_statements.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/arguments.h"
#include "engine/statement_args.h"
#include "engine/tel_basic.h"
#include "frame/log.h"
#include "frame/settings.h"
#include "platform/gbk.h"
#include "platform/number_text.h"
#include "platform/text_trim.h"
#include "services/db/ado_data.h"
#include "services/db/db_client_libraries.h"
#include "services/db/db_pool.h"
#include "services/db/db_store.h"
#include "services/db/dbf_data.h"
#include "services/db/local_data.h"
#include "services/db/mysql_data.h"
#include "services/db/syb_data.h"
#include "services/db/wrndb_data.h"

namespace services {

using engine::ArgInt;
using engine::ArgStoredInt;
using engine::ArgText;
using engine::BuildStatement;
using engine::StatementBuild;
using engine::TagVar;

namespace {

constexpr int32_t kBadHandle = -1;
constexpr int32_t kEmptySlot = -2;
// "DbExecMap(" key modes naming row entries by column name, upper- or
// lower-cased.
constexpr int32_t kKeyByIndex = 0;
constexpr int32_t kKeyUpper = 2;
constexpr int32_t kKeyLower = 3;
// The port of a type 7 database server named without one.
constexpr int32_t kDbServerDefaultPort = 2013;
// The longest host text of a type 7 open.
constexpr size_t kDbServerHostChars = 511;

// A value buffer of the statements' own.
struct ValueBuffer {
  char bytes[kDbValueBytes];
  ValueBuffer() { bytes[0] = '\0'; }
};

class DbStatement : public engine::ArgsStatement {
 public:
  explicit DbStatement(const StatementBuild& b) : ArgsStatement(b) {}

 protected:
  DatabaseStore* Store() const { return DatabaseStoreOf(Compiling()); }
  // The handle check: the back end into *data, or kBadHandle / kEmptySlot.
  int32_t Lookup(const TagVar& handle, TagDataSet** data) const {
    const int32_t h = ArgInt(handle);
    if (h < 0 || h >= kDbSlots) return kBadHandle;
    DatabaseStore* store = Store();
    *data = store != nullptr ? store->Find(h) : nullptr;
    return *data != nullptr ? 0 : kEmptySlot;
  }
  int32_t OpenCount() const {
    const DatabaseStore* store = Store();
    return store != nullptr ? store->count() : 0;
  }
  void ShowBox(std::string_view text, std::string_view detail) const {
    if (engine::TagTelBasic* script = Compiling()) script->ShowError(lineNumber, text, detail);
  }
};

// "DbOpen(" (type, four texts, out handle).
class TagDbOpen : public DbStatement {
 public:
  using DbStatement::DbStatement;
  int32_t Execute() override {
    const int32_t result = Open();
    if (result != kDbOpenTooMany) handle_->AssignInt(result);
    return result;
  }

 private:
  int32_t Open() {
    const int32_t type = ArgInt(Argument(0));
    DatabaseStore* store = Store();
    const int32_t slot = store != nullptr ? store->FirstFree() : -1;
    if (slot < 0 || store->count() + 1 > kDbMaxOpen) {
      ShowBox("打开的数据库太多", "运行错误");
      return kDbOpenTooMany;
    }
    std::unique_ptr<TagDataSet> data = NewBackEnd(type);
    if (data == nullptr || data->state < 0) return kDbOpenFailed;
    data->type = type;
    store->Put(slot, std::move(data));
    return slot;
  }

  DbOpenTexts Texts() const {
    return {ArgText(Argument(1)), ArgText(Argument(2)), ArgText(Argument(3)),
            ArgText(Argument(4))};
  }

  std::unique_ptr<TagDataSet> NewBackEnd(int32_t type) {
    if (type == kDbTypeDbf) return std::make_unique<TagDbfData>(ArgText(Argument(1)));
    if (frame::GetSettings().db_max_conn.load(std::memory_order_relaxed) >= 1) {
      if (type == kDbTypeServer) {
        frame::LogAlwaysF("DbOpen: type %d cannot be pooled", type);
        return nullptr;
      }
      return std::make_unique<TagLocalData>(GetDbPool(), type, Texts());
    }
    switch (type) {
      case kDbTypeAdo:
        return std::make_unique<TagAdoData>(ArgText(Argument(1)), ArgText(Argument(4)));
      case kDbTypeSybase:
        return std::make_unique<TagSybData>(ArgText(Argument(1)), ArgText(Argument(2)),
                                            ArgText(Argument(3)), ArgText(Argument(4)));
      case kDbTypeMySql:
        return std::make_unique<TagMySqlData>(ArgText(Argument(1)), ArgText(Argument(2)),
                                              ArgText(Argument(3)), ArgText(Argument(4)));
      case kDbTypeServer:
        return OpenServer();
      default:
        ShowBox("Invalid data type", "Runtime Error");
        return nullptr;
    }
  }

  // The database server is named "host" or "host:port".
  std::unique_ptr<TagDataSet> OpenServer() {
    std::string host = std::string(ArgText(Argument(1))).substr(0, kDbServerHostChars);
    int32_t port = kDbServerDefaultPort;
    if (const size_t colon = host.find(':'); colon != std::string::npos) {
      port = platform::AtoL(std::string_view(host).substr(colon + 1));
      host.resize(colon);
    }
    return std::make_unique<TagWrnDbData>(host, port, ArgText(Argument(2)), ArgText(Argument(3)),
                                          ArgText(Argument(4)));
  }

  TagVar* handle_ = &Argument(5);
};

// "DbExec(" (handle, SQL).
class TagDbExec : public DbStatement {
 public:
  using DbStatement::DbStatement;
  int32_t Execute() override {
    TagDataSet* data = nullptr;
    const int32_t h = ArgInt(Argument(0));
    if (const int32_t bad = Lookup(Argument(0), &data); bad < 0) {
      frame::LogMsgF("DbExec: ret=%d, i=%d, dbCount=%d", bad, h, OpenCount());
      return bad;
    }
    const int32_t r = data->Exec(ArgText(Argument(1)));
    Store()->lastDbError = data->lastError;
    if (r < 0) frame::LogMsgF("DbExec: ret=%d, i=%d, dbCount=%d", r, h, OpenCount());
    return r;
  }
};

// "DbExecMap(" (handle, SQL, map variable, key mode, key column).
class TagDbExecMap : public DbStatement {
 public:
  using DbStatement::DbStatement;
  int32_t Execute() override {
    TagDataSet* data = nullptr;
    if (const int32_t bad = Lookup(Argument(0), &data); bad < 0) return bad;
    const int32_t r = data->Exec(ArgText(Argument(1)));
    if (r < 0) return r;
    map_->AssignInt(0);
    const int32_t rows = data->Rows();
    if (rows < 1) return rows;
    const int32_t mode = ArgInt(Argument(3));
    const int32_t cols = data->Cols();
    const std::vector<std::string> names = ColumnNames(*data, mode, cols);
    int32_t key_column = KeyColumn(*data);
    if (key_column < 0 || key_column >= cols) key_column = -1;
    for (int32_t row = 1; row <= rows; ++row) FillRow(*data, mode, names, key_column, row);
    return rows;
  }

 private:
  int32_t KeyColumn(TagDataSet& data) const {
    const TagVar& key = Argument(4);
    if (key.kind != engine::kVarString) return ArgInt(key);
    const std::string_view name = ArgText(key);
    return name.empty() ? -1 : data.ColIndex(name);
  }

  static std::vector<std::string> ColumnNames(TagDataSet& data, int32_t mode, int32_t cols) {
    std::vector<std::string> names;
    if (mode == kKeyByIndex) return names;
    char name[kDbColNameBytes];
    for (int32_t c = 0; c < cols; ++c) {
      name[0] = '\0';
      data.ColName(c, name);
      names.emplace_back(name);
      if (mode == kKeyUpper) platform::UpperGbkInPlace(names.back());
      if (mode == kKeyLower) platform::LowerGbkInPlace(names.back());
    }
    return names;
  }

  void FillRow(TagDataSet& data, int32_t mode, const std::vector<std::string>& names,
               int32_t key_column, int32_t row) {
    TagVar entry, key, row_key;
    row_key.SetInt(row);
    const int32_t cols = static_cast<int32_t>(mode == kKeyByIndex ? data.Cols() : names.size());
    for (int32_t c = 0; c < cols; ++c) {
      ValueBuffer value;
      data.GetValByIndex(value.bytes, c, row);
      const std::string_view text = platform::TrimmedView(value.bytes);
      if (mode == kKeyByIndex) {
        key.SetInt(c);
      } else {
        key.SetString(names[static_cast<size_t>(c)]);
      }
      entry.Element(key)->SetString(text);
      if (c == key_column) row_key.SetString(text);
    }
    map_->Element(row_key)->Assign(entry);
    entry.ReleaseMap();
  }

  TagVar* map_ = &Argument(2);
};

// "DbRows(" (handle, out rows).
class TagDbRows : public DbStatement {
 public:
  using DbStatement::DbStatement;
  int32_t Execute() override {
    TagDataSet* data = nullptr;
    if (const int32_t bad = Lookup(Argument(0), &data); bad < 0) return bad;
    return engine::StoreInt(Argument(1), data->Rows());
  }
};

// "DbGetField(" (handle, column name or index, row, out text).
class TagDbGetField : public DbStatement {
 public:
  using DbStatement::DbStatement;
  int32_t Execute() override {
    TagDataSet* data = nullptr;
    if (const int32_t bad = Lookup(Argument(0), &data); bad < 0) return bad;
    const TagVar& column = Argument(1);
    const int32_t row = ArgInt(Argument(2));
    // Every back end gets an emptied buffer: one that leaves it as it was
    // on a failed read hands the script an empty text.
    ValueBuffer value;
    const int32_t r = column.kind == engine::kVarString
                          ? data->GetValByName(value.bytes, ArgText(column), row)
                          : data->GetValByIndex(value.bytes, ArgStoredInt(column), row);
    Argument(3).AssignString(value.bytes);
    return r;
  }
};

// "DbSetField(" (handle, column name or index, row, value).
class TagDbSetField : public DbStatement {
 public:
  using DbStatement::DbStatement;
  int32_t Execute() override {
    TagDataSet* data = nullptr;
    if (const int32_t bad = Lookup(Argument(0), &data); bad < 0) return bad;
    const TagVar& column = Argument(1);
    const int32_t row = ArgInt(Argument(2));
    const std::string_view value = ArgText(Argument(3));
    return column.kind == engine::kVarString
               ? data->SetValByName(value, ArgText(column), row)
               : data->SetValByIndex(value, ArgStoredInt(column), row);
  }
};

// "DbClose(" (handle).
class TagDbClose : public DbStatement {
 public:
  using DbStatement::DbStatement;
  int32_t Execute() override {
    const int32_t h = ArgInt(Argument(0));
    if (h < 0 || h >= kDbSlots) return kBadHandle;
    DatabaseStore* store = Store();
    if (store == nullptr || store->count() == 0) return 0;
    if (store->Find(h) == nullptr) return kEmptySlot;
    store->Remove(h);
    return 0;
  }
};

// "DbCloseAll(".
class TagDbCloseAll : public DbStatement {
 public:
  using DbStatement::DbStatement;
  int32_t Execute() override {
    if (DatabaseStore* store = Store()) store->RemoveAll();
    return 0;
  }
};

// "DbSetDebug(" (handle, mode).
class TagDbSetDebug : public DbStatement {
 public:
  using DbStatement::DbStatement;
  int32_t Execute() override {
    TagDataSet* data = nullptr;
    if (const int32_t bad = Lookup(Argument(0), &data); bad < 0) return bad;
    data->SetDebug(ArgInt(Argument(1)));
    return 0;
  }
};

}  // namespace

void RegisterDbStatements() {
  RegisterDbClientLibraries();
  engine::RegisterStoreFactory(engine::StoreSlot::kDatabases, &NewDatabaseStore);
  engine::StatementRegistry& r = engine::Statements();
  r.Register("DbOpen(", &BuildStatement<TagDbOpen>);
  r.Register("DbExec(", &BuildStatement<TagDbExec>);
  r.Register("DbExecMap(", &BuildStatement<TagDbExecMap>);
  r.Register("DbRows(", &BuildStatement<TagDbRows>);
  r.Register("DbGetField(", &BuildStatement<TagDbGetField>);
  r.Register("DbSetField(", &BuildStatement<TagDbSetField>);
  r.Register("DbClose(", &BuildStatement<TagDbClose>);
  r.Register("DbCloseAll(", &BuildStatement<TagDbCloseAll>);
  r.Register("DbSetDebug(", &BuildStatement<TagDbSetDebug>);
}

}  // namespace services
