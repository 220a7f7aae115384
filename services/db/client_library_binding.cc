#include "services/db/client_library_binding.h"

#include <cstdlib>

#include "frame/log.h"
#include "platform/shared_library.h"

namespace services {

void* OpenTracedClientLibrary(const std::string& name) {
  void* library = platform::OpenClientLibrary(name);
  if (library == nullptr) frame::WriteRawLogF("LoadLibrary('%s') : -1.", name.c_str());
  return library;
}

void CloseClientLibrary(void* library) { platform::CloseSharedLibrary(library); }

std::string ClientLibraryName(const char* env_name, const char* default_name) {
  const char* name = std::getenv(env_name);
  return name != nullptr && *name != '\0' ? name : default_name;
}

void* FindClientEntry(void* library, const char* name, bool decorated) {
  void* entry = platform::FindLibrarySymbol(library, name);
  if (entry == nullptr && decorated) {
    entry = platform::FindLibrarySymbol(library, ("_" + std::string(name) + "@8").c_str());
  }
  return entry;
}

void TraceMissingEntry(const char* name) {
  frame::WriteRawLogF("GetProcAddress('%s') : NULL.", name);
}

void NoteMissingEntry(const char* name) {
  frame::LogAlwaysF("Client library: no entry point '%s'; the statements that need it fail",
                    name);
}

}  // namespace services
