// The external libraries of the process: every library that a line's
// "DllLoad(" loaded, once per file text, shared by all lines with a
// reference count, and the functions bound in it ("DllFunction("), which
// belong to the library and so serve every line that loaded it.
//
// Ownership: TagGlobalDlls owns its TagDllName entries, a TagDllName its
// TagDllFunc entries; a library is unloaded when its entry is deleted.
//
// Thread rules: any thread. TagGlobalDlls has one lock over its map and
// every reference count; libraries are loaded and unloaded under it, and it
// is never held while a library's own lock is taken. A TagDllName's lock
// guards its list of functions. A TagDllFunc never changes once made.
#ifndef VTTEL_SERVICES_EXTCALL_DLL_LIBRARIES_H_
#define VTTEL_SERVICES_EXTCALL_DLL_LIBRARIES_H_

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace services {

// One bound function: looked up by its plain name, then by "_<name>@8";
// when neither is exported (or the library is not loaded) the address is
// null and "'<name>' Not found for DLL." is logged at every log level.
class TagDllFunc {
 public:
  TagDllFunc(void* module, std::string_view name, int32_t count);
  TagDllFunc(const TagDllFunc&) = delete;
  TagDllFunc& operator=(const TagDllFunc&) = delete;

  const std::string name;
  void* const entry;
  const int32_t count;
};

// One library: loaded by the constructor after its trial load
// (shared_library.h; module() null when either failed, logged), unloaded
// by the destructor.
class TagDllName {
 public:
  explicit TagDllName(std::string_view file);
  ~TagDllName();
  TagDllName(const TagDllName&) = delete;
  TagDllName& operator=(const TagDllName&) = delete;

  // The entry of the first bound function with exactly that name, with its
  // count; null (count 0) when none is bound or the library is not loaded.
  void* FindFunc(std::string_view name, int32_t* count) const;
  // Binds name with count unless FindFunc finds an address for it; the
  // number of bound functions.
  int32_t AddFunc(std::string_view name, int32_t count);

  void* module() const { return module_; }
  const std::string& file() const { return file_; }

 private:
  friend class TagGlobalDlls;
  void* const module_;
  const std::string file_;
  mutable std::mutex mu_;
  std::vector<std::unique_ptr<TagDllFunc>> functions_;  // guarded by mu_
  int32_t references_ = 1;                              // guarded by the map's lock
};

class TagGlobalDlls {
 public:
  TagGlobalDlls() = default;
  // Deletes (unloads) every library.
  ~TagGlobalDlls();
  TagGlobalDlls(const TagGlobalDlls&) = delete;
  TagGlobalDlls& operator=(const TagGlobalDlls&) = delete;

  // The library of a file text (exact bytes): an existing one with one
  // more reference, or a new one with one reference, loaded or not.
  TagDllName* Get(std::string_view file);
  // One reference less; at 0 the library is deleted (unloaded).
  void Release(std::string_view file);
  void ReleaseDll(const TagDllName* dll);
  // Libraries in the map.
  size_t size() const;

 private:
  mutable std::mutex mu_;
  std::map<std::string, std::unique_ptr<TagDllName>, std::less<>> dlls_;  // guarded by mu_
};

// The process-wide libraries. The object lives until the process ends: no
// library is unloaded under a line that is still inside it at exit.
TagGlobalDlls& GlobalDlls();

// Grows by one whenever a function is bound in any library: a look-up
// remembered with the value it had is still right while it is unchanged.
uint32_t BindingGeneration();

}  // namespace services

#endif  // VTTEL_SERVICES_EXTCALL_DLL_LIBRARIES_H_
