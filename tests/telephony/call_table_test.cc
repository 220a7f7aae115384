// Every slot of the call operation table on a base call object: its fixed
// result and everything it changes (fields of the call and out-values),
// computed as the difference of two snapshots so that a row also proves
// that nothing else changed.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "telephony/vt_call.h"

namespace telephony {
namespace {

// Out-values handed to the operations, preset so that a write shows.
struct Outs {
  std::string s1 = "?", s2 = "?", s3 = "?", s4 = "?";
  int32_t i1 = 7, i2 = 7, i3 = 7;
  std::vector<int32_t> v1{9}, v2{9}, v3{9};
};

using State = std::map<std::string, std::string>;

State Snapshot(const TagVtCall& c, const Outs& o, const TagVtCall* peer) {
  auto n = [](auto v) { return std::to_string(v); };
  return {
      {"callState", n(c.callState.load())}, {"prevState", n(c.prevState)},
      {"connectTime", n(c.connectTime.load())}, {"blocked", n(c.blocked.load())},
      {"stopFlag", n(c.stopFlag.load())}, {"maxTalkTime", n(c.maxTalkTime)},
      {"noRingbackAns", n(c.noRingbackAns)}, {"volume", n(c.volume)},
      {"playVolume", n(c.playVolume)}, {"confVolume", n(c.confVolume)},
      {"lineClosed", n(c.lineClosed)}, {"breakOnKey", n(c.breakOnKey)},
      {"keyBuf", c.keyBuf}, {"keyCount", n(c.keyBuf.size())}, {"keyTime", n(c.keyTime)},
      {"dialFailedTo", n(c.dialFailedTo)}, {"wavePlay", c.wavePlay ? "set" : "null"},
      {"loopPlaying", n(c.loopPlaying)}, {"loopFile", c.loopFile}, {"loopPos", n(c.loopPos)},
      {"callerId", c.callerId}, {"subAddr1", c.subAddr1}, {"subAddr2", c.subAddr2},
      {"firstCalleeId", c.firstCalleeId}, {"firstCalleeVal", n(c.firstCalleeVal)},
      {"tones", n(c.signalTones.size())}, {"dialOnMode", n(c.dialOnMode)},
      {"sigRawRecvLen", n(c.sigRawRecvLen)}, {"sigRawSendLen", n(c.sigRawSendLen)},
      {"linkedCall", c.linkedCall == peer ? "peer" : c.linkedCall ? "other" : "null"},
      {"callType", n(c.callType)}, {"recordPos", n(c.recordPos)},
      {"sigPara1", n(c.sigPara1)}, {"sigPara2", n(c.sigPara2)},
      {"out.s1", o.s1}, {"out.s2", o.s2}, {"out.s3", o.s3}, {"out.s4", o.s4},
      {"out.i1", n(o.i1)}, {"out.i2", n(o.i2)}, {"out.i3", n(o.i3)},
      {"out.v", n(o.v1.size()) + n(o.v2.size()) + n(o.v3.size())},
  };
}

// "name=value;..." of what differs between two snapshots, in name order.
std::string Changes(const State& before, const State& after) {
  std::string out;
  for (const auto& [name, value] : after) {
    if (before.at(name) == value) continue;
    if (!out.empty()) out += ";";
    out += name + "=" + value;
  }
  return out;
}

// A call whose destruction a row observes.
struct Counted : TagVtCall {
  explicit Counted(int32_t* destroyed) : destroyed_(destroyed) {}
  ~Counted() override { ++*destroyed_; }
  int32_t* destroyed_;
};

using Op = std::function<int32_t(TagVtCall&, Outs&, TagVtCall&)>;

struct Row {
  int slot;
  const char* name;
  Op call;
  int32_t result;       // void operations give 0, bool ones 0/1
  const char* changes;  // Changes() after the call
};

constexpr int32_t kVoid = 0;

// clang-format off
const Row kRows[] = {
  {0, "ReLoopPlay", [](auto& c, auto&, auto&) { return c.ReLoopPlay(); }, -2, ""},
  {1, "SetCallerId", [](auto& c, auto&, auto&) { c.SetCallerId("8001"); return kVoid; }, 0, "callerId=8001"},
  {2, "SetSubAddr", [](auto& c, auto&, auto&) { c.SetSubAddr("甲", "B"); return kVoid; }, 0, "subAddr1=甲;subAddr2=B"},
  {3, "SetFirstCalleeId", [](auto& c, auto&, auto&) { c.SetFirstCalleeId("95", 3); return kVoid; }, 0, "firstCalleeId=95;firstCalleeVal=3"},
  {4, "OpenLine", [](auto& c, auto&, auto&) { c.lineClosed = 1; c.OpenLine(); return kVoid; }, 0, ""},
  {5, "CloseLine", [](auto& c, auto&, auto&) { c.CloseLine(); return kVoid; }, 0, "lineClosed=1"},
  {6, "ClearKeys", [](auto& c, auto&, auto&) { c.ClearKeys(); return kVoid; }, 0, ""},
  {7, "OutCall", [](auto& c, auto&, auto&) { return c.OutCall("62345678"); }, 0, "callState=1"},
  {8, "WaitRing", [](auto& c, auto&, auto&) { return c.WaitRing(2); }, 0, "callState=1"},
  {9, "IsRings", [](auto& c, auto&, auto&) { return c.IsRings(2); }, 1, "callState=6"},
  {10, "SetCharge", [](auto& c, auto&, auto&) { return c.SetCharge(0); }, 1, ""},
  {11, "Answer", [](auto& c, auto&, auto&) { return c.Answer(5); }, 5, ""},
  {12, "IsRinging", [](auto& c, auto& o, auto&) { return c.IsRinging(o.s1, o.s2); }, 1, "callState=6;out.s1=;out.s2="},
  {13, "SipGetPeerMsg", [](auto& c, auto& o, auto&) { return c.SipGetPeerMsg(o.s1, o.s2); }, 0, "out.s1=;out.s2="},
  {14, "Spare14", [](auto& c, auto&, auto&) { return c.Spare14(); }, 0, ""},
  {15, "Play", [](auto& c, auto&, auto&) { return c.Play("a.wav", 1, 1); }, -2, ""},
  {16, "PlayMemVoc", [](auto& c, auto&, auto&) { return c.PlayMemVoc("\x55\xd5", 0, 2, 0, 1); }, -2, ""},  // played as a file, as Play
  {17, "StartLoopPlay", [](auto& c, auto&, auto&) { return c.StartLoopPlay("a.wav", 0); }, -2, ""},
  {18, "PcPlay", [](auto& c, auto&, auto&) { return c.PcPlay("a.wav", 0, 1, 1); }, -2, ""},
  {19, "IsPcPlayEnd", [](auto& c, auto&, auto&) { return c.IsPcPlayEnd(); }, 1, ""},
  {20, "Record", [](auto& c, auto&, auto&) { return c.Record("r.wav", 10, 1); }, 0, ""},
  {21, "StartRecord", [](auto& c, auto&, auto&) { return c.StartRecord("r.wav", 10); }, 0, ""},
  {22, "GetKeys", [](auto& c, auto& o, auto&) { return c.GetKeys(o.s1, 4, 10, "#"); }, 0, ""},
  {23, "SetKeyTime", [](auto& c, auto&, auto&) { return c.SetKeyTime(5); }, 5, "keyTime=5"},
  {24, "SetKeys", [](auto& c, auto&, auto&) { return c.SetKeys("123#"); }, 0, ""},
  {25, "KeysLen", [](auto& c, auto&, auto&) { return c.KeysLen(); }, 0, ""},
  {26, "StopPlay", [](auto& c, auto&, auto&) { c.StopPlay(); return kVoid; }, 0, ""},
  {27, "Hangup", [](auto& c, auto&, auto&) { c.Hangup(); return kVoid; }, 0, "callState=2"},
  {28, "Spare28", [](auto& c, auto&, auto&) { return c.Spare28(); }, 0, ""},
  {29, "Spare29", [](auto& c, auto&, auto&) { return c.Spare29(); }, 0, ""},
  {30, "GetCallerId", [](auto& c, auto& o, auto&) { return c.GetCallerId(o.s1); }, 0, "out.s1="},
  {31, "GetCalleeId", [](auto& c, auto& o, auto&) { return c.GetCalleeId(o.s1); }, 0, "out.s1="},
  {32, "GetFirstCalleeId", [](auto& c, auto& o, auto&) { c.SetFirstCalleeId("95", 1); return c.GetFirstCalleeId(o.s1); }, 0, "firstCalleeId=95;firstCalleeVal=1;out.s1="},
  {33, "SetFaxLocalId", [](auto& c, auto&, auto&) { c.SetFaxLocalId("FAX1"); return kVoid; }, 0, ""},
  {34, "GetFaxResource", [](auto& c, auto& o, auto&) { return c.GetFaxResource(o.i1, o.i2); }, 0, "out.i1=0;out.i2=0"},
  {35, "SendFax", [](auto& c, auto&, auto&) { return c.SendFax("f.tif"); }, 0, ""},
  {36, "RecvFax", [](auto& c, auto&, auto&) { return c.RecvFax("f.tif"); }, 0, ""},
  {37, "Spare37", [](auto& c, auto&, auto&) { c.Spare37(); return kVoid; }, 0, ""},
  {38, "TxtSpeak", [](auto& c, auto&, auto&) { return c.TxtSpeak("你好", 0, 0, 0); }, -1, ""},
  {39, "TxtSpeakToFile", [](auto& c, auto&, auto&) { return c.TxtSpeakToFile("你好", "o.wav", 1, 0); }, 0, ""},
  {40, "SetNobkringAns", [](auto& c, auto&, auto&) { return c.SetNobkringAns(1); }, 1, "noRingbackAns=1"},
  {41, "GetNobkringAns", [](auto& c, auto&, auto&) { return c.GetNobkringAns(); }, 0, ""},
  {42, "SetVolume", [](auto& c, auto&, auto&) { c.SetVolume(40, 1); return kVoid; }, 0, "playVolume=40"},
  {43, "SetBusyPara", [](auto& c, auto&, auto&) { c.SetBusyPara(1, 2, 3); return kVoid; }, 0, ""},
  {44, "SetRingbackPara", [](auto& c, auto&, auto&) { c.SetRingbackPara(1, 2, 3); return kVoid; }, 0, ""},
  {45, "SetSignalFreqPara", [](auto& c, auto&, auto&) { c.SetSignalFreqPara(1, 2, 3); return kVoid; }, 0, ""},
  {46, "EnableLineSpeaker", [](auto& c, auto&, auto&) { c.EnableLineSpeaker(1); return kVoid; }, 0, ""},
  {47, "LinkTo", [](auto& c, auto&, auto&) { return c.LinkTo(3, 1); }, 0, ""},
  {48, "UnlinkTo", [](auto& c, auto&, auto&) { return c.UnlinkTo(3, 1); }, 0, ""},
  {49, "UnlinkAll", [](auto& c, auto&, auto&) { return c.UnlinkAll(); }, 0, ""},
  {50, "ListenTo", [](auto& c, auto&, auto&) { return c.ListenTo(3, 1); }, 0, ""},
  {51, "GetLinkList", [](auto& c, auto& o, auto&) { return c.GetLinkList(o.v1, o.v2, o.v3); }, 0, ""},
  {52, "SetBreak", [](auto& c, auto&, auto&) { return c.SetBreak(0); }, 0, "breakOnKey=0"},
  {53, "Dial", [](auto& c, auto&, auto&) { return c.Dial("62345678"); }, 0, ""},
  {54, "ImSend", [](auto& c, auto&, auto&) { return c.ImSend("sip:a@b", "x", "消息", 4); }, 0, ""},
  {55, "ImTest", [](auto& c, auto&, auto&) { return c.ImTest(); }, 0, ""},
  {56, "ImRead", [](auto& c, auto& o, auto&) { return c.ImRead(o.s1, o.s2, o.s3, o.s4); }, 0, ""},
  {57, "ImRecv", [](auto& c, auto& o, auto&) { return c.ImRecv(o.s1, o.i1); }, 0, ""},
  {58, "ImMsgGetField", [](auto& c, auto& o, auto&) { return c.ImMsgGetField(1, "From", "", o.s1); }, 0, ""},
  {59, "ImMakeAns", [](auto& c, auto&, auto&) { return c.ImMakeAns(1, 200, "a", "b", "c", "d"); }, 0, ""},
  {60, "ImMsgFree", [](auto& c, auto&, auto&) { return c.ImMsgFree(1); }, 0, ""},
  {61, "ImMakeReq", [](auto& c, auto& o, auto&) { return c.ImMakeReq({"1", "2", "3", "4", "5", "6", "7", "8"}, o.s1); }, 0, ""},
  {62, "ImFileSend", [](auto& c, auto& o, auto&) { return c.ImFileSend("f", o.s1, o.i1, o.s2, o.i2, o.s3); }, 0, ""},
  {63, "ImFileRecv", [](auto& c, auto& o, auto&) { return c.ImFileRecv(1, "n", 3, o.i1, o.s1, o.s2, o.s3, o.s4, o.i2); }, 0, ""},
  {64, "ImFileCheck", [](auto& c, auto& o, auto&) { return c.ImFileCheck(1, o.i1, o.i2); }, 0, ""},
  {65, "ImFileEnd", [](auto& c, auto&, auto&) { return c.ImFileEnd(1); }, 0, ""},
  {66, "ImFileProcAnswer", [](auto& c, auto&, auto&) { return c.ImFileProcAnswer("ok"); }, 0, ""},
  {67, "CheckDial", [](auto& c, auto&, auto&) { return c.CheckDial(); }, 1, "callState=1"},
  {68, "MakeRing", [](auto& c, auto&, auto&) { return c.MakeRing("8001"); }, 0, ""},
  {69, "GetHookState", [](auto& c, auto&, auto&) { return c.GetHookState(); }, 1, ""},
  {70, "TransferTo", [](auto& c, auto&, auto&) { return c.TransferTo("8002"); }, 0, ""},
  {71, "IsOnline", [](auto& c, auto&, auto&) { return int32_t{c.IsOnline()}; }, 0, ""},
  {72, "ConnectMedia", [](auto& c, auto&, auto& peer) { return c.ConnectMedia(&peer); }, 0, ""},
  {73, "DisconnectMedia", [](auto& c, auto&, auto&) { return c.DisconnectMedia(); }, 0, "linkedCall=null"},
  {74, "StartRtp", [](auto& c, auto&, auto&) { return c.StartRtp(); }, 0, ""},
  {75, "EndRtp", [](auto& c, auto&, auto&) { return c.EndRtp(); }, 0, ""},
  {76, "GetCallType", [](auto& c, auto&, auto&) { c.callType = 3; return c.GetCallType(); }, 0, "callType=3"},
  {77, "SendFskMsg", [](auto& c, auto&, auto&) { return c.SendFskMsg(0x80, "8001", 0); }, 0, ""},
  {78, "RecvFskMsg", [](auto& c, auto& o, auto&) { return c.RecvFskMsg(o.i1, o.s1, 5); }, 0, "out.i1=0;out.s1="},
  {79, "SipGetDestAddr", [](auto& c, auto& o, auto&) { return c.SipGetDestAddr("u", o.s1); }, -1, ""},
  {80, "SipGetAccAddr", [](auto& c, auto& o, auto&) { return c.SipGetAccAddr("u", "d", o.s1, o.i1); }, -1, ""},
  {81, "SipSetDialRoute", [](auto& c, auto&, auto&) { return c.SipSetDialRoute("a", "b"); }, 0, ""},
  {82, "SipGetRtpCount", [](auto& c, auto& o, auto&) { return c.SipGetRtpCount(o.i1, o.i2); }, 0, ""},
  {83, "SetOnSipGetAccPwd", [](auto& c, auto&, auto&) { return c.SetOnSipGetAccPwd(nullptr); }, 0, ""},
  {84, "SetOnSipGetAccPwdIp", [](auto& c, auto&, auto&) { return c.SetOnSipGetAccPwdIp(nullptr); }, 0, ""},
  {85, "SetOnSipRegisterNotify", [](auto& c, auto&, auto&) { return c.SetOnSipRegisterNotify(nullptr); }, 0, ""},
  {86, "CreateConfRoom", [](auto& c, auto& o, auto&) { return c.CreateConfRoom(o.i1, o.i2); }, -1, ""},
  {87, "JoinConfRoom", [](auto& c, auto&, auto&) { return c.JoinConfRoom(1, 0, 0); }, -1, ""},
  {88, "ExitConfRoom", [](auto& c, auto&, auto&) { return c.ExitConfRoom(1, 0); }, -1, ""},
  {89, "CloseConfRoom", [](auto& c, auto&, auto&) { return c.CloseConfRoom(1, 0); }, -1, ""},
  {90, "StartConfRecord", [](auto& c, auto& o, auto&) { return c.StartConfRecord(1, 0, "r.wav", o.i1); }, -1, "out.i1=0"},
  {91, "StopConfRecord", [](auto& c, auto&, auto&) { return c.StopConfRecord(1, 0, 2); }, -1, ""},
  {92, "StartConfChRecord", [](auto& c, auto& o, auto&) { return c.StartConfChRecord(1, "r.wav", o.i1); }, -1, ""},
  {93, "StopConfChRecord", [](auto& c, auto&, auto&) { return c.StopConfChRecord(2); }, -1, ""},
  {94, "StartConfPlay", [](auto& c, auto& o, auto&) { return c.StartConfPlay(1, 0, "a.wav", o.i1); }, -1, "out.i1=0"},
  {95, "IsConfPlayEnd", [](auto& c, auto&, auto&) { return c.IsConfPlayEnd(1, 0, 2); }, -1, ""},
  {96, "StopConfPlay", [](auto& c, auto&, auto&) { return c.StopConfPlay(1, 0, 2); }, -1, ""},
  {97, "SipProxyRecv", [](auto& c, auto& o, auto&) { return c.SipProxyRecv(o.s1, o.s2, o.i1, o.s3); }, 0, ""},
  {98, "SipProxyGetField", [](auto& c, auto& o, auto&) { return c.SipProxyGetField(1, "To", std::nullopt, o.s1); }, 0, ""},
  {99, "SipProxyAddField", [](auto& c, auto&, auto&) { return c.SipProxyAddField(1, "To", "x", 0); }, 0, ""},
  {100, "SipProxyRemoveField", [](auto& c, auto&, auto&) { return c.SipProxyRemoveField(1, "To"); }, 0, ""},
  {101, "SipProxySend", [](auto& c, auto&, auto&) { return c.SipProxySend(1, "d"); }, 0, ""},
  {102, "SipProxySendEx", [](auto& c, auto&, auto&) { return c.SipProxySendEx(1, "d", 1); }, 0, ""},
  {103, "SipProxyDirAns", [](auto& c, auto&, auto&) { return c.SipProxyDirAns(1, 200, "OK"); }, 0, ""},
  {104, "SipProxySendKeepAlives", [](auto& c, auto&, auto&) { return c.SipProxySendKeepAlives("a", "b"); }, 0, ""},
  {105, "SipUnregisterSpecUser", [](auto& c, auto&, auto&) { return c.SipUnregisterSpecUser("u"); }, 0, ""},
  {106, "SipSetRtpAddr", [](auto& c, auto&, auto&) { return c.SipSetRtpAddr("10.0.0.1", 4000, "0"); }, 0, ""},
  {107, "SetSigPara", [](auto& c, auto&, auto&) { return c.SetSigPara(2, 17); }, 0, "sigPara2=17"},
  {108, "SetSigParaText", [](auto& c, auto&, auto&) { return c.SetSigParaText(1, "x"); }, 0, ""},
  {109, "SipGetAccStat", [](auto& c, auto&, auto&) { return c.SipGetAccStat("u"); }, 0, ""},
  {110, "IsMediaOk", [](auto& c, auto&, auto&) { return int32_t{c.IsMediaOk()}; }, 1, ""},
  {111, "GetChState", [](auto& c, auto&, auto&) { return c.GetChState(); }, 0, ""},
  {112, "~TagVtCall", [](auto&, auto& o, auto&) {
     o.i1 = 0;
     TagVtCall* doomed = new Counted(&o.i1);
     delete doomed;  // through the base: the line record's delete
     return kVoid; }, 0, "out.i1=1"},
};
// clang-format on

TEST(CallTableTest, EveryBaseSlotHasItsFixedBody) {
  ASSERT_EQ(std::size(kRows), 113u);
  for (size_t i = 0; i < std::size(kRows); ++i) {
    const Row& row = kRows[i];
    SCOPED_TRACE(std::to_string(row.slot) + " " + row.name);
    ASSERT_EQ(row.slot, static_cast<int>(i));
    TagVtCall call;
    TagVtCall peer;
    call.linkedCall = &peer;
    Outs outs;
    const State before = Snapshot(call, outs, &peer);
    EXPECT_EQ(row.call(call, outs, peer), row.result);
    EXPECT_EQ(Changes(before, Snapshot(call, outs, &peer)), row.changes);
  }
}

TEST(CallTableTest, ConstructionGivesTheInitialValues) {
  TagVtCall call;
  EXPECT_EQ(call.callState.load(), engine::kCallNone);
  EXPECT_EQ(call.prevState, engine::kCallNone);
  EXPECT_EQ(call.stopFlag.load(), 0);
  EXPECT_EQ(call.blocked.load(), 0);
  EXPECT_EQ(call.maxTalkTime, 0);
  EXPECT_EQ(call.volume + call.playVolume + call.confVolume, 300);
  EXPECT_EQ(call.breakOnKey, 1);
  EXPECT_EQ(call.sigPara1, -1);
  EXPECT_EQ(call.sigPara2, -1);
  EXPECT_EQ(call.wavePlay, nullptr);
  EXPECT_TRUE(call.keyBuf.empty());
  EXPECT_TRUE(call.signalTones.empty());
}

// The stores whose branches the table shows once.
TEST(CallTableTest, StoresFollowTheirType) {
  TagVtCall call;
  call.SetVolume(30, 2);
  call.SetVolume(20, 7);
  EXPECT_EQ(call.confVolume, 30);
  EXPECT_EQ(call.volume, 20);
  EXPECT_EQ(call.playVolume, 100);
  EXPECT_EQ(call.SetSigPara(1, 5), 0);
  EXPECT_EQ(call.SetSigPara(3, 9), -1);
  EXPECT_EQ(call.sigPara1, 5);
  EXPECT_EQ(call.sigPara2, -1);
}

// GetHookState: always 1 on a virtual line; on a board line only while connected.
TEST(CallTableTest, HookStateOfABoardLineFollowsTheCall) {
  TagVtCall call;
  call.lineKind = engine::kLineE1;
  EXPECT_EQ(call.GetHookState(), 0);
  call.callState = engine::kCallConnected;
  EXPECT_EQ(call.GetHookState(), 1);
  call.lineKind = engine::kLineVirtual;
  call.callState = engine::kCallReleased;
  EXPECT_EQ(call.GetHookState(), 1);
}

}  // namespace
}  // namespace telephony
