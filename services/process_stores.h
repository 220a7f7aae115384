// The start-up of the script services' process-wide stores: the database
// connection pool of the process becomes the pool GetDbPool gives. The
// queues and stores of the inter-line services need no start-up
// (process_queues.h).
//
// Thread rules: call it once at start-up, before any line runs.
#ifndef VTTEL_SERVICES_PROCESS_STORES_H_
#define VTTEL_SERVICES_PROCESS_STORES_H_

namespace services {

// Installs the process's database connection pool (SetDbPool).
void InstallProcessStores();

}  // namespace services

#endif  // VTTEL_SERVICES_PROCESS_STORES_H_
