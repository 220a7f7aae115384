#include "engine/run_stores.h"

#include "engine/tel_basic.h"

namespace engine {

std::string LastDatabaseError(const TagTelBasic& script) {
  const auto* store =
      dynamic_cast<const DatabaseErrorStore*>(script.GetRunContext()->store(StoreSlot::kDatabases));
  return store != nullptr ? store->lastDbError : std::string();
}

}  // namespace engine
