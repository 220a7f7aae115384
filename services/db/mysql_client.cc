#include "services/db/mysql_client.h"

#include <string>

#include "frame/log.h"
#include "services/db/client_library_binding.h"

namespace services {
namespace {

constexpr const char* kDefaultLibrary = "libmariadb.so.3";

ClientLibraryTable<MySqlApi>& Table() {
  static auto* table = new ClientLibraryTable<MySqlApi>;
  return *table;
}

bool BindAll(void* library, MySqlApi* api) {
  if (!BindClientEntry(library, "mysql_init", &api->init)) return false;
  bool ok = BindClientEntry(library, "mysql_server_init", &api->server_init);
  ok &= BindClientEntry(library, "mysql_options", &api->options);
  ok &= BindClientEntry(library, "mysql_real_connect", &api->real_connect);
  ok &= BindClientEntry(library, "mysql_query", &api->query);
  ok &= BindClientEntry(library, "mysql_store_result", &api->store_result);
  ok &= BindClientEntry(library, "mysql_free_result", &api->free_result);
  ok &= BindClientEntry(library, "mysql_error", &api->error);
  ok &= BindClientEntry(library, "mysql_errno", &api->error_number);
  ok &= BindClientEntry(library, "mysql_num_rows", &api->num_rows);
  ok &= BindClientEntry(library, "mysql_num_fields", &api->num_fields);
  ok &= BindClientEntry(library, "mysql_field_seek", &api->field_seek);
  ok &= BindClientEntry(library, "mysql_fetch_field", &api->fetch_field);
  ok &= BindClientEntry(library, "mysql_data_seek", &api->data_seek);
  ok &= BindClientEntry(library, "mysql_fetch_row", &api->fetch_row);
  ok &= BindClientEntry(library, "mysql_close", &api->close);
  return ok;
}

}  // namespace

int32_t LoadMySqlLibrary() {
  const std::string name = ClientLibraryName("VTTEL_MYSQL_LIB", kDefaultLibrary);
  void* library = OpenTracedClientLibrary(name);
  if (library == nullptr) return kClientNotFound;
  MySqlApi api{};
  if (!BindAll(library, &api)) {
    CloseClientLibrary(library);
    return kClientNoEntry;
  }
  // The library's own one-time set-up, before any line thread connects.
  api.server_init(0, nullptr, nullptr);
  frame::WriteRawLogF("LoadLibrary('%s') : 0, OK.", name.c_str());
  Table().Publish(library, api);
  return 0;
}

void FreeMySqlLibrary() {
  if (Table().Get() == nullptr) return;
  frame::WriteRawLog("FreeLibrary(mySqlHd)...");
  Table().Free();
  frame::WriteRawLog("FreeLibrary(mySqlHd).");
}

const MySqlApi* MySqlLibrary() { return Table().Get(); }

}  // namespace services
