// The SIP, SIP-proxy and instant-message statements: every row of their
// table on a recording call object (the operation called, the arguments as
// passed, the presets of the out-values and what reaches the variables),
// the base results on real line kinds, the callbacks run as a SIP line
// would run them, and every keyword of the line-setting and SIP families
// run once by the real vtsrun.
#include "telephony/statements/sip_statements.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/keyword_table.h"
#include "engine/statement_registry.h"
#include "telephony/statements/call_statements.h"
#include "telephony/statements/signal_statements.h"
#include "telephony/statements/sip_callbacks.h"
#include "tests/telephony/statements/signal_recording_call.h"
#include "tests/telephony/statements/statement_on_call.h"
#include "tests/telephony/tup_call_fixture.h"
#include "tests/test_support.h"
#include "tests/vtsrun_runner.h"

namespace telephony {
namespace {

using engine::TagVar;

TEST(SipStatementsRegistration, TheTableAgreesWithTheKeywordTable) {
  RegisterSipStatements();
  RegisterSipStatements();  // a second call changes nothing
  const engine::TagKeyword& k = engine::Keywords();
  std::set<std::string> rows;
  for (const SipRow& row : SipRows()) {
    SCOPED_TRACE(row.keyword);
    const int index = k.FindKeyword(row.keyword);
    ASSERT_GE(index, 0);
    EXPECT_EQ(k.row(index).family, engine::StatementFamily::kSipIm);
    EXPECT_EQ(static_cast<int32_t>(std::string(row.modes).size()), k.row(index).argCount);
    EXPECT_EQ(row.ownText, k.row(index).kind == 'v');
    rows.insert(row.keyword);
  }
  EXPECT_EQ(rows.size(), 29u);
  EXPECT_EQ(engine::Statements().Missing(engine::StatementFamily::kSipIm), std::vector<int>{});
}

class SipStatementsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterSipStatements();
    call_.lineNo = 2;
  }
  // The argument values of a spec: comma-separated "s:text" (a string),
  // "i:n", "f:x", "n" (NULL), "v" (a variable holding "old"), "e" (a
  // variable holding ""); the variables go to vars_ in order.
  std::vector<TagVar*> Args(const std::string& spec) {
    std::vector<TagVar*> args;
    std::stringstream in(spec);
    std::string item;
    while (std::getline(in, item, ',')) {
      const std::string value = item.size() > 2 ? item.substr(2) : "";
      switch (item[0]) {
        case 's': args.push_back(on_.Str(value)); break;
        case 'i': args.push_back(on_.Int(std::stoi(value))); break;
        case 'f': args.push_back(on_.Flt(std::stod(value))); break;
        case 'n': args.push_back(on_.Null()); break;
        default:
          args.push_back(&vars_.emplace_back());
          vars_.back().SetString(item[0] == 'v' ? "old" : "");
      }
    }
    return args;
  }
  std::string Vars() const {
    std::string all;
    for (const TagVar& v : vars_) all += (all.empty() ? "" : ",") + v.ToText();
    return all;
  }

  testing_support::TempDir dir_;
  testing_support::ScopedChdir cd_{dir_.path()};
  SignalRecordingCall call_;
  StatementOnCall on_{call_};
  std::deque<TagVar> vars_;
};

struct SipCase {
  const char* keyword;
  std::string args;   // Args() spec
  int32_t callResult;
  std::string ops;
  int32_t result;
  std::string vars;   // the variables afterwards
  std::string own;    // the value of a kind 'v' statement
};

TEST_F(SipStatementsTest, EveryRowPassesItsArgumentsAndStoresItsOutValues) {
  const std::string t8 = "s:t1,s:t2,s:t3,s:t4,s:t5,s:t6,s:t7,s:t8";
  const std::string a99(99, 'a'), a100(100, 'a');
  const std::vector<SipCase> cases = {
      // Address buffers preset empty, the port 999999, counts 0.
      {"SipGetDestAddr(", "s:bob,v", -1, "SipGetDestAddr(bob,)", -1, "w1", ""},
      {"SipGetAccAddr(", "s:u,s:d,v,v", 0, "SipGetAccAddr(u,d,,999999)", 0, "w1,71", ""},
      {"SipGetPeerMsg(", "v,v", 2, "SipGetPeerMsg(,)", 2, "w1,w2", ""},
      // A text argument is the value's text: an integer passes "".
      {"SipSetDialRoute(", "s:a,i:5", 0, "SipSetDialRoute(a,)", 0, "", ""},
      {"SipSetRtpAddr(", "s:1.2.3.4,s:4000,i:7", 0, "SipSetRtpAddr(1.2.3.4,4000,7)", 0, "", ""},
      {"SipSetRtpAddr(", "s:x,f:2.5,s:abc", 0, "SipSetRtpAddr(x,2,abc)", 0, "", ""},
      {"SipGetRtpCount(", "v,v", 0, "SipGetRtpCount(0,0)", 0, "71,72", ""},
      {"SipGetAccStat(", "s:acc", 3, "SipGetAccStat(acc)", 3, "", ""},
      // Handles are stored integers: "ab" is 3.
      {"SipProxyRecv(", "v,v,v,v", 1, "SipProxyRecv(,,0,)", 1, "w1,w2,71,w3", ""},
      {"SipProxyGetField(", "s:ab,s:To,n", 5, "SipProxyGetField(3,To,(absent),)", 5, "", "w1"},
      {"SipProxyGetField(", "i:4,s:To,s:tag", 0, "SipProxyGetField(4,To,tag,)", 0, "", "w1"},
      {"SipProxyAddField(", "i:1,s:Via,f:1.5,s:2", 0, "SipProxyAddField(1,Via,1.5,2)", 0, "", ""},
      {"SipProxyRemoveField(", "i:1,s:Via", 0, "SipProxyRemoveField(1,Via)", 0, "", ""},
      {"SipProxySend(", "i:1,s:dst", 0, "SipProxySend(1,dst)", 0, "", ""},
      {"SipProxySendEx(", "i:1,s:dst,s:3", 0, "SipProxySendEx(1,dst,3)", 0, "", ""},
      {"SipProxyDirAns(", "i:1,s:404,s:NF", 0, "SipProxyDirAns(1,404,NF)", 0, "", ""},
      {"SipProxySendKeepAlives(", "s:a,s:b", 0, "SipProxySendKeepAlives(a,b)", 0, "", ""},
      {"SipUnregisterSpecUser(", "s:u", 0, "SipUnregisterSpecUser(u)", 0, "", ""},
      // The address with its terminator may take 100 bytes.
      {"ImSend(", "s:addr,s:b,s:msg", 0, "ImSend(addr,b,msg,3)", 0, "", ""},
      {"ImSend(", "s:" + a99 + ",s:b,s:", 0, "ImSend(" + a99 + ",b,,0)", 0, "", ""},
      {"ImSend(", "s:" + a100 + ",s:b,s:m", 0, "", kImAddressRefused, "", ""},
      {"ImTest(", "", 4, "ImTest()", 4, "", ""},
      // "ImRead(" stores only above 0.
      {"ImRead(", "v,v,v,v", 0, "ImRead(,,,)", 0, "old,old,old,old", ""},
      {"ImRead(", "v,v,v,v", 1, "ImRead(,,,)", 1, "w1,w2,w3,w4", ""},
      {"ImRecv(", "v,v", 0, "ImRecv(,0)", 0, "w1,71", ""},
      {"ImMsgGetField(", "i:2,s:From,s:x", 0, "ImMsgGetField(2,From,x,)", 0, "", "w1"},
      {"ImMakeAns(", "i:2,s:200,s:a,s:b,s:c,s:d", 0, "ImMakeAns(2,200,a,b,c,d)", 0, "", ""},
      {"ImMsgFree(", "i:2", 0, "ImMsgFree(2)", 0, "", ""},
      // The identifier: preset with its text, written only when it was empty.
      {"ImMakeReq(", t8 + ",e", 0, "ImMakeReq(t1|t2|t3|t4|t5|t6|t7|t8,)", 0, "w1", ""},
      {"ImMakeReq(", t8 + ",v", 0, "ImMakeReq(t1|t2|t3|t4|t5|t6|t7|t8,old)", 0, "old", ""},
      {"ImFileSend(", "s:f,e,v,v,v,v", 0, "ImFileSend(f,,0,,0,)", 0, "w1,71,w2,72,w3", ""},
      {"ImFileSend(", "s:f,v,v,v,v,v", 0, "ImFileSend(f,old,0,,0,)", 0, "old,71,w2,72,w3", ""},
      {"ImFileRecv(", "s:1,s:n,f:3.7,v,v,v,v,v,v", 0, "ImFileRecv(1,n,3,0,,,,,0)", 0,
       "71,w1,w2,w3,72,w4", ""},
      {"ImFileCheck(", "i:3,v,v", 0, "ImFileCheck(3,0,0)", 0, "71,72", ""},
      {"ImFileEnd(", "i:3", 0, "ImFileEnd(3)", 0, "", ""},
      {"ImFileProcAnswer(", "s:ok", 0, "ImFileProcAnswer(ok)", 0, "", ""},
  };
  for (const SipCase& c : cases) {
    SCOPED_TRACE(std::string(c.keyword) + " " + c.args.substr(0, 40));
    call_.ops.clear();
    call_.result = c.callResult;
    vars_.clear();
    TagVar own;
    own.SetString("");
    EXPECT_EQ(on_.Run(c.keyword, Args(c.args), &own), c.result);
    EXPECT_EQ(call_.Ops(), c.ops);
    EXPECT_EQ(Vars(), c.vars);
    EXPECT_EQ(own.ToText(), c.own);
  }
}

// The base bodies, on a call object of the base class and on a TUP line of
// the simulated board.
void ExpectBaseResults(TagVtCall& call) {
  StatementOnCall on(call);
  TagVar address, port, first, second, id;
  address.SetString("old");
  port.SetString("old");
  EXPECT_EQ(on.Run("SipGetAccAddr(", {on.Str("u"), on.Str("d"), &address, &port}), -1);
  EXPECT_EQ(address.ToText(), "");
  EXPECT_EQ(port.ToText(), "999999");
  first.SetString("old");
  second.SetString("old");
  EXPECT_EQ(on.Run("SipGetRtpCount(", {&first, &second}), 0);
  EXPECT_EQ(first.ToText() + "," + second.ToText(), "0,0");
  std::vector<TagVar> four(4);
  for (TagVar& v : four) v.SetString("old");
  EXPECT_EQ(on.Run("ImRead(", {&four[0], &four[1], &four[2], &four[3]}), 0);
  for (TagVar& v : four) EXPECT_EQ(v.ToText(), "old");
  EXPECT_EQ(on.Run("ImSend(", {on.Str(std::string(100, 'a')), on.Str(""), on.Str("")}),
            kImAddressRefused);
  id.SetString("mine");
  std::vector<TagVar*> req;
  for (int i = 0; i < 8; ++i) req.push_back(on.Str("t"));
  req.push_back(&id);
  EXPECT_EQ(on.Run("ImMakeReq(", req), 0);
  EXPECT_EQ(id.ToText(), "mine");
}

TEST_F(SipStatementsTest, RealLineKindsGiveTheBaseResults) {
  TagVtCall base;
  ExpectBaseResults(base);
  TupLine tup;
  ExpectBaseResults(tup.call());
}

// --- Callbacks. ---

constexpr char kCallbacks[] =
    "function pwd(user, p1, p2)\n{\n  p1 = user\n  p2 = \"realm\"\n  return(42)\n}\n"
    "function pwdip(user, p1, p2, p3)\n{\n  p1 = user\n  p3 = 7\n  return(\"5x\")\n}\n"
    "function note(a, b, c, d)\n{\n  SetSubAddr(a, b)\n  WaitRing(c)\n  IsRings(d)\n}\n"
    "function few(user, p1)\n{\n  return(1)\n}\n"
    "notfn = 5\n";

class SipCallbacksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterSipStatements();
    RegisterCallStatements();
    call_.lineNo = 3;
  }
  // Compiles and runs registrations (statements after kCallbacks).
  std::unique_ptr<ScriptOnLine> Register(const std::string& lines, TagVtCall& call,
                                         const std::string& file = "line.vts") {
    auto s = std::make_unique<ScriptOnLine>(kCallbacks + lines + "return(0)\n", call, file);
    EXPECT_TRUE(s->compiled()) << s->Errors();
    if (s->compiled()) s->RunHere();
    return s;
  }

  testing_support::TempDir dir_;
  testing_support::ScopedChdir cd_{dir_.path()};
  SignalRecordingCall call_;
};

TEST_F(SipCallbacksTest, ChecksComeBeforeTheFunctionRuns) {
  std::string t1 = "x", t2 = "x", t3 = "x";
  EXPECT_EQ(OnSipGetAccPwd("bob", t1, t2), kSipCallbackNone);
  EXPECT_EQ(OnSipGetAccPwdIp("bob", t1, t2, t3), kSipCallbackNone);
  EXPECT_EQ(OnSipRegisterNotify("a", "b", 1, 2), kSipCallbackNone);
  auto s = Register(
      "r1 = SetOnSipGetAccPwd(notfn)\nr2 = SetOnSipGetAccPwdIp(pwd)\n"
      "r3 = SetOnSipRegisterNotify(few)\n",
      call_);
  EXPECT_EQ(call_.Ops(), "SetOnSipGetAccPwd(f) SetOnSipGetAccPwdIp(f) SetOnSipRegisterNotify(f)");
  EXPECT_EQ(OnSipGetAccPwd("bob", t1, t2), kSipCallbackNotFunction);
  EXPECT_EQ(OnSipGetAccPwdIp("bob", t1, t2, t3), kSipCallbackFewParams);
  EXPECT_EQ(OnSipRegisterNotify("a", "b", 1, 2), kSipCallbackFewParams);
  EXPECT_EQ(t1 + t2 + t3, "xxx");
}

TEST_F(SipCallbacksTest, RegisteredFunctionsFillTheirParameters) {
  auto s = Register(
      "r1 = SetOnSipGetAccPwd(pwd)\nr2 = SetOnSipGetAccPwdIp(pwdip)\n"
      "r3 = SetOnSipRegisterNotify(note)\n",
      call_);
  std::string t1, t2, t3 = "x";
  EXPECT_EQ(OnSipGetAccPwd("bob", t1, t2), 42);
  EXPECT_EQ(t1 + "|" + t2, "bob|realm");
  // Parameters start empty: p2 was never set in pwdip.
  EXPECT_EQ(OnSipGetAccPwdIp("amy", t1, t2, t3), 5);
  EXPECT_EQ(t1 + "|" + t2 + "|" + t3, "amy||7");
  call_.ops.clear();
  EXPECT_EQ(OnSipRegisterNotify("x", "y", 3, 4), 0);
  EXPECT_EQ(call_.Ops(), "SetSubAddr(x,y) WaitRing(3) IsRings(4)");
}

TEST_F(SipCallbacksTest, ADeletedScriptLeavesNoCallback) {
  SignalRecordingCall other;
  other.lineNo = 4;
  auto first = Register("SetOnSipGetAccPwd(pwd)\n", call_, "first.vts");
  auto second = Register("SetOnSipGetAccPwd(few)\n", other, "second.vts");
  std::string t1, t2;
  // The later registration holds; the first script's end leaves it.
  EXPECT_EQ(OnSipGetAccPwd("bob", t1, t2), kSipCallbackFewParams);
  first.reset();
  EXPECT_EQ(OnSipGetAccPwd("bob", t1, t2), kSipCallbackFewParams);
  // Its own script's end clears it: no deleted function runs.
  second.reset();
  EXPECT_EQ(OnSipGetAccPwd("bob", t1, t2), kSipCallbackNone);
  // A reload registers anew.
  auto again = Register("SetOnSipGetAccPwd(pwd)\n", call_, "first.vts");
  EXPECT_EQ(OnSipGetAccPwd("eve", t1, t2), 42);
  EXPECT_EQ(t1, "eve");
}

// --- Every keyword of both families, run by vtsrun. ---

TEST(SignalAndSipVtsrun, EveryKeywordRunsOnTheVirtualLine) {
  testing_support::TempDir dir;
  const std::string pr = "Print(r)\n";
  std::string script =
      "SetPrintTo(\"\")\n"
      "function pwd(user, p1, p2)\n{\n  return(1)\n}\n"
      "a = \"old\"\nb = \"old\"\nc = \"old\"\nd = \"old\"\ne = \"\"\nf = \"old\"\n";
  const char* lines[] = {
      "r = SetVolume(50, 1)", "r = SetBusyPara(1, 2, 3)", "r = SetRingbackPara(1, 2, 3)",
      "r = SetSignalFreqPara(1, 2, 3)", "r = EnableLineSpeaker(1)",
      "r = SetTones(250, 1, 2, 3, 4, 5, 6, 7, 8, 9)",
      "r = SetTones(249, 1, 2, 3, 4, 5, 6, 7, 8, 9)",
      "r = ClearTones()", "r = SetSigPara(1, 5)", "r = SetSigPara(3, 5)",
      "r = SetSigRawData(\"01 02 03 04\", 0)", "r = SetSigRawData(\"hello\", 9)",
      "r = GetSigRawData(a)", "r = SendFskMsg(1, \"m\", 0)", "r = RecvFskMsg(a, b, 1)",
      "r = SipGetDestAddr(\"n\", c)", "r = SipGetAccAddr(\"u\", \"d\", c, d)",
      "r = SipGetPeerMsg(c, d)", "r = SipSetDialRoute(\"a\", \"b\")",
      "r = SipSetRtpAddr(\"1.2.3.4\", 4000, 1)", "r = SipGetRtpCount(c, d)",
      "r = SipGetAccStat(\"acc\")", "r = SetOnSipGetAccPwd(pwd)", "r = SetOnSipGetAccPwdIp(pwd)",
      "r = SetOnSipRegisterNotify(pwd)", "r = ImSend(\"addr\", \"b\", \"msg\")", "r = ImTest()",
      "r = ImRead(c, d, e, f)", "r = ImRecv(c, d)", "r = ImMsgGetField(1, \"From\", \"x\")",
      "r = ImMakeAns(1, 200, \"a\", \"b\", \"c\", \"d\")", "r = ImMsgFree(1)",
      "r = ImMakeReq(\"1\", \"2\", \"3\", \"4\", \"5\", \"6\", \"7\", \"8\", f)",
      "r = ImFileSend(\"f\", f, c, d, e, b)",
      "r = ImFileRecv(1, \"n\", 3, c, d, e, f, a, b)", "r = ImFileCheck(1, c, d)",
      "r = ImFileEnd(1)", "r = ImFileProcAnswer(\"x\")", "r = SipProxyRecv(c, d, e, f)",
      "r = SipProxyGetField(1, \"To\", \"\")", "r = SipProxyAddField(1, \"Via\", 2, 0)",
      "r = SipProxyRemoveField(1, \"Via\")", "r = SipProxySend(1, \"d\")",
      "r = SipProxySendEx(1, \"d\", 0)", "r = SipProxyDirAns(1, 404, \"NF\")",
      "r = SipProxySendKeepAlives(\"a\", \"b\")", "r = SipUnregisterSpecUser(\"u\")",
  };
  for (const char* line : lines) script += std::string(line) + "\n" + pr;
  script += "Print(c)\nPrint(d)\nPrint(f)\nreturn(0)\n";
  testing_support::WriteFile(dir.path() + "/s.vts", script);
  const testing_support::VtsrunOutcome o = testing_support::RunVtsrun(dir.path(), {"s.vts"});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out,
            "0 : 0\n0 : 0\n0 : 0\n0 : 0\n0 : 0\n"   // setters
            "0 : 0\n0 : -1\n0 : 0\n0 : 0\n0 : -1\n"  // tones, signalling parameters
            "0 : 4\n0 : -1\n0 : 0\n0 : 0\n0 : 0\n"   // raw bytes, FSK
            "0 : -1\n0 : -1\n0 : 0\n0 : 0\n0 : 0\n0 : 0\n0 : 0\n"  // SIP calls
            "0 : 0\n0 : 0\n0 : 0\n"                  // callbacks
            "0 : 0\n0 : 0\n0 : 0\n0 : 0\n0 : \n0 : 0\n0 : 0\n0 : 0\n0 : 0\n0 : 0\n0 : 0\n"
            "0 : 0\n0 : 0\n"                         // instant messages
            "0 : 0\n0 : \n0 : 0\n0 : 0\n0 : 0\n0 : 0\n0 : 0\n0 : 0\n0 : 0\n"  // proxy
            "0 : \n0 : \n0 : \n");                   // c, d, f: proxy texts
}

}  // namespace
}  // namespace telephony
