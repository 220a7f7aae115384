#include "services/db/syb_api.h"

#include <stdlib.h>

#include <atomic>
#include <cstdio>
#include <random>

#include "frame/log.h"
#include "platform/runtime_dir.h"
#include "platform/shared_library.h"
#include "services/db/client_library_binding.h"

namespace services {
namespace {

constexpr const char* kDefaultLibrary = "libsybdb.so.5";
constexpr const char* kLibraryVariable = "VTTEL_SYBDB_LIB";
constexpr const char* kConfVariable = "FREETDSCONF";

std::atomic<const SybApi*> g_api{nullptr};
// The library's tables, published by LoadSybLibrary (a test's table may
// stand in g_api instead).
ClientLibraryTable<SybApi>& Table() {
  static auto* table = new ClientLibraryTable<SybApi>;
  return *table;
}

template <typename F>
void Bind(void* library, const char* name, F& slot) {
  slot = reinterpret_cast<F>(platform::FindLibrarySymbol(library, name));
}

void BindAll(void* library, SybApi& api) {
  Bind(library, "dbinit", api.dbinit);
  Bind(library, "dblogin", api.dblogin);
  Bind(library, "dbloginfree", api.dbloginfree);
  Bind(library, "dbsetlname", api.dbsetlname);
  Bind(library, "tdsdbopen", api.tdsdbopen);
  Bind(library, "dbclose", api.dbclose);
  Bind(library, "dbcmd", api.dbcmd);
  Bind(library, "dbfreebuf", api.dbfreebuf);
  Bind(library, "dbsqlsend", api.dbsqlsend);
  Bind(library, "dbsqlok", api.dbsqlok);
  Bind(library, "dbresults", api.dbresults);
  Bind(library, "dbhasretstat", api.dbhasretstat);
  Bind(library, "dbretstatus", api.dbretstatus);
  Bind(library, "dbnumcols", api.dbnumcols);
  Bind(library, "dbcolname", api.dbcolname);
  Bind(library, "dbcoltype", api.dbcoltype);
  Bind(library, "dbcollen", api.dbcollen);
  Bind(library, "dbcoltypeinfo", api.dbcoltypeinfo);
  Bind(library, "dbbind", api.dbbind);
  Bind(library, "dbnextrow", api.dbnextrow);
  Bind(library, "dbcanquery", api.dbcanquery);
  Bind(library, "dbcancel", api.dbcancel);
  Bind(library, "dbdead", api.dbdead);
  Bind(library, "dberrhandle", api.dberrhandle);
  Bind(library, "dbmsghandle", api.dbmsghandle);
  Bind(library, "dbsetopt", api.dbsetopt);
}

// Every entry point the back end calls unconditionally.
bool Complete(const SybApi& a) {
  return a.dbinit && a.dblogin && a.dbsetlname && a.tdsdbopen && a.dbclose && a.dbcmd &&
         a.dbsqlsend && a.dbsqlok && a.dbresults && a.dbhasretstat && a.dbretstatus &&
         a.dbnumcols && a.dbcolname && a.dbcoltype && a.dbcollen && a.dbbind && a.dbnextrow &&
         a.dbcanquery && a.dbcancel && a.dbdead && a.dberrhandle && a.dbmsghandle;
}

// Writes our configuration into the runtime folder and names it, unless the
// environment names one.
void InstallFreeTdsConf() {
  const char* set = getenv(kConfVariable);
  if (set != nullptr && *set != '\0') return;
  const std::string folder = platform::RuntimeDir();
  if (folder.empty()) {
    frame::LogAlwaysF("LoadSybLibrary: no runtime folder for freetds.conf");
    return;
  }
  const std::string path = folder + "/freetds.conf";
  // A file of our own first (processes may start together), then renamed.
  const std::string temporary = path + "." + std::to_string(std::random_device{}()) + ".new";
  FILE* f = std::fopen(temporary.c_str(), "wx");
  const std::string text = SybFreeTdsConf();
  bool ok = f != nullptr && std::fwrite(text.data(), 1, text.size(), f) == text.size();
  if (f != nullptr) ok = std::fclose(f) == 0 && ok;
  if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
    if (f != nullptr) std::remove(temporary.c_str());
    frame::LogAlwaysF("LoadSybLibrary: cannot write %s", path.c_str());
    return;
  }
  setenv(kConfVariable, path.c_str(), 1);
}

}  // namespace

std::string SybFreeTdsConf() {
  return "[global]\n"
         "\ttds version = 7.2\n"
         "\tclient charset = GBK\n";
}

std::string SybLibraryName() { return ClientLibraryName(kLibraryVariable, kDefaultLibrary); }

int32_t LoadSybLibrary() {
  InstallFreeTdsConf();
  const std::string name = SybLibraryName();
  std::string why;
  void* library = platform::OpenClientLibrary(name, &why);
  if (library == nullptr) {
    frame::LogAlwaysF("LoadSybLibrary: %s: %s", name.c_str(), why.c_str());
    return kSybLoadMissing;
  }
  SybApi api{};
  BindAll(library, api);
  if (api.dbinit == nullptr) {
    frame::LogAlwaysF("LoadSybLibrary: %s has no dbinit", name.c_str());
    platform::CloseSharedLibrary(library);
    return kSybLoadNoInit;
  }
  if (!Complete(api)) {
    frame::LogAlwaysF("LoadSybLibrary: %s lacks DB-Library entry points", name.c_str());
    platform::CloseSharedLibrary(library);
    return kSybLoadNoInit;
  }
  Table().Publish(library, api);
  g_api.store(Table().Get(), std::memory_order_release);
  return 0;
}

void FreeSybLibrary() {
  if (g_api.load(std::memory_order_acquire) == Table().Get()) {
    g_api.store(nullptr, std::memory_order_release);
  }
  Table().Free();
}

const SybApi* GetSybApi() { return g_api.load(std::memory_order_acquire); }

void SetSybApi(const SybApi* api) { g_api.store(api, std::memory_order_release); }

}  // namespace services
