#include "engine/client_libraries.h"

#include <array>
#include <mutex>

namespace engine {
namespace {

struct Pair {
  ClientLibraryLoad load = nullptr;
  ClientLibraryFree free = nullptr;
};

struct Registry {
  std::mutex mu;
  std::array<Pair, kClientLibrarySlots> pairs;  // guarded by mu
  int loads = 0;                                // guarded by mu
};

Registry& GetRegistry() {
  static Registry* registry = new Registry;
  return *registry;
}

constexpr std::array<ClientLibrarySlot, kClientLibrarySlots> kLoadOrder = {
    ClientLibrarySlot::kMySql, ClientLibrarySlot::kWrnDb, ClientLibrarySlot::kSqlServer};
constexpr std::array<ClientLibrarySlot, kClientLibrarySlots> kFreeOrder = {
    ClientLibrarySlot::kWrnDb, ClientLibrarySlot::kMySql, ClientLibrarySlot::kSqlServer};

}  // namespace

void RegisterClientLibrary(ClientLibrarySlot slot, ClientLibraryLoad load, ClientLibraryFree free) {
  Registry& r = GetRegistry();
  std::lock_guard<std::mutex> lock(r.mu);
  r.pairs[static_cast<size_t>(slot)] = {load, free};
}

void LoadClientLibraries() {
  Registry& r = GetRegistry();
  std::lock_guard<std::mutex> lock(r.mu);
  if (r.loads++ > 0) return;
  for (ClientLibrarySlot slot : kLoadOrder) {
    if (const Pair& p = r.pairs[static_cast<size_t>(slot)]; p.load != nullptr) p.load();
  }
}

void FreeClientLibraries() {
  Registry& r = GetRegistry();
  std::lock_guard<std::mutex> lock(r.mu);
  if (r.loads == 0 || --r.loads > 0) return;
  for (ClientLibrarySlot slot : kFreeOrder) {
    if (const Pair& p = r.pairs[static_cast<size_t>(slot)]; p.free != nullptr) p.free();
  }
}

}  // namespace engine
