// What the database client loaders share: the library's file name (an
// environment variable, else the default) and binding entry points by name.
// Only the init entry point is required; any other the library lacks is
// bound to a stand-in that fails, so only the statements needing it fail.
//
// Thread rules: the loaders run at start-up and shutdown only.
#ifndef VTTEL_SERVICES_DB_CLIENT_LIBRARY_BINDING_H_
#define VTTEL_SERVICES_DB_CLIENT_LIBRARY_BINDING_H_

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace services {

// Results of the loaders.
inline constexpr int32_t kClientNotFound = -1;
inline constexpr int32_t kClientNoEntry = -2;

// The raw trace of a missing init entry point; the log line of another.
void TraceMissingEntry(const char* name);
void NoteMissingEntry(const char* name);

// Opens the client library (platform::OpenClientLibrary); null, with the
// raw trace "LoadLibrary('<name>') : -1.", when it does not load.
void* OpenTracedClientLibrary(const std::string& name);

// The value of env_name when set and not empty, else default_name.
std::string ClientLibraryName(const char* env_name, const char* default_name);

// The entry point name (and, with decorated, "_<name>@8" when the plain
// name is missing), or null.
void* FindClientEntry(void* library, const char* name, bool decorated = false);

// The library's init entry point, the one a library cannot go without:
// false, with the raw trace "GetProcAddress('<name>') : NULL.", when it is
// missing.
template <typename F>
bool BindRequiredEntry(void* library, const char* name, F* entry, bool decorated = false) {
  *entry = reinterpret_cast<F>(FindClientEntry(library, name, decorated));
  if (*entry == nullptr) TraceMissingEntry(name);
  return *entry != nullptr;
}

// What an entry point the library lacks gives in its place: nothing, an
// error text for a text, null for another pointer, -1 for a signed number
// and 0 for an unsigned one, so the statement that needs it fails.
inline constexpr char kMissingEntryText[] = "entry point missing in the client library";
template <typename F>
struct MissingEntry;
template <typename R, typename... A>
struct MissingEntry<R (*)(A...)> {
  static R Call(A...) {
    if constexpr (std::is_same_v<R, const char*>) {
      return kMissingEntryText;
    } else if constexpr (std::is_pointer_v<R>) {
      return nullptr;
    } else if constexpr (std::is_signed_v<R>) {
      return -1;
    } else if constexpr (!std::is_void_v<R>) {
      return 0;
    }
  }
};

// Any other entry point: when the library lacks it, missing (or, when
// given, the function that fails in its place) is bound and noted in the
// log; loading goes on.
template <typename F>
void BindEntry(void* library, const char* name, F* entry, bool decorated = false,
               F missing = &MissingEntry<F>::Call) {
  *entry = reinterpret_cast<F>(FindClientEntry(library, name, decorated));
  if (*entry != nullptr) return;
  *entry = missing;
  NoteMissingEntry(name);
}

// The bound entry points of a loaded client library, published to the back
// ends. A table once published is kept for good (the library stays mapped),
// so a back end that read one keeps valid entry points after a free; make
// the instance with new and never delete it.
template <typename Api>
class ClientLibraryTable {
 public:
  // The table, or null while no library is loaded.
  const Api* Get() const { return current_.load(std::memory_order_acquire); }
  void Publish(void* library, const Api& api) {
    kept_.push_back(std::make_unique<Api>(api));
    library_ = library;
    current_.store(kept_.back().get(), std::memory_order_release);
  }
  // Unpublishes the table and closes the library: false when none was loaded.
  bool Free();

 private:
  std::atomic<const Api*> current_{nullptr};
  void* library_ = nullptr;
  std::vector<std::unique_ptr<Api>> kept_;
};

void CloseClientLibrary(void* library);

template <typename Api>
bool ClientLibraryTable<Api>::Free() {
  if (Get() == nullptr) return false;
  current_.store(nullptr, std::memory_order_release);
  CloseClientLibrary(library_);
  library_ = nullptr;
  return true;
}

}  // namespace services

#endif  // VTTEL_SERVICES_DB_CLIENT_LIBRARY_BINDING_H_
