// The system-information keys of a line of a real drive on the simulated
// board: the block state, the connected counts and the talk times follow
// the far end's BLOCK, call and hang-up.
#include <gtest/gtest.h>

#include <ctime>
#include <map>
#include <string>

#include "engine/keyword_table.h"
#include "engine/statement_registry.h"
#include "services/service_statements.h"
#include "telephony/board/dj_digit_drive.h"
#include "tests/telephony/tel_drive_fixture.h"

namespace telephony {
namespace {

constexpr int kWaitMs = 5000;
constexpr int32_t kLine = 3;
constexpr const char* kWaitScript = "k = \"\"\nWaitRing(1)\nGetKeys(k, 1, 30)\nHangup()\n";

// "GetSysInfo(" as a statement of the line's script: key -> value text.
std::map<std::string, std::string> SysInfo(TagTelDrive& drive, int32_t line = kLine) {
  std::shared_ptr<engine::TagTelBasic> script = drive.Line(line)->Script();
  engine::TagVar m;
  engine::StatementBuild build;
  build.row = engine::Keywords().FindKeyword("GetSysInfo(");
  build.args = {&m};
  build.script = script.get();
  std::string error;
  std::unique_ptr<engine::TagOper> s(engine::Statements().Build(build, &error));
  EXPECT_NE(s, nullptr) << error;
  std::map<std::string, std::string> info;
  if (s == nullptr || s->Execute() != 16) return info;
  engine::TagVar key, value;
  for (int32_t i = 0; m.GetItem(i, key, value) >= 0; ++i) info[key.ToText()] = value.ToText();
  return info;
}

TEST(SysInfoDrive, KeysFollowTheLinesBlockAndCall) {
  DriveFolder f("Trunks=1\n", RunCfgText(std::to_string(kLine) + "=info.vts\n"));
  f.WriteScript("info.vts", kWaitScript);
  TagTelDrive& drive = f.MakeDrive();
  f.ConnectFarEnd();
  ASSERT_EQ(drive.RunAllLines("VtTelRun.cfg"), kRunOk);
  ASSERT_TRUE(f.WaitRunning(kLine));
  std::map<std::string, std::string> idle = SysInfo(drive);
  EXPECT_FALSE(idle["CardSerNo"].empty()) << "the board's serial number";
  EXPECT_EQ(idle["CardSerNo"], CardSerialNo());
  EXPECT_EQ(idle["IsBlock"], "0");
  EXPECT_EQ(idle["ExLineConnectedNum"], "0");
  EXPECT_EQ(idle["TalkTime"], "0");
  EXPECT_EQ(idle["ConnectedTime1"], "0");

  ASSERT_EQ(f.far().Block("E3"), "OK");
  EXPECT_TRUE(WaitUntil([&] { return SysInfo(drive)["IsBlock"] == "1"; }, kWaitMs));
  ASSERT_EQ(f.far().Unblock("E3"), "OK");
  EXPECT_TRUE(WaitUntil([&] { return SysInfo(drive)["IsBlock"] == "0"; }, kWaitMs));

  ASSERT_EQ(f.far().Call("E3", "8675", "100"), "OK");
  ASSERT_NE(f.far().Wait("ANSWER", "E3", kWaitMs), std::nullopt);
  ASSERT_TRUE(WaitUntil([&] { return drive.Line(kLine)->call().callState == 1; }, kWaitMs));
  std::map<std::string, std::string> talking = SysInfo(drive);
  EXPECT_EQ(talking["ExLineConnectedNum"], "1");
  EXPECT_EQ(talking["InLineConnectedNum"], "0");
  EXPECT_GE(std::stoi(talking["TalkTime"]), 0);
  EXPECT_NEAR(std::stol(talking["ConnectedTime1"]), static_cast<long>(std::time(nullptr)), 5);

  ASSERT_EQ(f.far().Hangup("E3"), "OK");
  ASSERT_TRUE(WaitUntil([&] { return drive.Line(kLine)->call().callState != 1; }, kWaitMs));
  std::map<std::string, std::string> after = SysInfo(drive);
  EXPECT_EQ(after["ExLineConnectedNum"], "0");
  EXPECT_EQ(after["TalkTime"], "0");
  EXPECT_EQ(after["ConnectedTime1"], "0");
  drive.CloseAllTelLine();
}

// An analog phone port lifted counts as a connected internal line; a
// connected virtual line is none of the three kinds counted.
TEST(SysInfoDrive, ALiftedPhoneIsAConnectedInternalLine) {
  constexpr int32_t kPhone = 30;    // analog port A0 after the trunk's 30 lines
  constexpr int32_t kVirtual = 31;  // the first virtual line after it
  DriveFolder f("Trunks=1\nAnalogPorts=0\n", RunCfgText("30=info.vts\n31=vir.vts\n"));
  f.WriteScript("vir.vts", "WaitRing(1)\nn = 0\nwhile(n >= 0)\n{\n  Sleep(0.05)\n}\n");
  // The phone's script follows its hook.
  services::RegisterServiceStatements();
  f.WriteScript("info.vts", "n = 0\nwhile(n >= 0)\n{\n  GetHookState()\n  Sleep(0.05)\n}\n");
  TagTelDrive& drive = f.MakeDrive();
  f.ConnectFarEnd();
  ASSERT_EQ(drive.RunAllLines("VtTelRun.cfg"), kRunOk);
  ASSERT_TRUE(f.WaitRunning(kPhone));
  ASSERT_TRUE(f.WaitRunning(kVirtual));
  ASSERT_TRUE(WaitUntil([&] { return drive.Line(kVirtual)->call().callState == 1; }, kWaitMs));
  EXPECT_TRUE(WaitUntil([&] { return SysInfo(drive, kPhone)["InLineConnectedNum"] == "0"; },
                        kWaitMs));
  std::map<std::string, std::string> virtual_only = SysInfo(drive, kVirtual);
  for (const char* key : {"ExLineConnectedNum", "InLineConnectedNum", "VoipConnectedNum"}) {
    EXPECT_EQ(virtual_only[key], "0") << key;
  }
  ASSERT_EQ(f.far().Lift("A0"), "OK");
  EXPECT_TRUE(WaitUntil([&] { return SysInfo(drive, kPhone)["InLineConnectedNum"] == "1"; },
                        kWaitMs));
  EXPECT_EQ(SysInfo(drive, kPhone)["ExLineConnectedNum"], "0");
  ASSERT_EQ(f.far().Drop("A0"), "OK");
  EXPECT_TRUE(WaitUntil([&] { return SysInfo(drive, kPhone)["InLineConnectedNum"] == "0"; },
                        kWaitMs));
  drive.CloseAllTelLine();
}

}  // namespace
}  // namespace telephony
