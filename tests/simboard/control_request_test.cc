// Parsing of control-socket request lines and their framing.
#include "simboard/control_request.h"

#include <gtest/gtest.h>

#include "simboard/control_line_framer.h"

namespace simboard {
namespace {

struct GoodCase {
  const char* line;
  ControlVerb verb;
  const char* addr;  // the line's address, "" for none
  const char* first;
  const char* second;
  int32_t number;
};

TEST(ControlRequestTest, ParsesEveryRequestForm) {
  const GoodCase cases[] = {
      {"CALL E3 13900000000 8001", ControlVerb::kCall, "E3", "13900000000", "8001", 0},
      {"call e3 1 2", ControlVerb::kCall, "E3", "1", "2", 0},
      {"  HANGUP\tE12  ", ControlVerb::kHangup, "E12", "", "", 0},
      {"Answer E0", ControlVerb::kAnswer, "E0", "", "", 0},
      {"REJECT E3 3", ControlVerb::kReject, "E3", "", "", 3},
      {"REJECT E3 4", ControlVerb::kReject, "E3", "", "", 4},
      {"REJECT E3 8", ControlVerb::kReject, "E3", "", "", 8},
      {"BLOCK E59", ControlVerb::kBlock, "E59", "", "", 0},
      {"UNBLOCK E59", ControlVerb::kUnblock, "E59", "", "", 0},
      {"LIFT A0", ControlVerb::kLift, "A0", "", "", 0},
      {"drop a7", ControlVerb::kDrop, "A7", "", "", 0},
      {"KEYS E3 0123456789*#ABCD", ControlVerb::kKeys, "E3", "0123456789*#ABCD", "",
       kControlDefaultKeyGapMs},
      {"KEYS A1 12abcd 250", ControlVerb::kKeys, "A1", "12ABCD", "", 250},
      {"KEYS E3 5 0", ControlVerb::kKeys, "E3", "5", "", 0},
      {"INJECT E3 voice/hello.alaw", ControlVerb::kInject, "E3", "voice/hello.alaw", "", 0},
      {"CAPTURE E3 START /tmp/out.alaw", ControlVerb::kCaptureStart, "E3", "/tmp/out.alaw", "",
       0},
      {"capture E3 start Out.ALAW", ControlVerb::kCaptureStart, "E3", "Out.ALAW", "", 0},
      {"CAPTURE E3 STOP", ControlVerb::kCaptureStop, "E3", "", "", 0},
      {"STATE A2", ControlVerb::kState, "A2", "", "", 0},
      {"WAIT CHARGE E3 5000", ControlVerb::kWait, "", "CHARGE", "E3", 5000},
      {"wait play * 0", ControlVerb::kWait, "", "play", "*", 0},
      {"WAIT PLAYEND G2 10", ControlVerb::kWait, "", "PLAYEND", "G2", 10},
      {"WAIT X e4 600001", ControlVerb::kWait, "", "X", "e4", kControlMaxWaitMs},
      {"WAIT X * 99999999999999999999999", ControlVerb::kWait, "", "X", "*", kControlMaxWaitMs},
      {"EVENTS", ControlVerb::kEvents, "", "", "", 0},
      {"ping", ControlVerb::kPing, "", "", "", 0},
      {"QUIT", ControlVerb::kQuit, "", "", "", 0},
  };
  for (const GoodCase& c : cases) {
    SCOPED_TRACE(c.line);
    std::string error;
    std::optional<ControlRequest> r = ParseControlRequest(c.line, error);
    ASSERT_TRUE(r.has_value()) << error;
    EXPECT_EQ(r->verb, c.verb);
    if (*c.addr != '\0') {
      EXPECT_EQ(r->line.Text(), c.addr);
    }
    EXPECT_EQ(r->first, c.first);
    EXPECT_EQ(r->second, c.second);
    EXPECT_EQ(r->number, c.number);
  }
}

TEST(ControlRequestTest, RefusesMalformedLinesWithAReason) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "empty request"},
      {"   \t ", "empty request"},
      {"DIAL E3 1", "unknown request"},
      {"CALLX E3 1 2", "unknown request"},
      {"CALL E3 1", "wrong argument count"},
      {"CALL E3 1 2 3", "wrong argument count"},
      {"HANGUP", "wrong argument count"},
      {"PING now", "wrong argument count"},
      {"KEYS E3 1 2 3", "wrong argument count"},
      {"WAIT CHARGE E3", "wrong argument count"},
      {"HANGUP X3", "bad address"},
      {"HANGUP E", "bad address"},
      {"HANGUP E-1", "bad address"},
      {"HANGUP 3", "bad address"},
      {"HANGUP E1234567890", "bad address"},
      {"REJECT E3 5", "bad progress (3, 4 or 8)"},
      {"REJECT E3 -3", "bad progress (3, 4 or 8)"},
      {"REJECT E3 x", "bad progress (3, 4 or 8)"},
      {"KEYS E3 12E4", "bad digits"},
      {"KEYS E3 1 fast", "bad gap"},
      {"KEYS E3 1 -5", "bad gap"},
      {"KEYS E3 1 60001", "bad gap"},
      {"WAIT CHARGE E3 -1", "bad timeout"},
      {"WAIT CHARGE E3 1s", "bad timeout"},
      {"CAPTURE E3 START", "bad capture (START <file> or STOP)"},
      {"CAPTURE E3 STOP now", "bad capture (START <file> or STOP)"},
      {"CAPTURE E3 PAUSE", "bad capture (START <file> or STOP)"},
  };
  for (const auto& [line, reason] : cases) {
    SCOPED_TRACE(line);
    std::string error;
    EXPECT_FALSE(ParseControlRequest(line, error).has_value());
    EXPECT_EQ(error, reason);
  }
}

TEST(ControlRequestTest, SurvivesArbitraryBytes) {
  std::string junk;
  for (int i = 0; i < 256; ++i) junk += static_cast<char>(i);
  std::string error;
  EXPECT_FALSE(ParseControlRequest(junk, error).has_value());
  EXPECT_FALSE(ParseControlRequest(std::string("PING\0x", 6), error).has_value());
  EXPECT_FALSE(ParseControlRequest("KEYS E3 \xB0\xA1", error).has_value());
}

std::vector<ControlLineFramer::Line> Drain(ControlLineFramer& framer) {
  std::vector<ControlLineFramer::Line> lines;
  while (std::optional<ControlLineFramer::Line> line = framer.Next()) lines.push_back(*line);
  return lines;
}

TEST(ControlLineFramerTest, CutsLinesAndDropsTheCarriageReturn) {
  ControlLineFramer framer;
  framer.Append("PI");
  EXPECT_TRUE(Drain(framer).empty());
  framer.Append("NG\r\nSTATE E3\nx\ry\n\n");
  auto lines = Drain(framer);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].text, "PING");
  EXPECT_EQ(lines[1].text, "STATE E3");
  EXPECT_EQ(lines[2].text, "x\ry");
  EXPECT_EQ(lines[3].text, "");
  EXPECT_EQ(framer.buffered(), 0u);
}

TEST(ControlLineFramerTest, ALongLineBecomesOneTooLongLineAndIsSkipped) {
  ControlLineFramer framer;
  const std::string limit(kControlMaxLineBytes, 'x');
  framer.Append(limit + "\r\n");
  framer.Append(limit + "y\nPING\n");
  auto lines = Drain(framer);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_FALSE(lines[0].too_long);
  EXPECT_EQ(lines[0].text, limit);
  EXPECT_TRUE(lines[1].too_long);
  EXPECT_EQ(lines[2].text, "PING");

  // Without a line end the framer keeps no more than the limit.
  for (int i = 0; i < 100; ++i) {
    framer.Append(std::string(1000, 'z'));
    for (const auto& line : Drain(framer)) EXPECT_TRUE(line.too_long);
    EXPECT_LE(framer.buffered(), kControlMaxLineBytes + 1);
  }
  framer.Append("zzz\nPING\n");
  lines = Drain(framer);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].text, "PING");
}

TEST(ControlLineFramerTest, RestGivesTheUnterminatedLastLine) {
  ControlLineFramer framer;
  framer.Append("PING\nSTATE E3");
  ASSERT_TRUE(framer.Rest().has_value());
  std::optional<ControlLineFramer::Line> last = framer.Rest();
  ASSERT_TRUE(last.has_value());
  EXPECT_EQ(last->text, "STATE E3");
  EXPECT_FALSE(framer.Rest().has_value());
}

}  // namespace
}  // namespace simboard
