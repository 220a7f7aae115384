// The client library of the maker's database server, loaded at run time
// ("libwrndbapi.so", or the file VTTEL_WRNDB_LIB names; a bare name is
// looked for in the program folder, then by the loader's search) by the
// line drive through the client library registry. Entry points are found
// by name, else as "_<name>@8". Back ends reach it through WrnDbLibrary(),
// null while it is not loaded.
//
// Thread rules: load and free at start-up and shutdown; a bound table stays
// valid for good (client_library_binding.h).
#ifndef VTTEL_SERVICES_DB_WRNDB_CLIENT_H_
#define VTTEL_SERVICES_DB_WRNDB_CLIENT_H_

#include <cstdint>

#include "include/wrndbapi.h"

namespace services {

// Result of LoadWrnDbLibrary: WrnDbInit reported the library unusable.
inline constexpr int32_t kClientInitFailed = -3;

struct WrnDbApi {
  decltype(&::WrnDbInit) init;
  decltype(&::WrnDbFree) free;
  decltype(&::WrnDbOpen) open;
  decltype(&::WrnDbClose) close;
  decltype(&::WrnDbExec) exec;
  decltype(&::WrnDbRows) rows;
  decltype(&::WrnDbCols) cols;
  decltype(&::WrnDbGetColInfoByIndex) col_info_by_index;
  decltype(&::WrnDbGetColInfoByName) col_info_by_name;
  decltype(&::WrnDbGotoRec) goto_rec;
  decltype(&::WrnDbNext) next;
  decltype(&::WrnDbGetValByName) val_by_name;
  decltype(&::WrnDbGetValByIndex) val_by_index;
};

// Loads, binds and initialises the library: 0, kClientNotFound,
// kClientNoEntry (no WrnDbInit) or kClientInitFailed; each traced.
// Another entry point missing is bound as missing: the statements that
// call it fail.
int32_t LoadWrnDbLibrary();
// Forgets the library (traced).
void FreeWrnDbLibrary();
// The bound entry points, or null while the library is not loaded.
const WrnDbApi* WrnDbLibrary();

}  // namespace services

#endif  // VTTEL_SERVICES_DB_WRNDB_CLIENT_H_
