// A far-end release in the middle of a play: the play ends, and the run
// loop jumps to the script's "OnDisconn(" handler, which runs once.
#include <gtest/gtest.h>

#include <string>

#include "telephony/statements/telephony_statements.h"
#include "tests/telephony/script_on_line.h"
#include "tests/telephony/tup_call_fixture.h"

namespace telephony {
namespace {

TEST(CallRoadTest, FarEndReleaseDuringAPlayJumpsToOnDisconn) {
  RegisterTelephonyStatements();
  TupLine line;
  testing_support::WriteFile(line.File("long.raw"), std::string(80000, '\x55'));  // 10 s
  ScriptOnLine script(
      "played = -9\ngone = 0\nWaitRing(1)\nplayed = Play(\"long.raw\")\nplayed = 99\n"
      "OnDisconn()\ngone = gone + 1\nreturn(7)\n",
      line.call(), "road.vts");
  ASSERT_TRUE(script.compiled()) << script.Errors();
  script.Start();
  ASSERT_EQ(line.far().Call("E3", "13900000000", "8001"), "OK");
  ASSERT_TRUE(line.far().Wait("PLAY", "E3", 5000));
  ASSERT_EQ(line.far().Hangup("E3"), "OK");
  EXPECT_EQ(script.Wait(5000), std::optional<int32_t>(7));
  EXPECT_EQ(script.Int("gone"), 1);
  EXPECT_NE(script.Int("played"), 99);  // the statement after the play never ran
  EXPECT_EQ(EventArgs(line.far().Wait("RELEASE", "E3", 2000)), "1");
  EXPECT_TRUE(line.far().Wait("PLAYEND", "E3", 2000));
}

}  // namespace
}  // namespace telephony
