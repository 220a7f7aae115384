// TagVtDll: the external libraries of one line, the store of slot kDlls of
// its main script: 50 slots, each holding one reference on a library of
// the process (dll_libraries.h), and the function names the script
// declared with "DllFunction(" (name and argument count, in declaration
// order). The statements of a function or a child script use the store of
// their run context; the compiler declares names in the compiling main
// script's store.
//
// Ownership: the store holds its references; destroying it (with its main
// script) gives every used slot back.
//
// Thread rules: the line's thread only (its compile, then its run).
#ifndef VTTEL_SERVICES_EXTCALL_DLL_STORE_H_
#define VTTEL_SERVICES_EXTCALL_DLL_STORE_H_

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/script_store.h"
#include "services/extcall/dll_libraries.h"

namespace engine {
class TagTelBasic;
}

namespace services {

// A declared name.
struct TagDllFuncName {
  std::string name;
  int32_t count = 0;
};

class TagVtDll : public engine::ScriptStore {
 public:
  static constexpr int32_t kSlots = 50;
  // Load's results.
  static constexpr int32_t kLoadFailed = -1;
  static constexpr int32_t kNoSlot = -2;

  explicit TagVtDll(TagGlobalDlls& global = GlobalDlls()) : global_(global) {}
  ~TagVtDll() override;
  TagVtDll(const TagVtDll&) = delete;
  TagVtDll& operator=(const TagVtDll&) = delete;

  // The slot of the file: the slot already holding exactly that file text
  // (no reference added), or the first empty one, loaded; kLoadFailed
  // (nothing kept), kNoSlot when all 50 are used.
  int32_t Load(std::string_view file);
  // Gives a slot back; a number outside 0-49 or an empty slot is ignored.
  void Free(int32_t slot);
  void FreeAll();
  // Binds name with count in the slot's library: the slot; -1 for a number
  // outside 0-49 or an empty slot.
  int32_t BindFunc(int32_t slot, std::string_view name, int32_t count);
  // The first non-null entry for the name over the used slots from 0 to
  // 49, with its bound count; null (count 0) when none.
  void* FindFunc(std::string_view name, int32_t* count) const;
  // The slot holding exactly that file text, or -1.
  int32_t FindLoaded(std::string_view file) const;
  // 0 declared; -1 declared already (the first count stays).
  int32_t DeclareName(std::string_view name, int32_t count);
  // The index of the declared name with its count (*count), or -1.
  int32_t FindDeclaredName(std::string_view name, int32_t* count) const;

  // Changes whenever a slot is loaded or given back: a look-up remembered
  // with this value and BindingGeneration() is right while both hold.
  uint32_t generation() const { return generation_; }

 private:
  TagGlobalDlls& global_;
  std::array<TagDllName*, kSlots> slots_{};
  std::vector<TagDllFuncName> declared_;
  uint32_t generation_ = 0;
};

// The store a statement of script acts on (its run context's), or null.
TagVtDll* DllsOf(engine::TagTelBasic* script);
// The store of the compiling main script of script, or null.
TagVtDll* CompilingDllsOf(engine::TagTelBasic& script);

// The store factory of slot kDlls.
std::unique_ptr<engine::ScriptStore> NewVtDll(engine::TagTelBasic& script);

}  // namespace services

#endif  // VTTEL_SERVICES_EXTCALL_DLL_STORE_H_
