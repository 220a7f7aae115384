#include "platform/memory_reserve.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace platform {
namespace {

std::atomic<void*> reserve{nullptr};
std::atomic<size_t> reserve_bytes{0};
std::atomic<bool> low{false};

// Takes a block of n bytes. Its pages are not touched: under the limit
// that bounds the program's memory (the address space, ulimit -v) the block
// is room that the allocator can hand out again once it is given back.
void* TakeBlock(size_t n) { return std::malloc(n); }

// The new handler: the first shortage is met from the reserve; after that
// the allocation fails.
void OnAllocationFailure() {
  if (reserve.load() == nullptr) throw std::bad_alloc();
  ReleaseMemoryReserve();
}

}  // namespace

bool InstallMemoryReserve(size_t bytes) {
  if (reserve_bytes.load() == 0) {
    void* block = TakeBlock(bytes);
    if (block == nullptr) return false;
    reserve_bytes.store(bytes);
    reserve.store(block);
    low.store(false);
  }
  std::set_new_handler(&OnAllocationFailure);
  return true;
}

bool MemoryLow() { return low.load(std::memory_order_relaxed); }

void ReleaseMemoryReserve() {
  if (reserve_bytes.load() == 0) return;
  low.store(true);
  std::free(reserve.exchange(nullptr));
}

bool ReplenishMemoryReserve() {
  const size_t bytes = reserve_bytes.load();
  if (bytes == 0 || !low.load()) return true;
  void* block = TakeBlock(bytes);
  if (block == nullptr) {
    // Memory given back may still sit in the allocator's heaps.
    malloc_trim(0);
    block = TakeBlock(bytes);
  }
  if (block == nullptr) return false;
  void* expected = nullptr;
  if (!reserve.compare_exchange_strong(expected, block)) {
    std::free(block);  // another thread took it back first
    return true;
  }
  low.store(false);
  return true;
}

}  // namespace platform
