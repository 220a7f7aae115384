#include "services/extcall/dll_store.h"

#include "engine/tel_basic.h"

namespace services {
namespace {

bool InRange(int32_t slot) { return slot >= 0 && slot < TagVtDll::kSlots; }

// Only NewVtDll fills slot kDlls.
TagVtDll* StoreOf(engine::TagTelBasic* script) {
  return script != nullptr ? static_cast<TagVtDll*>(script->store(engine::StoreSlot::kDlls))
                           : nullptr;
}

}  // namespace

TagVtDll::~TagVtDll() { FreeAll(); }

int32_t TagVtDll::Load(std::string_view file) {
  const int32_t loaded = FindLoaded(file);
  if (loaded >= 0) return loaded;
  for (int32_t slot = 0; slot < kSlots; ++slot) {
    TagDllName*& entry = slots_[static_cast<size_t>(slot)];
    if (entry != nullptr) continue;
    TagDllName* dll = global_.Get(file);
    if (dll->module() == nullptr) {
      global_.ReleaseDll(dll);
      return kLoadFailed;
    }
    entry = dll;
    ++generation_;
    return slot;
  }
  return kNoSlot;
}

void TagVtDll::Free(int32_t slot) {
  if (!InRange(slot)) return;
  TagDllName*& entry = slots_[static_cast<size_t>(slot)];
  if (entry == nullptr) return;
  global_.ReleaseDll(entry);
  entry = nullptr;
  ++generation_;
}

void TagVtDll::FreeAll() {
  for (int32_t slot = 0; slot < kSlots; ++slot) Free(slot);
}

int32_t TagVtDll::BindFunc(int32_t slot, std::string_view name, int32_t count) {
  if (!InRange(slot) || slots_[static_cast<size_t>(slot)] == nullptr) return -1;
  slots_[static_cast<size_t>(slot)]->AddFunc(name, count);
  return slot;
}

void* TagVtDll::FindFunc(std::string_view name, int32_t* count) const {
  *count = 0;
  for (const TagDllName* dll : slots_) {
    if (dll == nullptr) continue;
    if (void* entry = dll->FindFunc(name, count)) return entry;
  }
  *count = 0;
  return nullptr;
}

int32_t TagVtDll::FindLoaded(std::string_view file) const {
  for (int32_t slot = 0; slot < kSlots; ++slot) {
    const TagDllName* dll = slots_[static_cast<size_t>(slot)];
    if (dll != nullptr && dll->file() == file) return slot;
  }
  return -1;
}

int32_t TagVtDll::DeclareName(std::string_view name, int32_t count) {
  int32_t first = 0;
  if (FindDeclaredName(name, &first) >= 0) return -1;
  declared_.push_back(TagDllFuncName{std::string(name), count});
  return 0;
}

int32_t TagVtDll::FindDeclaredName(std::string_view name, int32_t* count) const {
  for (size_t i = 0; i < declared_.size(); ++i) {
    if (declared_[i].name == name) {
      *count = declared_[i].count;
      return static_cast<int32_t>(i);
    }
  }
  return -1;
}

TagVtDll* DllsOf(engine::TagTelBasic* script) {
  return script != nullptr ? StoreOf(script->GetRunContext()) : nullptr;
}

TagVtDll* CompilingDllsOf(engine::TagTelBasic& script) { return StoreOf(script.MainScript()); }

std::unique_ptr<engine::ScriptStore> NewVtDll(engine::TagTelBasic&) {
  return std::make_unique<TagVtDll>();
}

}  // namespace services
