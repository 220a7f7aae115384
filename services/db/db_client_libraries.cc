#include "services/db/db_client_libraries.h"

#include "engine/client_libraries.h"
#include "services/db/mysql_client.h"
#include "services/db/syb_api.h"
#include "services/db/wrndb_client.h"

namespace services {

void RegisterDbClientLibraries() {
  using engine::ClientLibrarySlot;
  engine::RegisterClientLibrary(ClientLibrarySlot::kMySql, &LoadMySqlLibrary, &FreeMySqlLibrary);
  engine::RegisterClientLibrary(ClientLibrarySlot::kWrnDb, &LoadWrnDbLibrary, &FreeWrnDbLibrary);
  engine::RegisterClientLibrary(ClientLibrarySlot::kSqlServer, &LoadSybLibrary, &FreeSybLibrary);
}

}  // namespace services
