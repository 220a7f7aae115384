// The waits of idle lines on the real clock: "Sleep(" on an E1 line and on
// a phone port of the simulated board, on a board that offers the wait for
// its channels' changes and on one without it (the lines then look every
// 20 ms as the pause's passes did), and a virtual line waiting for the keys
// of its Keys cell beside a line kind that looks at the cell every 30 ms.
// The far end's release, a key and a stop, each from another thread, end
// the waits as before; a line that is told of its changes looks at its line
// only when one comes (ThreadSanitizer checks the bells and the waits).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <ostream>
#include <string>
#include <thread>

#include "engine/line_sleep.h"
#include "frame/monitor.h"
#include "telephony/board/vir_call.h"
#include "telephony/cell_keys.h"
#include "tests/telephony/analog_lines_fixture.h"
#include "tests/telephony/tel_drive_fixture.h"  // WaitUntil

namespace telephony {
namespace {

using Steady = std::chrono::steady_clock;
constexpr auto kSettle = std::chrono::milliseconds(150);
constexpr auto kStretch = std::chrono::milliseconds(300);
// What a loaded machine is given to end a wait after its event.
constexpr auto kPromptly = std::chrono::milliseconds(1000);
constexpr uint32_t kLongSleepMs = 30000;

// --- "Sleep(" on board lines ---

struct BoardKind {
  const char* name;
  const char* sim_ini;
  int32_t line;        // AnalogLines::kE1 or kPhone
  const char* addr;    // its far-end address
  const char* look;    // the journal's ordinal of a look at the line
  bool told;           // the board offers the wait
};

void PrintTo(const BoardKind& kind, std::ostream* os) { *os << kind.name; }

class BoardLineSleepTest : public ::testing::TestWithParam<BoardKind> {
 protected:
  BoardLineSleepTest() : lines_(GetParam().sim_ini) {}
  ~BoardLineSleepTest() override {
    call().RaiseStop();
    if (sleep_.valid()) sleep_.wait();
  }

  TagDjBaseCall& call() { return lines_[GetParam().line]; }
  bool IsE1() const { return GetParam().line == AnalogLines::kE1; }

  // The far end calls the E1 line (which answers) or lifts the phone's set.
  void Connect() {
    if (IsE1()) {
      ASSERT_EQ(lines_.far().Call("E3", "13900000000", "8001"), "OK");
      ASSERT_EQ(call().IsRings(1), 1);
    } else {
      ASSERT_EQ(lines_.far().Lift("A0"), "OK");
      ASSERT_NE(call().GetHookState(), 0);
    }
    ASSERT_EQ(call().callState.load(), engine::kCallConnected);
  }
  std::string FarRelease() {
    return IsE1() ? lines_.far().Hangup("E3") : lines_.far().Drop("A0");
  }
  // Starts a long sleep on its own thread and lets it settle.
  void StartSleeping() {
    sleep_ = std::async(std::launch::async,
                        [this] { engine::SleepOnLine(kLongSleepMs, &call(), nullptr); });
    std::this_thread::sleep_for(kSettle);
    ASSERT_EQ(sleep_.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
  }
  // The time from now until the sleep ends (at most 5 s).
  Steady::duration TimeToEnd(const Steady::time_point& from) {
    EXPECT_EQ(sleep_.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    return Steady::now() - from;
  }
  size_t Looks() { return lines_.Calls(GetParam().look).size(); }

  AnalogLines lines_;
  std::future<void> sleep_;
};

TEST_P(BoardLineSleepTest, TheFarEndsReleaseEndsIt) {
  Connect();
  StartSleeping();
  const auto released = Steady::now();
  ASSERT_EQ(FarRelease(), "OK");
  EXPECT_LT(TimeToEnd(released), kPromptly);
  EXPECT_EQ(call().callState.load(), engine::kCallReleased);
}

TEST_P(BoardLineSleepTest, AStopEndsIt) {
  Connect();
  StartSleeping();
  const auto stopped = Steady::now();
  call().RaiseStop();
  EXPECT_LT(TimeToEnd(stopped), kPromptly);
  EXPECT_EQ(call().callState.load(), engine::kCallConnected);
}

TEST_P(BoardLineSleepTest, LooksAtTheLineOnlyWhenItChanges) {
  Connect();
  StartSleeping();
  if (GetParam().told) {
    // On a loaded machine the line may still be in its first look: start
    // the stretch once it has gone quiet.
    ASSERT_TRUE(WaitUntil([&] {
      lines_.board().ClearJournal();
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      return Looks() == 0;
    }, 3000));
  }
  lines_.board().ClearJournal();
  std::this_thread::sleep_for(kStretch);
  const size_t looks = Looks();
  if (GetParam().told) {
    EXPECT_EQ(looks, 0u);
    // A far-end request makes it look at once.
    ASSERT_EQ(lines_.far().Keys(GetParam().addr, "5", 0), "OK");
    EXPECT_TRUE(WaitUntil([&] { return Looks() > looks; }, 1000));
  } else {
    EXPECT_GE(looks, 3u);  // every 20 ms, an analog port's look taking 20 ms more
  }
  EXPECT_EQ(sleep_.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BoardLineSleepTest,
    ::testing::Values(BoardKind{"E1Told", "", AnalogLines::kE1, "E3", "tup:1", true},
                      BoardKind{"E1Polling", "ChangeWait=0\n", AnalogLines::kE1, "E3", "tup:1",
                                false},
                      BoardKind{"PhoneTold", "", AnalogLines::kPhone, "A0", "e1:90", true},
                      BoardKind{"PhonePolling", "ChangeWait=0\n", AnalogLines::kPhone, "A0",
                                "e1:90", false}),
    [](const auto& info) { return std::string(info.param.name); });

// --- A virtual line waiting for its keys ---

// Counts the looks at the line (its online check on every pass).
template <typename Call>
class LookCounting : public Call {
 public:
  using Call::Call;
  bool IsOnline() override {
    ++looks;
    return Call::IsOnline();
  }
  std::atomic<int> looks{0};
};

struct KeysKind {
  const char* name;
  bool told;  // a virtual line, told of its cell's changes
};

void PrintTo(const KeysKind& kind, std::ostream* os) { *os << kind.name; }

class CellKeysWaitTest : public ::testing::TestWithParam<KeysKind> {
 protected:
  static constexpr int32_t kLine = 2;

  CellKeysWaitTest() {
    frame::SetProcessMonitor(&monitor_);
    if (GetParam().told) {
      call_ = std::make_unique<LookCounting<TagVirCall>>(kLine, nullptr);
    } else {
      auto polling = std::make_unique<LookCounting<TagVtCall>>();
      polling->lineNo = kLine;
      call_ = std::move(polling);
    }
    call_->callState = engine::kCallConnected;
  }
  ~CellKeysWaitTest() override {
    call_->RaiseStop();
    if (wait_.valid()) wait_.wait();
    call_.reset();
    frame::SetProcessMonitor(nullptr);
  }

  int Looks() const {
    return GetParam().told ? static_cast<LookCounting<TagVirCall>&>(*call_).looks.load()
                           : static_cast<LookCounting<TagVtCall>&>(*call_).looks.load();
  }
  void StartWaiting() {
    wait_ = std::async(std::launch::async, [this] {
      return call_->GetCellKeys(keys_, 10, 0, '#', script_stopped_);
    });
    std::this_thread::sleep_for(kSettle);
    ASSERT_EQ(wait_.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
  }

  frame::TagMonitor monitor_{4};
  std::unique_ptr<TagVtCall> call_;
  std::atomic<uint8_t> script_stopped_{0};
  std::string keys_;
  std::future<int32_t> wait_;
};

TEST_P(CellKeysWaitTest, KeysTypedIntoTheCellEndIt) {
  StartWaiting();
  const auto typed = Steady::now();
  frame::AppendLineKeys(kLine, "12#3");
  ASSERT_EQ(wait_.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_LT(Steady::now() - typed, kPromptly);
  EXPECT_EQ(wait_.get(), 3);
  EXPECT_EQ(keys_, "12");
  EXPECT_EQ(frame::GetLineKeys(kLine), "3");
}

TEST_P(CellKeysWaitTest, AStopEndsIt) {
  StartWaiting();
  const auto stopped = Steady::now();
  call_->RaiseStop();
  ASSERT_EQ(wait_.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_LT(Steady::now() - stopped, kPromptly);
  EXPECT_EQ(wait_.get(), kKeysStopped);
}

TEST_P(CellKeysWaitTest, LooksOnlyWhenTheCellChanges) {
  StartWaiting();
  const int before = Looks();
  std::this_thread::sleep_for(kStretch);
  const int looks = Looks() - before;
  if (GetParam().told) {
    EXPECT_EQ(looks, 0);
    frame::AppendLineKeys(kLine, "1");  // not yet the end of the input
    EXPECT_TRUE(WaitUntil([&] { return Looks() > before; }, 1000));
  } else {
    EXPECT_GE(looks, 3);  // every 30 ms
  }
  EXPECT_EQ(wait_.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
}

INSTANTIATE_TEST_SUITE_P(Lines, CellKeysWaitTest,
                         ::testing::Values(KeysKind{"VirtualLine", true},
                                           KeysKind{"PollingLine", false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace telephony
