// The ADO connection strings scripts give, turned into ODBC connection
// strings for unixODBC:
//  - a string naming DRIVER=, DSN= or FILEDSN= passes on without the keys
//    only ADO knows (Provider, Persist Security Info, ...);
//  - "Provider=SQLite;Data Source=path" selects the SQLite driver, the
//    embedded default;
//  - SQL Server providers (SQLOLEDB, SQLNCLI...) select the FreeTDS driver,
//    and MySQL ODBC driver names the MariaDB one;
//  - Jet/ACE and Oracle providers are not supported.
// SQLite's and MariaDB's drivers are called through the narrow functions in
// UTF-8 (MariaDB's connection in utf8mb4); the others through the wide ones.
// Pure functions; any thread.
#ifndef VTTEL_SERVICES_DB_ADO_CONNECTION_STRING_H_
#define VTTEL_SERVICES_DB_ADO_CONNECTION_STRING_H_

#include <optional>
#include <string>
#include <string_view>

namespace services {

struct OdbcTarget {
  std::string connection;  // the ODBC connection string; empty: unsupported
  std::string refusal;     // why it is unsupported
  bool utf8Driver = false;  // SQLite's and MariaDB's: narrow calls in UTF-8
};

OdbcTarget MapAdoConnectionString(std::string_view ado);

}  // namespace services

#endif  // VTTEL_SERVICES_DB_ADO_CONNECTION_STRING_H_
