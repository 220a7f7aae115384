// Links without conference groups, made by scripts, with the test as the
// far end of both lines: the switched time slots carry each other's voice,
// and a stop of the E1 side (a play, the first step of another link) cuts
// a switch to an analog port while the line still lists it.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "telephony/statements/telephony_statements.h"
#include "tests/telephony/analog_lines_fixture.h"
#include "tests/telephony/board/e1_lines_fixture.h"
#include "tests/telephony/script_on_line.h"
#include "tests/test_support.h"

namespace telephony {
namespace {

// What each side sends: 1600 bytes (200 ms), distinct for each side, no
// A-law silence in them.
std::string Voice(int first) {
  std::string bytes;
  for (int i = 0; i < 1600; ++i) bytes.push_back(static_cast<char>(first + (i * 7) % 90));
  return bytes;
}

// Runs text once on call; the script's value of each name.
std::vector<int32_t> RunOnce(engine::LineCallBase& call, const std::string& text,
                             const std::vector<const char*>& names) {
  ScriptOnLine run(text + "\nreturn(0)\n", call);
  EXPECT_TRUE(run.compiled()) << run.Errors();
  run.RunHere();
  std::vector<int32_t> values;
  for (const char* name : names) values.push_back(run.Int(name));
  return values;
}

TEST(LinkSwitchTest, AnE1LineAndAPhonePortCarryEachOthersVoice) {
  RegisterTelephonyStatements();
  AnalogLines lines("Conference=none\n");
  testing_support::ScopedChdir cd(lines.File(""));
  const std::string e1_voice = Voice(0x21), port_voice = Voice(0x31);
  testing_support::WriteFile(lines.File("e1.raw"), e1_voice);
  testing_support::WriteFile(lines.File("port.raw"), port_voice);
  testing_support::WriteFile(lines.File("p.raw"), std::string(400, '\x66'));
  ASSERT_EQ(lines.far().Lift("A0"), "OK");

  EXPECT_EQ(RunOnce(lines[AnalogLines::kE1], "r = LinkTo(30, 0)", {"r"}),
            std::vector<int32_t>{0});
  EXPECT_EQ(lines.State("E3", "switched"), "A0");
  ASSERT_EQ(lines.far().CaptureStart("E3", "heard_e1.raw"), "OK");
  ASSERT_EQ(lines.far().CaptureStart("A0", "heard_port.raw"), "OK");
  ASSERT_EQ(lines.far().Inject("E3", "e1.raw"), "OK");
  ASSERT_EQ(lines.far().Inject("A0", "port.raw"), "OK");
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  ASSERT_EQ(lines.far().CaptureStop("E3"), "OK");
  ASSERT_EQ(lines.far().CaptureStop("A0"), "OK");
  const std::string heard_e1 = testing_support::ReadFile(lines.File("heard_e1.raw")).value_or("");
  const std::string heard_port =
      testing_support::ReadFile(lines.File("heard_port.raw")).value_or("");
  EXPECT_NE(heard_e1.find(port_voice), std::string::npos);
  EXPECT_NE(heard_port.find(e1_voice), std::string::npos);

  // A play on the E1 side cuts the switch; the pair stays listed, so a
  // second link is refused until the line unlinks it.
  RunOnce(lines[AnalogLines::kE1], "p = Play(\"p.raw\")", {});
  EXPECT_EQ(lines.State("E3", "switched"), "-");
  EXPECT_NE(lines.Log().find("FreeCh(3): the switch to line 30 was cleared"), std::string::npos);
  // UnlinkTo( finds no switch left to clear (-1) and frees the listing.
  const auto after = RunOnce(lines[AnalogLines::kE1],
                             "m = 0\nf = 0\nv = 0\nn = GetLinkList(m, f, v)\nk = m[0];\n"
                             "l = LinkTo(30, 0)\nu = UnlinkTo(30, 0)\na = LinkTo(30, 0)",
                             {"n", "k", "l", "u", "a"});
  EXPECT_EQ(after, (std::vector<int32_t>{-1, 30, -2, -1, 0}));
  EXPECT_EQ(lines.State("E3", "switched"), "A0");
  EXPECT_EQ(RunOnce(lines[AnalogLines::kE1], "r = UnlinkAll()", {"r"}), std::vector<int32_t>{0});
  EXPECT_EQ(lines.State("E3", "switched"), "-");
  EXPECT_EQ(lines.board().Violations(), std::vector<std::string>());
}

TEST(LinkSwitchTest, AnE1SwitchOutlivesAPlay) {
  E1Lines lines("", "CONF=no\n", {3, 7});
  testing_support::WriteFile(lines.File("p.raw"), std::string(400, '\x66'));
  ASSERT_EQ(lines[3].LinkTo(7, 0), 0);
  EXPECT_GE(lines[3].Play(lines.File("p.raw"), 0, 0), 0);
  EXPECT_EQ(lines.State(3, "switched"), "E7");
  EXPECT_EQ(lines[3].UnlinkTo(7, 0), 0);
  EXPECT_EQ(lines.State(3, "switched"), "-");
}

}  // namespace
}  // namespace telephony
