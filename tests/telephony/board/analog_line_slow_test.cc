// An answered call from an analog trunk port, in real time: on hook,
// 450 ms, off hook, 2 s of dial tone, the dial, then the far end answers.
#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "tests/telephony/analog_lines_fixture.h"

namespace telephony {
namespace {

TEST(AnalogLineSlowTest, TrunkOutCallAnsweredConnects) {
  AnalogLines lines;
  TagDjUserCall& trunk = lines.user(AnalogLines::kTrunk);
  const auto start = std::chrono::steady_clock::now();
  auto placed = std::async(std::launch::async, [&] { return trunk.OutCall("95555"); });
  auto callout = lines.far().Wait("CALLOUT", "A1", 5000);
  ASSERT_TRUE(callout.has_value());
  EXPECT_EQ(EventArgs(callout), "95555 -");
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2450));
  ASSERT_EQ(lines.far().Answer("A1"), "OK");
  EXPECT_EQ(placed.get(), 0);
  EXPECT_EQ(trunk.callState.load(), engine::kCallConnected);
  EXPECT_TRUE(trunk.IsOnline());
  EXPECT_NE(lines.Log().find("lcnt=31, Connect OK"), std::string::npos);
  trunk.Hangup();
  EXPECT_EQ(lines.State("A1", "hook"), "0");
  EXPECT_EQ(lines.board().Violations(), std::vector<std::string>());
}

}  // namespace
}  // namespace telephony
