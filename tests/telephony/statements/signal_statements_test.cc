// The line-setting, tone and signalling statements on a recording call
// object: what each passes to the call, its result and out-values; the
// tone records; the raw signalling bytes stored and taken, their limits and
// the texts that only look hexadecimal.
#include "telephony/statements/signal_statements.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/keyword_table.h"
#include "engine/statement_registry.h"
#include "frame/log.h"
#include "frame/settings.h"
#include "tests/telephony/statements/signal_recording_call.h"
#include "tests/telephony/statements/statement_on_call.h"
#include "tests/test_support.h"

namespace telephony {
namespace {

using engine::TagVar;

constexpr const char* kLogName = "signal_log.txt";

class SignalStatementsTest : public ::testing::Test {
 protected:
  SignalStatementsTest() {
    saved_level_ = frame::GetSettings().log_level.load();
    frame::GetSettings().log_level = 1;
    frame::OpenProcessLog(std::make_unique<frame::TagWriteLog>(kLogName, 1 << 20, true, true));
    RegisterSignalStatements();
    call_.lineNo = 2;
    call_.lineKind = engine::kLineE1;
  }
  ~SignalStatementsTest() override {
    frame::CloseProcessLog();
    frame::GetSettings().log_level = saved_level_;
  }
  std::string Log() {
    frame::FlushProcessLog();
    return testing_support::ReadFile(kLogName).value_or("");
  }
  // The bytes waiting to be sent, as lower-case hexadecimal pairs.
  std::string Waiting() const {
    std::string hex;
    for (int32_t i = 0; i < call_.sigRawSendLen; ++i) {
      char pair[4];
      std::snprintf(pair, sizeof pair, "%s%02x", i ? " " : "", call_.sigRawData[i]);
      hex += pair;
    }
    return hex;
  }

  testing_support::TempDir dir_;
  testing_support::ScopedChdir cd_{dir_.path()};
  int32_t saved_level_ = 0;
  SignalRecordingCall call_;
  StatementOnCall on_{call_};
};

TEST(SignalStatementsRegistration, EveryLineSettingKeywordHasItsStatement) {
  RegisterSignalStatements();
  RegisterSignalStatements();  // a second call changes nothing
  EXPECT_EQ(engine::Statements().Missing(engine::StatementFamily::kLineSettings),
            std::vector<int>{});
}

struct PassCase {
  const char* keyword;
  std::function<std::vector<TagVar*>(StatementOnCall&, TagVar& a, TagVar& b)> args;
  int32_t callResult;
  std::string ops;
  int32_t result;
  std::string a, b;  // the two variables afterwards
};

TEST_F(SignalStatementsTest, EachStatementPassesItsArgumentsAndHandsBackItsResult) {
  using S = StatementOnCall;
  const std::vector<PassCase> cases = {
      // Integers convert; stored integers are a string's length + 1.
      {"SetVolume(", [](S& o, TagVar&, TagVar&) { return std::vector{o.Str("7"), o.Flt(2.9)}; },
       9, "SetVolume(7,2)", 0, "old", "old"},
      {"SetBusyPara(", [](S& o, TagVar&, TagVar&) {
         return std::vector{o.Int(1), o.Str("2"), o.Int(3)}; }, 9, "SetBusyPara(1,2,3)", 0,
       "old", "old"},
      {"SetRingbackPara(", [](S& o, TagVar&, TagVar&) {
         return std::vector{o.Int(4), o.Int(5), o.Str("6x")}; }, 9, "SetRingbackPara(4,5,6)",
       0, "old", "old"},
      {"SetSignalFreqPara(", [](S& o, TagVar&, TagVar&) {
         return std::vector{o.Str("ab"), o.Int(5), o.Int(6)}; }, 9,
       "SetSignalFreqPara(3,5,6)", 0, "old", "old"},
      {"EnableLineSpeaker(", [](S& o, TagVar&, TagVar&) { return std::vector{o.Str("1")}; },
       9, "EnableLineSpeaker(1)", 0, "old", "old"},
      // A string value goes to the text form; NULL passes -1.
      {"SetSigPara(", [](S& o, TagVar&, TagVar&) { return std::vector{o.Int(1), o.Str("12")}; },
       4, "SetSigParaText(1,12)", 4, "old", "old"},
      {"SetSigPara(", [](S& o, TagVar&, TagVar&) { return std::vector{o.Int(2), o.Flt(7.8)}; },
       5, "SetSigPara(2,7)", 5, "old", "old"},
      {"SetSigPara(", [](S& o, TagVar&, TagVar&) { return std::vector{o.Str("1"), o.Null()}; },
       0, "SetSigPara(1,-1)", 0, "old", "old"},
      {"SendFskMsg(", [](S& o, TagVar&, TagVar&) {
         return std::vector{o.Str("3"), o.Str("hi"), o.Int(4)}; }, 6, "SendFskMsg(3,hi,4)", 6,
       "old", "old"},
      // Type preset 0, text preset empty; both always stored.
      {"RecvFskMsg(", [](S& o, TagVar& a, TagVar& b) {
         return std::vector{&a, &b, o.Str("5")}; }, -3, "RecvFskMsg(0,,5)", -3, "71", "w1"},
  };
  for (const PassCase& c : cases) {
    SCOPED_TRACE(c.ops);
    call_.ops.clear();
    call_.result = c.callResult;
    TagVar a, b;
    a.SetString("old");
    b.SetString("old");
    EXPECT_EQ(on_.Run(c.keyword, c.args(on_, a, b)), c.result);
    EXPECT_EQ(call_.Ops(), c.ops);
    EXPECT_EQ(a.ToText(), c.a);
    EXPECT_EQ(b.ToText(), c.b);
  }
}

TEST_F(SignalStatementsTest, SigParaOfTheBaseRefusesAnUnknownType) {
  TagVtCall base;
  StatementOnCall on(base);
  EXPECT_EQ(on.Run("SetSigPara(", {on.Int(3), on.Int(9)}), -1);
  EXPECT_EQ(on.Run("SetSigPara(", {on.Int(2), on.Null()}), 0);
  EXPECT_EQ(base.sigPara2, -1);
  EXPECT_EQ(on.Run("SetSigPara(", {on.Int(2), on.Int(8)}), 0);
  EXPECT_EQ(base.sigPara2, 8);
}

TEST_F(SignalStatementsTest, TonesAreStoredUnderTheirKey) {
  auto tone = [this](TagVar* key, int32_t first) {
    std::vector<TagVar*> args{key};
    for (int32_t i = 1; i < 10; ++i) args.push_back(on_.Int(first + i));
    return on_.Run("SetTones(", args);
  };
  EXPECT_EQ(tone(on_.Int(249), 0), -1);
  EXPECT_EQ(tone(on_.Int(257), 0), -1);
  EXPECT_TRUE(call_.signalTones.empty());
  EXPECT_EQ(tone(on_.Int(250), 0), 0);
  EXPECT_EQ(tone(on_.Int(256), 0), 0);
  EXPECT_EQ(tone(on_.Int(250), 100), 0);  // replaces the record of 250
  ASSERT_EQ(call_.signalTones.size(), 2u);
  EXPECT_EQ(call_.signalTones.at(250).values[1], 101);
  EXPECT_EQ(call_.signalTones.at(250).values[9], 109);
  // Stored integers: a string of 249 bytes is the key 250.
  EXPECT_EQ(tone(on_.Str(std::string(249, 'k')), 0), 0);
  EXPECT_EQ(call_.signalTones.at(250).values[1], 1);
  EXPECT_EQ(on_.Run("ClearTones(", {}), 0);
  EXPECT_TRUE(call_.signalTones.empty());
}

struct RawCase {
  std::string data;  // a string value; "" with isInt for the integer 5
  int32_t length;
  int32_t result;
  std::string stored;  // the waiting bytes afterwards ("zz" unchanged: 7a 7a)
  bool logged = false;
};

TEST_F(SignalStatementsTest, SetSigRawDataDecodesOrCopiesWithinItsLimit) {
  const std::string kept = "7a 7a";
  const std::string text300(300, 'x');
  std::string hex300;
  for (int i = 0; i < 300; ++i) hex300 += "ab";
  const std::vector<RawCase> cases = {
      {"01 2a FF 7", 0, 4, "01 2a ff 07"},
      {"00 11 22", 9, 3, "00 11 22"},
      {"hello", 3, 3, "68 65 6c"},
      {"hello", 0, 5, "68 65 6c 6c 6f"},
      {"hello", 6, 6, "68 65 6c 6c 6f 00"},
      {"hello", 7, -1, kept, true},
      {"abcdef1", 0, 4, "ab cd ef 01"},
      {"abcdef", 0, 6, "61 62 63 64 65 66"},
      // Texts that only start like hexadecimal are taken raw.
      {"Accept-Language", 0, 15, "41 63 63 65 70 74 2d 4c 61 6e 67 75 61 67 65"},
      {"Accept-Language", 3, 3, "41 63 63"},
      {"beef steak 1", 4, 4, "62 65 65 66"},
      {"ab\tcd 9", 0, 3, "ab cd 09"},
      {text300, 0, 300, ""},
      {text300 + "x", 0, -2, kept},
      {hex300, 0, 300, ""},
      {hex300 + "ab", 0, -2, kept},
      // Far above any buffer: refused, nothing written anywhere.
      {std::string(5000, 'e'), 0, -2, kept},
      {std::string(5000, 'q'), 0, -2, kept},
      {std::string(5000, 'q'), 4000, -2, kept},
  };
  for (const RawCase& c : cases) {
    SCOPED_TRACE(c.data.substr(0, 20) + " " + std::to_string(c.length));
    call_.StoreSigRawData("zz");
    EXPECT_EQ(on_.Run("SetSigRawData(", {on_.Str(c.data), on_.Int(c.length)}), c.result);
    if (c.stored.empty()) {
      EXPECT_EQ(call_.sigRawSendLen, c.result);
    } else {
      EXPECT_EQ(Waiting(), c.stored);
    }
  }
  EXPECT_NE(Log().find("SetSigRawData: 参数不对, len=7, i=6, type=1"), std::string::npos);
  // Not a string at all.
  EXPECT_EQ(on_.Run("SetSigRawData(", {on_.Int(5), on_.Int(1)}), -1);
  EXPECT_NE(Log().find("SetSigRawData: 参数不对, len=1, i=0, type=2"), std::string::npos);
  EXPECT_EQ(Waiting(), kept);
}

TEST_F(SignalStatementsTest, GetSigRawDataTakesTheReceivedBytesOnce) {
  TagVar v;
  v.SetString("old");
  EXPECT_EQ(on_.Run("GetSigRawData(", {&v}), 0);
  EXPECT_EQ(v.ToText(), "old");
  const std::string received("\x01\x02\x00\x04zzzzzzzz", 12);
  call_.PutReceivedSigRawData(received);
  EXPECT_EQ(on_.Run("GetSigRawData(", {&v}), 12);
  EXPECT_EQ(v.Bytes(), received);
  EXPECT_EQ(call_.sigRawRecvLen, 0);
  EXPECT_EQ(call_.sigRawSendLen, 0);
  EXPECT_EQ(call_.traces, std::vector<std::string>{"GetSigRawData=12"});
  EXPECT_EQ(on_.Run("GetSigRawData(", {&v}), 0);
  EXPECT_EQ(v.Bytes(), received);
}

}  // namespace
}  // namespace telephony
