// Registers the database client libraries of the back ends with the line
// drive's registry (engine/client_libraries.h): MySQL, the maker's database
// client and SQL Server, each a load/free pair.
#ifndef VTTEL_SERVICES_DB_DB_CLIENT_LIBRARIES_H_
#define VTTEL_SERVICES_DB_DB_CLIENT_LIBRARIES_H_

namespace services {

void RegisterDbClientLibraries();

}  // namespace services

#endif  // VTTEL_SERVICES_DB_DB_CLIENT_LIBRARIES_H_
