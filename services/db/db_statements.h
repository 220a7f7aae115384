// The database statements of the script language: "DbOpen(", "DbExec(",
// "DbExecMap(", "DbRows(", "DbGetField(", "DbSetField(", "DbClose(",
// "DbCloseAll(" and "DbSetDebug(". A script addresses its back ends by the
// handles of its line's database store (db_store.h); every statement that
// takes a handle gives -1 for a number outside 0..1023 and -2 for an empty
// slot. The statements run on their line's thread.
#ifndef VTTEL_SERVICES_DB_DB_STATEMENTS_H_
#define VTTEL_SERVICES_DB_DB_STATEMENTS_H_

namespace services {

// Registers the nine statements and the store factory of slot kDatabases.
void RegisterDbStatements();

}  // namespace services

#endif  // VTTEL_SERVICES_DB_DB_STATEMENTS_H_
