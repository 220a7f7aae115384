// The process-wide objects of the script services that the program sets up
// once: the database connection pool (installed as the pool GetDbPool
// gives). Built at static initialisation, destroyed at exit after the lines
// have stopped. Call InstallProcessStores once at start-up, before any line
// runs.
#ifndef VTTEL_SERVICES_PROCESS_STORES_H_
#define VTTEL_SERVICES_PROCESS_STORES_H_

namespace services {

void InstallProcessStores();

}  // namespace services

#endif  // VTTEL_SERVICES_PROCESS_STORES_H_
