#include "services/net/http_limits.h"

#include <atomic>

namespace services {
namespace {

const HttpReadLimits kDefaultReadLimits;
std::atomic<const HttpReadLimits*> g_read_limits{&kDefaultReadLimits};

}  // namespace

const HttpReadLimits& HttpReadLimitsInForce() {
  return *g_read_limits.load(std::memory_order_acquire);
}

ScopedHttpReadLimits::ScopedHttpReadLimits(const HttpReadLimits* limits)
    : previous_(g_read_limits.exchange(limits, std::memory_order_acq_rel)) {}

ScopedHttpReadLimits::~ScopedHttpReadLimits() {
  g_read_limits.store(previous_, std::memory_order_release);
}

}  // namespace services
