// The SIP callback registrations under threads: two lines register their
// functions again and again while a third thread calls back, then the
// registering scripts are deleted while calls go on. Every call runs a
// live function or finds none.
//
// A callback runs the function with its script's data on the caller's
// thread, so the registering lines here do nothing else with that data
// while callbacks run (their runs end only after the caller stopped).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "telephony/statements/sip_callbacks.h"
#include "telephony/statements/sip_statements.h"
#include "tests/telephony/script_on_line.h"
#include "tests/test_support.h"

namespace telephony {
namespace {

constexpr int kWaitMs = 20000;
constexpr int kCallsWanted = 200;

// A script that registers pwd (returning result) until its line stops,
// or once.
std::string Registering(int result, bool once = false) {
  return "function pwd(user, p1, p2)\n{\n  p1 = user\n  p2 = \"realm\"\n  return(" +
         std::to_string(result) + ")\n}\n" +
         (once ? "SetOnSipGetAccPwd(pwd)\nreturn(0)\n"
               : "while(1)\n{\n  SetOnSipGetAccPwd(pwd)\n}\n");
}

// Calls back until stop: counts the functions that ran and the results
// that are neither a run nor "none".
struct Caller {
  std::atomic<bool> stop{false};
  std::atomic<int> ran{0}, bad{0};
  std::thread thread;

  void Start() {
    thread = std::thread([this] {
      while (!stop.load()) {
        std::string t1, t2;
        const int32_t r = OnSipGetAccPwd("bob", t1, t2);
        if (r >= 41 && r <= 43) {
          ran.fetch_add(1);
          if (t1 != "bob" || t2 != "realm") bad.fetch_add(1);
        } else if (r != kSipCallbackNone) {
          bad.fetch_add(1);
        }
      }
    });
  }
  void Stop() {
    stop.store(true);
    thread.join();
  }
  // Waits (bounded) until count more functions ran.
  bool WaitForRuns(int count) {
    const int target = ran.load() + count;
    for (int waited = 0; ran.load() < target; ++waited) {
      if (waited >= kWaitMs) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }
};

TEST(SipCallbacksConcurrencyTest, TwoLinesRegisterWhileAThirdCallsBack) {
  testing_support::TempDir dir;
  testing_support::ScopedChdir cd(dir.path());
  RegisterSipStatements();
  TagVtCall line1, line2;
  line1.lineNo = 1;
  line2.lineNo = 2;
  auto a = std::make_unique<ScriptOnLine>(Registering(41), line1, "a.vts");
  auto b = std::make_unique<ScriptOnLine>(Registering(42), line2, "b.vts");
  ASSERT_TRUE(a->compiled() && b->compiled());

  Caller caller;
  caller.Start();
  a->Start();
  b->Start();
  EXPECT_TRUE(caller.WaitForRuns(kCallsWanted));
  caller.Stop();
  EXPECT_FALSE(a->Wait(0).has_value());  // stopped: the loop has no end
  EXPECT_FALSE(b->Wait(0).has_value());

  a.reset();
  b.reset();

  // A script whose run has ended goes while its callback runs; the running
  // one ends first.
  TagVtCall line3;
  line3.lineNo = 3;
  auto c = std::make_unique<ScriptOnLine>(Registering(43, true), line3, "c.vts");
  ASSERT_TRUE(c->compiled());
  EXPECT_EQ(c->RunHere(), 0);
  Caller late;
  late.Start();
  EXPECT_TRUE(late.WaitForRuns(1));
  c.reset();
  std::string t1, t2;
  EXPECT_EQ(OnSipGetAccPwd("bob", t1, t2), kSipCallbackNone);
  late.Stop();
  EXPECT_EQ(caller.bad.load() + late.bad.load(), 0);
}

}  // namespace
}  // namespace telephony
