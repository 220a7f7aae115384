#include "services/process_stores.h"

#include "services/db_connection_pool.h"

namespace services {
namespace {

// First of the stores: everything made later may use the pool at exit.
TagDbConnectionsCtrl db_connections;

}  // namespace

void InstallProcessStores() { SetDbPool(&db_connections); }

}  // namespace services
