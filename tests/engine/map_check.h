// A fixture for tests that make script values: at the end of each test the
// map table must hold no map more than it held at the start, so a map that
// nothing refers to any more (a leak of a reference) fails the test.
#ifndef VTTEL_TESTS_ENGINE_MAP_CHECK_H_
#define VTTEL_TESTS_ENGINE_MAP_CHECK_H_

#include <gtest/gtest.h>

#include "engine/map_table.h"

namespace engine {

class MapCheckTest : public ::testing::Test {
 protected:
  void SetUp() override { maps_at_start_ = MapTable().LiveMaps(); }
  void TearDown() override {
    EXPECT_EQ(MapTable().LiveMaps(), maps_at_start_) << "maps left in the table";
  }

 private:
  size_t maps_at_start_ = 0;
};

}  // namespace engine

#endif  // VTTEL_TESTS_ENGINE_MAP_CHECK_H_
