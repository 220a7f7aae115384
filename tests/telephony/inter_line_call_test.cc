// Inter-line calls between two lines of one process on the fake clock: the
// caller's function on line 0, the server's on line 1.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/telephony/message_lines.h"

namespace telephony {
namespace {

// The server: one request per run.
const char kServer[] =
    "served = 0\n"
    "function add(a, b)\n{\na = a + b\nb = 100\nreturn(a * 2)\n}\n"
    "function twenty(p0, p1, p2, p3, p4, p5, p6, p7, p8, p9, p10, p11, p12, p13, p14, p15, "
    "p16, p17, p18, p19)\n{\nreturn(1)\n}\n"
    "served = InterLineServer(0)\nreturn(0)\n";

// A caller whose function add(a, b) calls the server with the given
// seconds and copy-back flag, then (with a second) goes on when process
// queue 9 holds a message and calls once more with seconds `again`.
std::string Caller(const std::string& seconds, int flag, const std::string& again = "") {
  std::string text = "res = 0\nr = 0\nr0 = 0\nx = 1\ny = 2\nsecs = " + seconds + "\nn = 0\n" +
                     "function add(a, b)\n{\nr = InterLineCall(0, secs, " + std::to_string(flag) +
                     ", res)\n}\nadd(x, y)\n";
  if (!again.empty()) {
    text += "r0 = r\nwhile(n == 0)\n{\nGetMsgNum(-1, 9, n)\n}\nsecs = " + again + "\nadd(x, y)\n";
  }
  return text + "return(0)\n";
}

class InterLineCallTest : public MessageLinesTest {
 protected:
  // Starts the caller on its thread and waits until its request is queued.
  ScriptOnLine& StartCaller(const std::string& text) {
    ScriptOnLine& caller = Line(0, text);
    EXPECT_TRUE(caller.compiled()) << caller.Errors();
    caller.Start();
    EXPECT_TRUE(WaitFor([] { return services::ServerQueue(0).GetMsgNum() == 1; }));
    return caller;
  }
  ScriptOnLine& Server() {
    ScriptOnLine& server = Line(1, kServer);
    EXPECT_TRUE(server.compiled()) << server.Errors();
    return server;
  }
};

TEST_F(InterLineCallTest, CopyBackReturnsTheChangedParameters) {
  struct Case {
    int flag;
    int32_t x, y;
  };
  for (const Case& c : {Case{1, 3, 100}, Case{0, 1, 2}}) {
    ScriptOnLine& server = Server();
    ScriptOnLine& caller = StartCaller(Caller("-1", c.flag));
    server.RunHere();
    EXPECT_EQ(server.Int("served"), 1);
    ASSERT_EQ(caller.Wait(5000), std::optional<int32_t>(0));
    EXPECT_EQ(caller.Int("r"), 1) << c.flag;  // the server queue's size after the request
    EXPECT_EQ(caller.Int("res"), 6) << c.flag;
    EXPECT_EQ(caller.Int("x"), c.x) << c.flag;
    EXPECT_EQ(caller.Int("y"), c.y) << c.flag;
  }
}

TEST_F(InterLineCallTest, FailedRequestsGiveMinusThree) {
  std::string twenty = "function twenty(";
  std::string args = "twenty(";
  for (int i = 0; i < 20; ++i) {
    twenty += (i ? ", p" : "p") + std::to_string(i);
    args += (i ? ", " : "") + std::to_string(i);
  }
  const std::string cases[] = {
      // 20 parameters: 19 travel, the server's function has 20.
      "res = 0\nr = 0\n" + twenty + ")\n{\nr = InterLineCall(0, -1, 1, res)\n}\n" + args +
          ")\nreturn(0)\n",
      // No such function on the server.
      "res = 0\nr = 0\nfunction missing(a)\n{\nr = InterLineCall(0, -1, 1, res)\n}\nmissing(1)\n"
      "return(0)\n",
  };
  for (const std::string& text : cases) {
    ScriptOnLine& server = Server();
    ScriptOnLine& caller = StartCaller(text);
    server.RunHere();
    EXPECT_EQ(server.Int("served"), 1);
    ASSERT_EQ(caller.Wait(5000), std::optional<int32_t>(0));
    EXPECT_EQ(caller.Int("r"), -3) << text;
    EXPECT_EQ(caller.Int("res"), 0) << text;
  }
}

TEST_F(InterLineCallTest, CallsThatSendNothing) {
  struct Case {
    std::string text;
    int32_t r;
  };
  const Case cases[] = {
      {"res = 0\nr = InterLineCall(0, 1, 0, res)\nreturn(0)\n", -1},  // in the main script
      {"res = 0\nr = 0\nfunction f(a)\n{\nr = InterLineCall(64, 1, 0, res)\n}\nf(1)\n"
       "return(0)\n",
       -2},
  };
  for (const Case& c : cases) {
    ScriptOnLine& caller = Line(0, c.text);
    ASSERT_TRUE(caller.compiled()) << caller.Errors();
    caller.RunHere();
    EXPECT_EQ(caller.Int("r"), c.r);
    EXPECT_EQ(services::ServerQueue(0).GetMsgNum(), 0);
  }
}

TEST_F(InterLineCallTest, NextCallClearsALateReplyAndTimesOut) {
  ScriptOnLine& server = Server();
  ScriptOnLine& caller = StartCaller(Caller("0", 1, "1"));
  server.RunHere();  // the reply comes after the caller stopped waiting
  EXPECT_EQ(server.Int("served"), 1);
  EXPECT_EQ(QueueOf(0, services::kReplyQueue).GetMsgNum(), 1);
  services::TagMsgFields go;
  services::ProcessQueue(9).Send(go);
  ASSERT_EQ(caller.Wait(5000), std::optional<int32_t>(0));
  EXPECT_EQ(caller.Int("r0"), 0);   // 0 seconds: sent, no wait
  EXPECT_EQ(caller.Int("r"), -4);   // nobody served the second request
  EXPECT_EQ(caller.Int("res"), 0);  // the late reply was not taken for it
  EXPECT_EQ(QueueOf(0, services::kReplyQueue).GetMsgNum(), 0);
  EXPECT_EQ(services::ServerQueue(0).GetMsgNum(), 0);  // withdrawn
}

TEST_F(InterLineCallTest, ServerDropsRequestsOfLinesWithoutScript) {
  ScriptOnLine& server = Server();
  ScriptOnLine& caller = Line(0, Caller("0", 1));
  caller.RunHere();
  ASSERT_EQ(services::ServerQueue(0).GetMsgNum(), 1);
  Unplug(0);
  server.RunHere();
  EXPECT_EQ(server.Int("served"), -3);
  // A request from a line outside the table.
  services::TagMsgFields request;
  request.sender = kLines;
  request.type.SetString("add");
  request.SetCount(3);
  services::ServerQueue(0).Send(request);
  server.RunHere();
  EXPECT_EQ(server.Int("served"), -2);
  EXPECT_EQ(services::ServerQueue(0).GetMsgNum(), 0);
  server.RunHere();
  EXPECT_EQ(server.Int("served"), 0);  // nothing waiting
}

TEST_F(InterLineCallTest, StoppingOrReloadingTheWaiterWithdrawsTheCall) {
  int reload_target = 0;
  for (const bool reload : {false, true}) {
    ScriptOnLine& caller = StartCaller(Caller("-1", 1));
    if (reload) {
      caller.script().reloadTarget.store(&reload_target);
      caller.script().SetReload(1);
    } else {
      caller.script().RequestStop();
    }
    // The run ends behind the call (no quit handler): it ended in time.
    ASSERT_TRUE(caller.Wait(5000).has_value()) << reload;
    EXPECT_EQ(caller.Int("r"), -4) << reload;
    EXPECT_EQ(services::ServerQueue(0).GetMsgNum(), 0) << reload;
  }
}

}  // namespace
}  // namespace telephony
