#include "services/db/db_pool.h"

#include <atomic>

#include "frame/log.h"

namespace services {
namespace {

// The pool of a program built without pooled back ends.
class NoDbPool : public DbPool {
 public:
  int32_t Open(int32_t type, const DbOpenTexts&) override {
    frame::LogAlwaysF("DbPool: no connection pool, database type %d not opened", type);
    return kDbPoolRefused;
  }
  int32_t Run(int32_t, std::string_view, TagLocalData&) override { return kDbPoolBadConnection; }
  int32_t Close(int32_t) override { return kDbPoolBadConnection; }
};

NoDbPool no_pool;
std::atomic<DbPool*> installed{nullptr};

}  // namespace

DbPool& GetDbPool() {
  DbPool* pool = installed.load(std::memory_order_acquire);
  return pool != nullptr ? *pool : no_pool;
}

void SetDbPool(DbPool* pool) { installed.store(pool, std::memory_order_release); }

}  // namespace services
