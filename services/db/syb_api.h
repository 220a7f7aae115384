// The DB-Library entry points the SQL Server back end (syb.h) calls, as one
// table of function pointers. The program fills it from FreeTDS's
// libsybdb.so.5 at run time (VTTEL_SYBDB_LIB names another file); tests put
// a table of their own in its place.
//
// Only the entry points and codes the back end relies on are declared here,
// with the library's calling shapes: handles are opaque, DBBOOL results are
// one byte, DBINT is 32-bit.
//
// Before the library is loaded, LoadSybLibrary points FREETDSCONF at a
// configuration of ours (TDS 7.2, GBK on the client side) unless the
// environment names one already.
//
// Thread rules: LoadSybLibrary and FreeSybLibrary run while the line drive
// is built or deleted, when no back end exists; SybApi is read by any thread.
#ifndef VTTEL_SERVICES_DB_SYB_API_H_
#define VTTEL_SERVICES_DB_SYB_API_H_

#include <cstdint>
#include <string>

namespace services {

// Opaque library handles.
struct SybProcess;
struct SybLogin;

struct SybTypeInfo {
  int32_t precision;
  int32_t scale;
};

using SybErrHandler = int (*)(SybProcess* proc, int severity, int dberr, int oserr,
                              char* dberrstr, char* oserrstr);
using SybMsgHandler = int (*)(SybProcess* proc, int32_t msgno, int msgstate, int severity,
                              char* msgtext, char* srvname, char* procname, int line);

struct SybApi {
  int (*dbinit)();
  SybLogin* (*dblogin)();
  void (*dbloginfree)(SybLogin* login);
  int (*dbsetlname)(SybLogin* login, const char* value, int which);
  // msdblib 1: Microsoft's semantics.
  SybProcess* (*tdsdbopen)(SybLogin* login, const char* server, int msdblib);
  void (*dbclose)(SybProcess* proc);
  int (*dbcmd)(SybProcess* proc, const char* sql);
  void (*dbfreebuf)(SybProcess* proc);
  int (*dbsqlsend)(SybProcess* proc);
  int (*dbsqlok)(SybProcess* proc);
  int (*dbresults)(SybProcess* proc);
  unsigned char (*dbhasretstat)(SybProcess* proc);
  int32_t (*dbretstatus)(SybProcess* proc);
  int (*dbnumcols)(SybProcess* proc);
  char* (*dbcolname)(SybProcess* proc, int column);
  int (*dbcoltype)(SybProcess* proc, int column);
  int32_t (*dbcollen)(SybProcess* proc, int column);
  SybTypeInfo* (*dbcoltypeinfo)(SybProcess* proc, int column);
  int (*dbbind)(SybProcess* proc, int column, int vartype, int32_t varlen, unsigned char* varaddr);
  int (*dbnextrow)(SybProcess* proc);
  int (*dbcanquery)(SybProcess* proc);
  int (*dbcancel)(SybProcess* proc);
  unsigned char (*dbdead)(SybProcess* proc);
  SybErrHandler (*dberrhandle)(SybErrHandler handler);
  SybMsgHandler (*dbmsghandle)(SybMsgHandler handler);
  int (*dbsetopt)(SybProcess* proc, int option, const char* char_param, int int_param);
};

// Codes of the library.
inline constexpr int kSybSucceed = 1;
inline constexpr int kSybFail = 0;
inline constexpr int kSybNoMoreResults = 2;
inline constexpr int kSybRegRow = -1;
inline constexpr int kSybNoMoreRows = -2;
inline constexpr int kSybIntCancel = 2;
inline constexpr int kSybOsNoError = -1;
// Login items.
inline constexpr int kSybSetUser = 2;
inline constexpr int kSybSetPassword = 3;
inline constexpr int kSybSetApp = 5;
// Values are bound as blank-padded text.
inline constexpr int kSybStringBind = 1;
inline constexpr int kSybMsDbLib = 1;

// Results of LoadSybLibrary.
inline constexpr int32_t kSybLoadMissing = -1;
inline constexpr int32_t kSybLoadNoInit = -2;

// The library file's name: VTTEL_SYBDB_LIB when set and not empty.
std::string SybLibraryName();
// Loads the library (kept mapped for the process) and binds the entry
// points: 0; kSybLoadMissing when it does not load, kSybLoadNoInit without
// dbinit (the library is given back). A bound table makes SybApi non-null.
int32_t LoadSybLibrary();
// Forgets the library's table and gives the library back to the loader
// (its mapping stays, as every client library's: platform/shared_library.h).
void FreeSybLibrary();

// The table in use, or null while the library is not loaded.
const SybApi* GetSybApi();
// Puts a table in place of the library's (null: none); tests only. The
// table must outlive its use.
void SetSybApi(const SybApi* api);

// The text of FreeTDS's configuration that LoadSybLibrary installs.
std::string SybFreeTdsConf();

}  // namespace services

#endif  // VTTEL_SERVICES_DB_SYB_API_H_
