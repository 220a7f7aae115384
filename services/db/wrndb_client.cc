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
void Bind(void* library, const char* name, F* entry) {
  BindEntry(library, name, entry, true);
}

// A missing WrnDbOpen opens nothing: its failure is 0, not -1.
int OpenNothing(const char*, int, const char*, const char*, const char*) { return 0; }

bool BindAll(void* library, WrnDbApi* api) {
  if (!BindRequiredEntry(library, "WrnDbInit", &api->init, true)) return false;
  Bind(library, "WrnDbFree", &api->free);
  BindEntry(library, "WrnDbOpen", &api->open, true, &OpenNothing);
  Bind(library, "WrnDbClose", &api->close);
  Bind(library, "WrnDbExec", &api->exec);
  Bind(library, "WrnDbRows", &api->rows);
  Bind(library, "WrnDbCols", &api->cols);
  Bind(library, "WrnDbGetColInfoByIndex", &api->col_info_by_index);
  Bind(library, "WrnDbGetColInfoByName", &api->col_info_by_name);
  Bind(library, "WrnDbGotoRec", &api->goto_rec);
  Bind(library, "WrnDbNext", &api->next);
  Bind(library, "WrnDbGetValByName", &api->val_by_name);
  Bind(library, "WrnDbGetValByIndex", &api->val_by_index);
  return true;
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
