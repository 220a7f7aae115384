#include "platform/shared_library.h"

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

#include "platform/gbk.h"
#include "platform/host_path.h"
#include "platform/library_trial.h"

namespace platform {
namespace {

constexpr std::string_view kDllSuffix = ".dll";
// All symbols bound at once, kept local to the library.
constexpr int kLibraryFlags = RTLD_NOW | RTLD_LOCAL;

bool IsBareName(std::string_view name) {
  return name.find_first_of("\\/:") == std::string_view::npos;
}

bool EndsWithDll(std::string_view name) {
  return name.size() > kDllSuffix.size() && EndsWithIgnoreCaseGbk(name, kDllSuffix);
}

// The names tried in order: the name, then for "x.dll" "x.so" and "libx.so"
// (in the same folder).
std::vector<std::string> NamesToTry(std::string_view name) {
  std::vector<std::string> names{std::string(name)};
  if (!EndsWithDll(name)) return names;
  const std::string_view stem = name.substr(0, name.size() - kDllSuffix.size());
  names.push_back(std::string(stem) + ".so");
  const size_t cut = stem.find_last_of("\\/:");
  const size_t base = cut == std::string_view::npos ? 0 : cut + 1;
  names.push_back(std::string(stem.substr(0, base)) + "lib" + std::string(stem.substr(base)) +
                  ".so");
  return names;
}

void* OpenFile(const std::string& host_path, std::string* error, int extra_flags = 0) {
  void* library = ::dlopen(host_path.c_str(), kLibraryFlags | extra_flags);
  if (library == nullptr && error != nullptr && error->empty()) {
    if (const char* text = ::dlerror()) *error = text;
  }
  return library;
}

bool IsFile(const std::filesystem::path& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

// The host paths the loader is given for one name, in order: a bare one in
// the program folder and the working folder (where it is a file there),
// then as it is, for the loader's own search; one with a folder at its
// path. (The case of a bare name is matched in the working folder, where
// ToHostPath looks.)
void AddCandidates(const std::string& name, std::vector<std::string>* candidates) {
  const std::optional<std::string> host = ToHostPath(name);
  if (!host) return;
  if (IsBareName(name)) {
    std::error_code ec;
    for (const std::filesystem::path& folder :
         {std::filesystem::path(ProgramFolder()), std::filesystem::current_path(ec)}) {
      const std::filesystem::path path = folder / *host;
      if (!folder.empty() && IsFile(path)) candidates->push_back(path.string());
    }
  }
  candidates->push_back(*host);
}

}  // namespace

std::string ProgramFolder() {
  if (const char* home = std::getenv("VTTEL_HOME"); home != nullptr && *home != '\0') {
    return home;
  }
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.parent_path().string();
}

void* OpenSharedLibrary(std::string_view script_name, LibraryLoadError* error,
                        uint32_t trial_ms) {
  std::vector<std::string> candidates;
  for (const std::string& name : NamesToTry(script_name)) AddCandidates(name, &candidates);
  const LibraryTrial trial =
      candidates.empty() ? LibraryTrial{} : TrialLoad(candidates, kLibraryFlags, trial_ms);
  LibraryLoadError why{trial.error.empty() ? "not found" : trial.error, trial.loadTimeCode};
  void* library = nullptr;
  if (trial.loaded >= 0) {
    why.text.clear();
    library = OpenFile(candidates[static_cast<size_t>(trial.loaded)], &why.text);
  }
  if (error != nullptr) *error = std::move(why);
  return library;
}

void* OpenClientLibrary(const std::string& host_name, std::string* error) {
  if (error != nullptr) error->clear();
  if (host_name.find('/') == std::string::npos) {
    const std::filesystem::path path = std::filesystem::path(ProgramFolder()) / host_name;
    if (!ProgramFolder().empty() && IsFile(path)) {
      if (void* library = OpenFile(path.string(), error, RTLD_NODELETE)) return library;
    }
  }
  return OpenFile(host_name, error, RTLD_NODELETE);
}

void* FindLibrarySymbol(void* library, const char* name) {
  return library != nullptr ? ::dlsym(library, name) : nullptr;
}

void CloseSharedLibrary(void* library) {
  if (library != nullptr) ::dlclose(library);
}

}  // namespace platform
