#include "services/extcall/dll_libraries.h"

#include "frame/log.h"
#include "platform/shared_library.h"

namespace services {
namespace {

std::atomic<uint32_t> binding_generation{0};

// A library whose own load-time code failed is logged at every level, as
// a failed call is; one that is missing or no library at log levels above 0.
void* LoadLibraryFile(std::string_view file) {
  platform::LibraryLoadError error;
  void* module = platform::OpenSharedLibrary(file, &error);
  if (module == nullptr) {
    auto log = error.loadTimeCode ? &frame::LogAlwaysF : &frame::LogMsgF;
    log("DllLoad('%s'): %s", std::string(file).c_str(), error.text.c_str());
  }
  return module;
}

void* LookUp(void* module, std::string_view name) {
  if (module == nullptr) return nullptr;
  const std::string plain(name);
  if (void* entry = platform::FindLibrarySymbol(module, plain.c_str())) return entry;
  // The decorated name of the 32-bit standard call convention; a library
  // built for this system exports the plain name.
  const std::string decorated = "_" + plain + "@8";
  return platform::FindLibrarySymbol(module, decorated.c_str());
}

}  // namespace

TagDllFunc::TagDllFunc(void* module, std::string_view name, int32_t count)
    : name(name), entry(LookUp(module, name)), count(count) {
  if (entry == nullptr) frame::LogAlwaysF("'%s' Not found for DLL.", this->name.c_str());
}

TagDllName::TagDllName(std::string_view file) : module_(LoadLibraryFile(file)), file_(file) {}

TagDllName::~TagDllName() {
  functions_.clear();
  platform::CloseSharedLibrary(module_);
}

void* TagDllName::FindFunc(std::string_view name, int32_t* count) const {
  *count = 0;
  if (module_ == nullptr) return nullptr;
  std::lock_guard<std::mutex> lock(mu_);
  for (const auto& f : functions_) {
    if (f->name == name) {
      *count = f->count;
      return f->entry;
    }
  }
  return nullptr;
}

int32_t TagDllName::AddFunc(std::string_view name, int32_t count) {
  std::lock_guard<std::mutex> lock(mu_);
  for (const auto& f : functions_) {
    if (f->name == name && f->entry != nullptr) return static_cast<int32_t>(functions_.size());
  }
  functions_.push_back(std::make_unique<TagDllFunc>(module_, name, count));
  binding_generation.fetch_add(1, std::memory_order_release);
  return static_cast<int32_t>(functions_.size());
}

TagGlobalDlls::~TagGlobalDlls() {
  std::lock_guard<std::mutex> lock(mu_);
  dlls_.clear();
}

TagDllName* TagGlobalDlls::Get(std::string_view file) {
  std::lock_guard<std::mutex> lock(mu_);
  auto it = dlls_.find(file);
  if (it != dlls_.end()) {
    ++it->second->references_;
    return it->second.get();
  }
  auto dll = std::make_unique<TagDllName>(file);
  TagDllName* made = dll.get();
  dlls_.emplace(std::string(file), std::move(dll));
  return made;
}

void TagGlobalDlls::Release(std::string_view file) {
  std::lock_guard<std::mutex> lock(mu_);
  auto it = dlls_.find(file);
  if (it == dlls_.end()) return;
  if (--it->second->references_ > 0) return;
  dlls_.erase(it);
}

void TagGlobalDlls::ReleaseDll(const TagDllName* dll) {
  if (dll != nullptr) Release(dll->file());
}

size_t TagGlobalDlls::size() const {
  std::lock_guard<std::mutex> lock(mu_);
  return dlls_.size();
}

TagGlobalDlls& GlobalDlls() {
  static TagGlobalDlls* const dlls = new TagGlobalDlls;
  return *dlls;
}

uint32_t BindingGeneration() { return binding_generation.load(std::memory_order_acquire); }

}  // namespace services
