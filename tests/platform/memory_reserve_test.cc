#include "platform/memory_reserve.h"

#include <gtest/gtest.h>

#include <new>

namespace platform {
namespace {

// The handler meets the first shortage from the reserve (the allocation is
// tried again), and lets the next one fail while the reserve is out; taking
// the reserve back arms it again.
TEST(MemoryReserveTest, HandlerGivesTheReserveOnceUntilItIsTakenBack) {
  ASSERT_TRUE(InstallMemoryReserve(1 << 20));
  std::new_handler handler = std::get_new_handler();
  ASSERT_NE(handler, nullptr);
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    EXPECT_FALSE(MemoryLow());
    EXPECT_NO_THROW(handler());
    EXPECT_TRUE(MemoryLow());
    EXPECT_THROW(handler(), std::bad_alloc);
    EXPECT_TRUE(MemoryLow());
    EXPECT_TRUE(ReplenishMemoryReserve());
  }
  EXPECT_FALSE(MemoryLow());
  // A release by code whose own malloc failed, and a second install, keep
  // one reserve.
  ReleaseMemoryReserve();
  ReleaseMemoryReserve();
  EXPECT_TRUE(MemoryLow());
  EXPECT_TRUE(InstallMemoryReserve(1 << 20));
  EXPECT_TRUE(MemoryLow());
  EXPECT_TRUE(ReplenishMemoryReserve());
  EXPECT_TRUE(ReplenishMemoryReserve());
  EXPECT_FALSE(MemoryLow());
  std::set_new_handler(nullptr);
}

}  // namespace
}  // namespace platform
