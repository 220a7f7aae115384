#include "engine/script_store.h"

#include <array>
#include <atomic>

namespace engine {
namespace {

std::array<std::atomic<StoreFactory>, static_cast<size_t>(StoreSlot::kCount)> factories{};

}  // namespace

void RegisterStoreFactory(StoreSlot slot, StoreFactory factory) {
  factories[static_cast<size_t>(slot)].store(factory, std::memory_order_release);
}

StoreFactory FindStoreFactory(StoreSlot slot) {
  return factories[static_cast<size_t>(slot)].load(std::memory_order_acquire);
}

}  // namespace engine
