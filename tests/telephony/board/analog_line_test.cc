// Analog ports of the board: phone ports rung with caller identification
// and followed through their hook, trunk ports placing calls, ports of other
// types that take no calls; their voice, keys, fax and links. The test is
// the far end through the board's control socket; the lines run on the
// fake clock where the board's own time does not matter.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "telephony/statements/key_statements.h"
#include "telephony/statements/telephony_statements.h"
#include "tests/telephony/analog_lines_fixture.h"
#include "tests/telephony/script_on_line.h"

namespace telephony {
namespace {

constexpr int kWaitMs = 3000;
using Ints = std::vector<int32_t>;

std::string Hex(const std::string& bytes) {
  std::string out;
  char two[3];
  for (unsigned char c : bytes) {
    snprintf(two, sizeof two, "%02X", c);
    out += two;
  }
  return out;
}

std::string Raw(size_t bytes) {
  std::string data;
  for (size_t i = 0; i < bytes; ++i) data.push_back(static_cast<char>(1 + i % 97));
  return data;
}

platform::FakeClock ThirdOfMarchAt1405() {
  return platform::FakeClock(1000, platform::WallTime{2026, 3, 3, 14, 5, 0, 0, 2});
}

// --- Phone ports ---

TEST(AnalogLineTest, PhoneHookIsFollowedWithItsTracesAndState) {
  platform::FakeClock clock;
  platform::ScopedClock use(&clock);
  AnalogLines lines;
  TagDjUserCall& phone = lines.user(AnalogLines::kPhone);
  EXPECT_EQ(phone.lineKind, engine::kLineAnalogPhone);
  EXPECT_EQ(phone.GetHookState(), 0);
  EXPECT_EQ(phone.callState.load(), engine::kCallReleased);
  phone.keyBuf = "9";
  ASSERT_EQ(lines.far().Lift("A0"), "OK");
  EXPECT_NE(phone.GetHookState(), 0);
  EXPECT_EQ(phone.callState.load(), engine::kCallConnected);
  EXPECT_EQ(phone.keyBuf, "");
  EXPECT_TRUE(phone.IsOnline());
  ASSERT_EQ(lines.far().Drop("A0"), "OK");
  EXPECT_EQ(phone.GetHookState(), 0);
  EXPECT_EQ(phone.callState.load(), engine::kCallReleased);
  EXPECT_FALSE(phone.IsOnline());
  const std::string log = lines.Log();
  const size_t on = log.find("lcnt=30, On]"), off = log.find("lcnt=30, Off]");
  ASSERT_NE(on, std::string::npos);
  EXPECT_GT(log.rfind("lcnt=30, Off]"), on);
  EXPECT_NE(off, std::string::npos);
}

TEST(AnalogLineTest, MakeRingSendsNothingWhereNoSetWaitsOnHook) {
  platform::FakeClock clock;
  platform::ScopedClock use(&clock);
  AnalogLines lines;
  ASSERT_EQ(lines.far().Lift("A0"), "OK");
  lines.board().ClearJournal();
  for (int32_t line : {AnalogLines::kPhone, AnalogLines::kTrunk, AnalogLines::kOther}) {
    SCOPED_TRACE(line);
    EXPECT_EQ(lines[line].MakeRing("12345"), 0);
  }
  EXPECT_TRUE(lines.Calls("e1:85").empty());
  EXPECT_TRUE(lines.Calls("fsk:4").empty());
  EXPECT_EQ(lines.user(AnalogLines::kOther).lineKind, engine::kLineOther);
}

TEST(AnalogLineTest, MakeRingRingsThenSendsTheCallerIdInItsTime) {
  platform::FakeClock clock = ThirdOfMarchAt1405();
  platform::ScopedClock use(&clock);
  AnalogLines lines;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(lines[AnalogLines::kPhone].MakeRing("12345"), 0);
  EXPECT_EQ(lines[AnalogLines::kPhone].callState.load(), engine::kCallDialing);
  auto ring = lines.far().Wait("RING", "A0", kWaitMs);
  auto fsk = lines.far().Wait("FSK", "A0", kWaitMs);
  ASSERT_TRUE(ring && fsk);
  EXPECT_LT(EventSeq(ring), EventSeq(fsk));
  // Type 4, L = 13, "03031405" and the number, the sum of all 16 bytes 0.
  EXPECT_EQ(EventArgs(fsk), "040D" + Hex("0303140512345") + "60");
  // Seizure, marks and 16 bytes at 1200 bit/s: about half a second.
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(450));
  EXPECT_EQ(lines.Calls("fsk:6").size(), 1u);
}

TEST(AnalogLineTest, OverlongCallingNumberIsCutTo244Characters) {
  platform::FakeClock clock = ThirdOfMarchAt1405();
  platform::ScopedClock use(&clock);
  AnalogLines lines;
  std::string number;
  for (int i = 0; i < 245; ++i) number.push_back(static_cast<char>('0' + i % 10));
  EXPECT_EQ(lines[AnalogLines::kPhone].MakeRing(number), 0);
  std::string text = "03031405" + number.substr(0, 244);
  std::string frame = std::string("\x04", 1) + static_cast<char>(text.size()) + text;
  unsigned sum = 0;
  for (unsigned char c : frame) sum += c;
  frame.push_back(static_cast<char>((256 - sum % 256) % 256));
  auto sent = lines.Calls("fsk:4");
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].args, "0, \"" + Hex(frame) + "\", 255, 1");
  EXPECT_NE(lines.Log().find("245 characters is sent cut to 244"), std::string::npos);
}

// --- Trunk ports ---

TEST(AnalogLineTest, OutCallFailuresByPort) {
  platform::FakeClock clock;
  platform::ScopedClock use(&clock);
  AnalogLines lines;
  TagDjUserCall& trunk = lines.user(AnalogLines::kTrunk);
  ASSERT_EQ(lines.far().Reject("A1", 3), "OK");
  EXPECT_EQ(trunk.OutCall("95555"), -1);
  EXPECT_EQ(trunk.callState.load(), engine::kCallReleased);  // hung up
  EXPECT_EQ(lines.State("A1", "hook"), "0");
  // Nobody answers: 45 s on the clock, then hung up.
  const uint32_t before = clock.TickCount();
  EXPECT_EQ(trunk.OutCall("95555"), -2);
  EXPECT_GE(clock.TickCount() - before, 2450u + 45000u);
  EXPECT_EQ(trunk.callState.load(), engine::kCallReleased);
  EXPECT_NE(lines.Log().find("Connect Failed, TimeOut"), std::string::npos);
  lines.board().ClearJournal();
  EXPECT_EQ(lines[AnalogLines::kPhone].OutCall("95555"), -1);
  EXPECT_EQ(lines[AnalogLines::kOther].OutCall("95555"), -1);
  EXPECT_TRUE(lines.Calls("e1:269").empty());
  EXPECT_NE(lines.Log().find("lcnt=32, OutCall(95555): the port is neither"), std::string::npos);
  EXPECT_EQ(lines.board().Violations(), std::vector<std::string>());
}

// --- Voice and keys ---

TEST(AnalogLineTest, PlayOfAWavNameStartsPastItsHeader) {
  AnalogLines lines;
  const std::string voice = Raw(1200);
  testing_support::WriteFile(lines.File("p.WAV"), voice);
  ASSERT_EQ(lines.far().Lift("A0"), "OK");
  ASSERT_EQ(lines.far().CaptureStart("A0", "heard.raw"), "OK");
  EXPECT_EQ(lines[AnalogLines::kPhone].Play(lines.File("p.WAV"), 0, 0), 1);
  ASSERT_EQ(lines.far().CaptureStop("A0"), "OK");
  auto played = lines.Calls("e1:251");
  ASSERT_EQ(played.size(), 1u);
  EXPECT_NE(played[0].args.find(", 90, -1"), std::string::npos);
  const std::string heard = testing_support::ReadFile(lines.File("heard.raw")).value_or("");
  EXPECT_NE(heard.find(voice.substr(90)), std::string::npos);
  EXPECT_NE(lines.Log().find("EndPlay."), std::string::npos);
}

TEST(AnalogLineTest, GetKeysFollowsTheBoardLinesRules) {
  struct Case {
    const char* keys;
    int32_t max;
    const char* end;
    int32_t result;
    const char* got;
    const char* left;
  };
  const Case cases[] = {
      {"12#34", 4, "#", 2, "12", "34"},
      {"12*3", 4, "*", 3, "12*", "3"},
      {"12.3", 4, "*", 3, "12.", "3"},
      {"1234", 3, "", 3, "123", "4"},
  };
  platform::FakeClock clock;
  platform::ScopedClock use(&clock);
  AnalogLines lines;
  TagDjUserCall& phone = lines.user(AnalogLines::kPhone);
  ASSERT_EQ(lines.far().Lift("A0"), "OK");
  phone.GetHookState();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys);
    phone.keyBuf.clear();
    if (std::string(c.keys).find('.') != std::string::npos) {
      phone.keyBuf = c.keys;  // "." is no board key: as the statement stores "*"
    } else {
      ASSERT_EQ(lines.far().Keys("A0", c.keys, 0), "OK");
    }
    std::string got;
    EXPECT_EQ(phone.GetKeys(got, c.max, 10, c.end), c.result);
    EXPECT_EQ(got, c.got);
    EXPECT_EQ(phone.keyBuf, c.left);
  }
  // Put down: -1; the change of hook has cleared the keys.
  phone.keyBuf = "7";
  ASSERT_EQ(lines.far().Drop("A0"), "OK");
  std::string got = "x";
  EXPECT_EQ(phone.GetKeys(got, 4, 10, "#"), -1);
  EXPECT_EQ(got, "");
}

TEST(AnalogLineTest, ManyWaitingKeysAreStoredOnlyUpToTheStatementsRoom) {
  RegisterTelephonyStatements();
  AnalogLines lines;
  ASSERT_EQ(lines.far().Lift("A0"), "OK");
  ScriptOnLine script("k = \"\"\nh = GetHookState()\nr = GetKeys(k, 0, 10)\nreturn(1)\n",
                      lines[AnalogLines::kPhone], "keys.vts");
  ASSERT_TRUE(script.compiled()) << script.Errors();
  script.Start();
  // The script's start resets the call state, so its first look at the
  // hook clears the keys: they come once it waits in GetKeys.
  platform::GetClock().Sleep(300);
  ASSERT_EQ(lines.far().Keys("A0", std::string(300, '5') + "#", 0), "OK");
  ASSERT_TRUE(script.Wait(kWaitMs).has_value());
  EXPECT_EQ(script.Int("r"), static_cast<int32_t>(kDefaultKeysRoom));
  EXPECT_EQ(script.Text("k"), std::string(kDefaultKeysRoom, '5'));
}

TEST(AnalogLineTest, RecordOnAPutDownPhoneStillMakesAWavFile) {
  platform::FakeClock clock;
  platform::ScopedClock use(&clock);
  AnalogLines lines;
  TagDjUserCall& phone = lines.user(AnalogLines::kPhone);
  EXPECT_EQ(phone.Record(lines.File("r.WAV"), 10, 1), -1);
  const std::string file = testing_support::ReadFile(lines.File("r.WAV")).value_or("");
  EXPECT_EQ(file.substr(0, 4), "RIFF");
  EXPECT_EQ(lines.State("A0", "recording"), "0");
}

TEST(AnalogLineTest, FaxThatCannotBeAttachedLeavesTheResourceFree) {
  platform::FakeClock clock;
  platform::ScopedClock use(&clock);
  AnalogLines lines("FaxResources=1\n");
  // A port past the board's: the board refuses to attach a resource to it.
  TagDjUserCall missing(35, 5, &lines.drive());
  EXPECT_EQ(missing.SendFax(lines.File("x.tif")), -2);
  int32_t total = 0, busy = -1;
  EXPECT_EQ(missing.GetFaxResource(total, busy), 0);
  EXPECT_EQ(total, 1);
  EXPECT_EQ(missing.faxId, -1);
}

// --- Links ---

TEST(AnalogLineTest, SwitchesBetweenE1AndAnalogPorts) {
  platform::FakeClock clock;
  platform::ScopedClock use(&clock);
  AnalogLines lines("Conference=none\n");
  EXPECT_EQ(lines[AnalogLines::kE1].LinkTo(AnalogLines::kPhone, 0), 0);
  EXPECT_EQ(lines.State("E3", "switched"), "A0");
  EXPECT_EQ(lines[AnalogLines::kE1].UnlinkTo(AnalogLines::kPhone, 0), 0);
  EXPECT_EQ(lines[AnalogLines::kPhone].LinkTo(AnalogLines::kPhone2, 0), 0);
  EXPECT_EQ(lines.State("A0", "switched"), "A3");
  Ints members, listen, values;
  lines[AnalogLines::kPhone].GetLinkList(members, listen, values);
  EXPECT_EQ(members, (Ints{AnalogLines::kPhone2, AnalogLines::kPhone}));
  EXPECT_EQ(lines[AnalogLines::kPhone].UnlinkAll(), 0);
  EXPECT_EQ(lines.State("A0", "switched"), "-");
  EXPECT_EQ(lines[AnalogLines::kPhone].LinkTo(AnalogLines::kE1, 0), -1);
  EXPECT_EQ(lines[AnalogLines::kPhone].LinkTo(99, 0), -1);
  const std::string log = lines.Log();
  EXPECT_NE(log.find("[0] : LinkTo(33, 0)"), std::string::npos);
  EXPECT_NE(log.find("LinkTo Err: User to Trunk (30, 3)."), std::string::npos);
  EXPECT_EQ(lines.board().Violations(), std::vector<std::string>());
}

// The gain of a member: b = 100 - v up to 100, else v % 100; the older
// interface b x -1.27 (+1.27 above 100); the newer b x -0.22 (+0.22) - 6,
// then +5 on a trunk port and -10 on a phone port; truncated.
int32_t ExpectedGain(bool newer, bool phone, int32_t v) {
  const double b = v <= 100 ? 100 - v : v % 100;
  if (!newer) return static_cast<int32_t>(b * (v <= 100 ? -1.27 : 1.27));
  return static_cast<int32_t>(b * (v <= 100 ? -0.22 : 0.22) - 6 + (phone ? -10 : 5));
}

TEST(AnalogLineTest, ConferenceGainsOfAnalogMembers) {
  platform::FakeClock clock;
  platform::ScopedClock use(&clock);
  for (bool newer : {false, true}) {
    AnalogLines lines(newer ? "Conference=newer\n" : "Conference=older\n");
    for (int32_t line : {AnalogLines::kPhone, AnalogLines::kTrunk}) {
      for (int32_t volume : {0, 50, 100, 150}) {
        SCOPED_TRACE(std::to_string(newer) + " " + std::to_string(line) + " " +
                     std::to_string(volume));
        lines[line].confVolume = volume;
        ASSERT_EQ(lines[AnalogLines::kE1].LinkTo(line, 0), 0);
        const std::string addr = line == AnalogLines::kPhone ? "A0" : "A1";
        auto join = lines.far().Wait("CONFJOIN", addr, kWaitMs);
        const std::string args = EventArgs(join);
        EXPECT_EQ(args.substr(args.rfind(' ') + 1),
                  std::to_string(ExpectedGain(newer, line == AnalogLines::kPhone, volume)));
        ASSERT_EQ(lines[AnalogLines::kE1].UnlinkTo(line, 0), 0);
      }
    }
  }
}

// --- The board pump ---

TEST(AnalogLineTest, AnAnalogLineAloneStillPumpsTheBoardAtMostEvery200Ms) {
  platform::FakeClock clock;
  platform::ScopedClock use(&clock);
  AnalogLines lines;
  ASSERT_EQ(lines.far().Lift("A0"), "OK");
  lines.board().ClearJournal();
  const uint32_t start = clock.TickCount();
  std::string got;
  EXPECT_EQ(lines[AnalogLines::kPhone].GetKeys(got, 4, 3, "#"), -1);
  const uint32_t elapsed = clock.TickCount() - start;
  const size_t pumps = lines.Calls("e1:3").size();
  EXPECT_GE(pumps, elapsed / 400);
  EXPECT_LE(pumps, elapsed / 200 + 1);
}

}  // namespace
}  // namespace telephony
