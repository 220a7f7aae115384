#include "services/process_stores.h"

#include "services/db/db_connection_pool.h"

namespace services {

void InstallProcessStores() { SetDbPool(&ProcessDbConnections()); }

}  // namespace services
