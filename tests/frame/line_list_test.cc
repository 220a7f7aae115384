#include "frame/line_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace frame {
namespace {

struct ListCase {
  const char* list;
  std::vector<int32_t> lines;
};

class LineListTest : public ::testing::TestWithParam<ListCase> {};

TEST_P(LineListTest, Parses) {
  EXPECT_EQ(ParseLineList(GetParam().list), GetParam().lines) << GetParam().list;
}

INSTANTIATE_TEST_SUITE_P(
    Lists, LineListTest,
    ::testing::Values(ListCase{"0,3,5-9", {0, 3, 5, 6, 7, 8, 9}},
                      ListCase{"1+9", {1, 3, 5, 7, 9}},      // odd numbers
                      ListCase{"0*8", {0, 2, 4, 6, 8}},      // even numbers
                      ListCase{"2+6", {3, 5}},               // odd, start even
                      ListCase{"1*6", {2, 4, 6}},            // even, start odd
                      ListCase{"9-1", {}},                   // start dropped too
                      ListCase{"1,,2", {1, 0, 2}},           // empty number is 0
                      ListCase{"1-5-9", {1, 5, 6, 7, 8, 9}},  // second operator
                      ListCase{"3-", {3}},                   // trailing operator
                      ListCase{"4,", {4}},                   // trailing comma
                      ListCase{"3-,7", {7}},                 // 3-0 expands to nothing
                      ListCase{"0-,7", {0, 7}},              // 0-0
                      ListCase{"", {}},
                      ListCase{",", {0}},
                      ListCase{"7", {7}},
                      ListCase{"12abc", {12}},               // atol stops at the letter
                      ListCase{"x", {0}},
                      ListCase{"5-5", {5}},
                      ListCase{"30-31", {30, 31}}));

TEST(LineListCap, StopsAtTheCapWithoutSpinning) {
  std::vector<int32_t> lines = ParseLineList("0-99999999");
  ASSERT_EQ(lines.size(), kMaxLineListNumbers);
  EXPECT_EQ(lines.front(), 0);
  EXPECT_EQ(lines.back(), static_cast<int32_t>(kMaxLineListNumbers) - 1);
}

TEST(LineListCap, RangeUpToTheLargestIntegerEnds) {
  // The end saturates at the 32-bit limit; the loop must still stop.
  std::vector<int32_t> lines = ParseLineList("2147483640-99999999999");
  EXPECT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines.back(), 2147483647);
}

TEST(LineListCap, NothingIsAppendedOnceFull) {
  std::vector<int32_t> lines = ParseLineList("0-5119,7000,8000-8005");
  ASSERT_EQ(lines.size(), kMaxLineListNumbers);
  EXPECT_EQ(lines.back(), 5119);
}

}  // namespace
}  // namespace frame
