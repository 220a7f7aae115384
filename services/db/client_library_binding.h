// What the database client loaders share: the library's file name (an
// environment variable, else the default) and binding entry points by name
// with a raw trace for each one missing.
//
// Thread rules: the loaders run at start-up and shutdown only.
#ifndef VTTEL_SERVICES_DB_CLIENT_LIBRARY_BINDING_H_
#define VTTEL_SERVICES_DB_CLIENT_LIBRARY_BINDING_H_

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace services {

// Results of the loaders.
inline constexpr int32_t kClientNotFound = -1;
inline constexpr int32_t kClientNoEntry = -2;

// Opens the client library (platform::OpenClientLibrary); null, with the
// raw trace "LoadLibrary('<name>') : -1.", when it does not load.
void* OpenTracedClientLibrary(const std::string& name);

// The value of env_name when set and not empty, else default_name.
std::string ClientLibraryName(const char* env_name, const char* default_name);

// The entry point name (and, with decorated, "_<name>@8" when the plain
// name is missing); null, with the raw trace "GetProcAddress('<name>') :
// NULL.", when neither is there.
void* FindClientEntry(void* library, const char* name, bool decorated = false);

template <typename F>
bool BindClientEntry(void* library, const char* name, F* entry, bool decorated = false) {
  *entry = reinterpret_cast<F>(FindClientEntry(library, name, decorated));
  return *entry != nullptr;
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
