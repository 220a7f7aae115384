#include "services/db/wrndb_client.h"

#include <string>

#include "frame/log.h"
#include "services/db/client_library_binding.h"

namespace services {
namespace {

constexpr const char* kDefaultLibrary = "libwrndbapi.so";

ClientLibraryTable<WrnDbApi>& Table() {
  static auto* table = new ClientLibraryTable<WrnDbApi>;
  return *table;
}

template <typename F>
bool Bind(void* library, const char* name, F* entry) {
  return BindClientEntry(library, name, entry, true);
}

bool BindAll(void* library, WrnDbApi* api) {
  if (!Bind(library, "WrnDbInit", &api->init)) return false;
  bool ok = Bind(library, "WrnDbFree", &api->free);
  ok &= Bind(library, "WrnDbOpen", &api->open);
  ok &= Bind(library, "WrnDbClose", &api->close);
  ok &= Bind(library, "WrnDbExec", &api->exec);
  ok &= Bind(library, "WrnDbRows", &api->rows);
  ok &= Bind(library, "WrnDbCols", &api->cols);
  ok &= Bind(library, "WrnDbGetColInfoByIndex", &api->col_info_by_index);
  ok &= Bind(library, "WrnDbGetColInfoByName", &api->col_info_by_name);
  ok &= Bind(library, "WrnDbGotoRec", &api->goto_rec);
  ok &= Bind(library, "WrnDbNext", &api->next);
  ok &= Bind(library, "WrnDbGetValByName", &api->val_by_name);
  ok &= Bind(library, "WrnDbGetValByIndex", &api->val_by_index);
  return ok;
}

}  // namespace

int32_t LoadWrnDbLibrary() {
  const std::string name = ClientLibraryName("VTTEL_WRNDB_LIB", kDefaultLibrary);
  void* library = OpenTracedClientLibrary(name);
  if (library == nullptr) return kClientNotFound;
  WrnDbApi api{};
  if (!BindAll(library, &api)) {
    CloseClientLibrary(library);
    return kClientNoEntry;
  }
  frame::WriteRawLogF("LoadLibrary('%s') : 0, OK.", name.c_str());
  if (api.init() < 0) {
    frame::WriteRawLog("_WrnDbInit() : Error!");
    CloseClientLibrary(library);
    return kClientInitFailed;
  }
  Table().Publish(library, api);
  return 0;
}

void FreeWrnDbLibrary() {
  if (Table().Get() == nullptr) return;
  frame::WriteRawLog("FreeLibrary(wrnDbHd)...");
  Table().Free();
  frame::WriteRawLog("FreeLibrary(wrnDbHd).");
}

const WrnDbApi* WrnDbLibrary() { return Table().Get(); }

}  // namespace services
