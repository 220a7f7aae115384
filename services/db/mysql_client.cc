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
  if (!BindRequiredEntry(library, "mysql_init", &api->init)) return false;
  BindEntry(library, "mysql_server_init", &api->server_init);
  BindEntry(library, "mysql_options", &api->options);
  BindEntry(library, "mysql_real_connect", &api->real_connect);
  BindEntry(library, "mysql_query", &api->query);
  BindEntry(library, "mysql_store_result", &api->store_result);
  BindEntry(library, "mysql_free_result", &api->free_result);
  BindEntry(library, "mysql_error", &api->error);
  BindEntry(library, "mysql_errno", &api->error_number);
  BindEntry(library, "mysql_num_rows", &api->num_rows);
  BindEntry(library, "mysql_num_fields", &api->num_fields);
  BindEntry(library, "mysql_field_seek", &api->field_seek);
  BindEntry(library, "mysql_fetch_field", &api->fetch_field);
  BindEntry(library, "mysql_data_seek", &api->data_seek);
  BindEntry(library, "mysql_fetch_row", &api->fetch_row);
  BindEntry(library, "mysql_close", &api->close);
  return true;
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
