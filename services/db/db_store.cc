#include "services/db/db_store.h"

#include "engine/tel_basic.h"

namespace services {

DatabaseStore::~DatabaseStore() { RemoveAll(); }

TagDataSet* DatabaseStore::Find(int32_t handle) const {
  if (handle < 0 || handle >= kDbSlots) return nullptr;
  return slots_[static_cast<size_t>(handle)].get();
}

int32_t DatabaseStore::FirstFree() const {
  for (int32_t i = 0; i < kDbSlots; ++i) {
    if (slots_[static_cast<size_t>(i)] == nullptr) return i;
  }
  return -1;
}

void DatabaseStore::Put(int32_t handle, std::unique_ptr<TagDataSet> data) {
  slots_.at(static_cast<size_t>(handle)) = std::move(data);
  ++count_;
}

void DatabaseStore::Remove(int32_t handle) {
  slots_.at(static_cast<size_t>(handle)).reset();
  --count_;
}

void DatabaseStore::RemoveAll() {
  for (auto& slot : slots_) slot.reset();
  count_ = 0;
}

DatabaseStore* DatabaseStoreOf(engine::TagTelBasic* script) {
  if (script == nullptr) return nullptr;
  return dynamic_cast<DatabaseStore*>(
      script->GetRunContext()->store(engine::StoreSlot::kDatabases));
}

std::string DatabaseErrorText(engine::TagTelBasic* script) {
  return script != nullptr ? engine::LastDatabaseError(*script) : std::string();
}

std::unique_ptr<engine::ScriptStore> NewDatabaseStore(engine::TagTelBasic&) {
  return std::make_unique<DatabaseStore>();
}

}  // namespace services
