// The MySQL client library, loaded at run time ("libmariadb.so.3", or the
// file VTTEL_MYSQL_LIB names) by the line drive through the client
// library registry (engine/client_libraries.h), with its entry points
// bound by name. Back ends reach it through MySqlLibrary(), which is null
// while it is not loaded.
//
// Thread rules: load and free at start-up and shutdown; the bound table is
// never freed (the library stays mapped), so a back end that read it keeps
// valid entry points.
#ifndef VTTEL_SERVICES_DB_MYSQL_CLIENT_H_
#define VTTEL_SERVICES_DB_MYSQL_CLIENT_H_

#include <mysql.h>

#include <cstdint>

namespace services {

struct MySqlApi {
  decltype(&mysql_server_init) server_init;
  decltype(&mysql_init) init;
  decltype(&mysql_options) options;
  decltype(&mysql_real_connect) real_connect;
  decltype(&mysql_query) query;
  decltype(&mysql_store_result) store_result;
  decltype(&mysql_free_result) free_result;
  decltype(&mysql_error) error;
  decltype(&mysql_errno) error_number;
  decltype(&mysql_num_rows) num_rows;
  decltype(&mysql_num_fields) num_fields;
  decltype(&mysql_field_seek) field_seek;
  decltype(&mysql_fetch_field) fetch_field;
  decltype(&mysql_data_seek) data_seek;
  decltype(&mysql_fetch_row) fetch_row;
  decltype(&mysql_close) close;
};

// Loads and binds the library: 0, kClientNotFound (it does not load) or
// kClientNoEntry (no mysql_init); each traced (client_library_binding.h).
// Another entry point missing is bound as missing: the statements that
// call it fail.
int32_t LoadMySqlLibrary();
// Forgets the library (traced).
void FreeMySqlLibrary();
// The bound entry points, or null while the library is not loaded.
const MySqlApi* MySqlLibrary();

}  // namespace services

#endif  // VTTEL_SERVICES_DB_MYSQL_CLIENT_H_
