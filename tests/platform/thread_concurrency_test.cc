#include "platform/thread.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/named_event.h"
#include "tests/test_support.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

// Holds thread bodies until a test opens it.
class Gate {
 public:
  void Wait() {
    std::unique_lock<std::mutex> lock(mu_);
    cv_.wait(lock, [this] { return open_; });
  }
  void Open() {
    std::lock_guard<std::mutex> lock(mu_);
    open_ = true;
    cv_.notify_all();
  }

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  bool open_ = false;  // guarded by mu_
};

// Polls cond for up to 5 s.
bool Eventually(const std::function<bool()>& cond) {
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (!cond()) {
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// glibc may hand a thread a cached stack up to four times the size asked
// for, never a smaller one; the default (8 MiB here) is far above that.
TEST(ThreadTest, StackSizeIsApplied) {
  for (size_t bytes : {kLineThreadStackBytes, size_t{0x40000}, size_t{0x100000}}) {
    SCOPED_TRACE(bytes);
    size_t seen = 0;
    Thread thread;
    ASSERT_TRUE(thread.Start("stack", bytes, [&seen] {
      pthread_attr_t attr;
      ASSERT_EQ(pthread_getattr_np(pthread_self(), &attr), 0);
      pthread_attr_getstacksize(&attr, &seen);
      pthread_attr_destroy(&attr);
    }));
    thread.Join();
    EXPECT_GE(seen, bytes);
    EXPECT_LT(seen, 4 * bytes);
  }
}

TEST(ThreadTest, KernelNameIsCutWithoutSplittingACharacter) {
  struct Case {
    std::string given;
    std::string kernel;
  };
  const Case cases[] = {
      {"line7", "line7"},
      {"vttel-line-0042-x", "vttel-line-0042"},
      {"线路线程一二三四", "线路线程一二三"},  // 16 bytes of GBK: 14 fit
      {"abcdefghijklmn线", "abcdefghijklmn"},
  };
  for (const Case& c : cases) {
    char kernel[32] = {};
    std::vector<std::string> live;
    Thread thread;
    ASSERT_TRUE(thread.Start(c.given, 0, [&] {
      pthread_getname_np(pthread_self(), kernel, sizeof(kernel));
      live = LiveThreadNames();
    }));
    thread.Join();
    EXPECT_EQ(kernel, c.kernel);
    EXPECT_TRUE(Contains(live, c.given)) << "the list keeps the whole name";
  }
}

TEST(ThreadTest, JoinForTimesOutWhileTheBodyRuns) {
  Gate gate;
  Thread thread;
  ASSERT_TRUE(thread.Start("blocked", kLineThreadStackBytes, [&gate] { gate.Wait(); }));
  const auto before = Clock::now();
  EXPECT_FALSE(thread.JoinFor(60));
  const auto waited = Clock::now() - before;
  EXPECT_GE(waited, std::chrono::milliseconds(60));
  EXPECT_LT(waited, std::chrono::seconds(2));
  EXPECT_TRUE(thread.joinable());

  gate.Open();
  EXPECT_TRUE(thread.JoinFor(5000));
  EXPECT_FALSE(thread.joinable());
  EXPECT_FALSE(thread.JoinFor(0)) << "nothing left to join";
}

TEST(ThreadTest, LiveCountFollowsTheBodies) {
  const size_t base = LiveThreadCount();
  Gate gates[3];
  std::vector<Thread> threads(3);
  for (size_t i = 0; i < threads.size(); ++i) {
    Gate* gate = &gates[i];
    ASSERT_TRUE(threads[i].Start("live" + std::to_string(i), 0, [gate] { gate->Wait(); }));
  }
  EXPECT_EQ(LiveThreadCount(), base + 3) << "counted from Start, not from the first run";
  std::vector<std::string> names = LiveThreadNames();
  for (const char* name : {"live0", "live1", "live2"}) EXPECT_TRUE(Contains(names, name));

  gates[1].Open();
  ASSERT_TRUE(threads[1].JoinFor(5000));
  EXPECT_EQ(LiveThreadCount(), base + 2) << "a joined body no longer counts";
  EXPECT_FALSE(Contains(LiveThreadNames(), "live1"));
  for (Gate& gate : gates) gate.Open();
  for (Thread& t : threads) t.Join();
  EXPECT_EQ(LiveThreadCount(), base);
}

TEST(ThreadTest, StartRefusesWhileRunningAndAfterCreateFails) {
  const size_t base = LiveThreadCount();
  std::atomic<int> runs{0};
  Thread thread;
  // More stack than the user address space holds: pthread_create fails.
  EXPECT_FALSE(thread.Start("huge", size_t{1} << 48, [&runs] { ++runs; }));
  EXPECT_FALSE(thread.joinable());
  EXPECT_EQ(LiveThreadCount(), base);

  Gate gate;
  ASSERT_TRUE(thread.Start("first", 0, [&gate, &runs] { gate.Wait(); ++runs; }));
  EXPECT_FALSE(thread.Start("second", 0, [&runs] { ++runs; }));
  gate.Open();
  thread.Join();
  EXPECT_EQ(runs.load(), 1);
  EXPECT_EQ(thread.name(), "first");
}

TEST(ThreadTest, MovedThreadIsJoinedThroughItsNewOwner) {
  Gate gate;
  Thread first;
  ASSERT_TRUE(first.Start("moved", 0, [&gate] { gate.Wait(); }));
  Thread second(std::move(first));
  EXPECT_FALSE(first.joinable());
  ASSERT_TRUE(second.joinable());
  Thread third;
  third = std::move(second);
  EXPECT_EQ(third.name(), "moved");
  gate.Open();
  EXPECT_TRUE(third.JoinFor(5000));
}

TEST(ThreadTest, DestroyingARunningThreadDetachesItAfterTheWait) {
  const size_t base = LiveThreadCount();
  auto gate = std::make_shared<Gate>();
  auto finished = std::make_shared<std::atomic<bool>>(false);
  const auto before = Clock::now();
  {
    Thread thread;
    thread.set_destroy_wait_ms(50);
    ASSERT_TRUE(thread.Start("stuck", 0, [gate, finished] {
      gate->Wait();
      finished->store(true);
    }));
  }
  EXPECT_LT(Clock::now() - before, std::chrono::seconds(2));
  EXPECT_EQ(LiveThreadCount(), base + 1) << "the body keeps running detached";
  EXPECT_TRUE(Contains(LiveThreadNames(), "stuck"));

  gate->Open();
  EXPECT_TRUE(Eventually([&] { return LiveThreadCount() == base; }));
  EXPECT_TRUE(finished->load());
}

TEST(ThreadTest, ManyThreadsStartAndJoinConcurrently) {
  constexpr int kStarters = 8;
  constexpr int kChildren = 32;
  const size_t base = LiveThreadCount();
  std::atomic<int> runs{0};
  std::atomic<bool> starting{true};
  Thread watcher;  // reads the registry while it changes
  ASSERT_TRUE(watcher.Start("watcher", 0, [&] {
    while (starting.load(std::memory_order_relaxed)) {
      LiveThreadNames();
      LiveThreadCount();
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  }));
  std::vector<Thread> starters(kStarters);
  for (int s = 0; s < kStarters; ++s) {
    ASSERT_TRUE(starters[s].Start("starter" + std::to_string(s), 0, [&runs] {
      std::vector<Thread> children;  // grows while its threads run: moves them
      for (int c = 0; c < kChildren; ++c) {
        children.emplace_back();
        if (!children.back().Start("line" + std::to_string(c), kLineThreadStackBytes,
                                   [&runs] { runs.fetch_add(1); })) {
          ADD_FAILURE() << "Start failed";
        }
      }
      for (Thread& child : children) child.Join();
    }));
  }
  for (Thread& starter : starters) EXPECT_TRUE(starter.JoinFor(30000));
  starting.store(false);
  watcher.Join();
  EXPECT_EQ(runs.load(), kStarters * kChildren);
  EXPECT_EQ(LiveThreadCount(), base);
}

// Named events: any thread may signal while the owner thread polls.
TEST(NamedEventThreadsTest, SignalsFromManyThreadsReachThePollingOwner) {
  testing_support::TempDir tmp;
  testing_support::ScopedEnv env("XDG_RUNTIME_DIR", tmp.path());
  NamedEvent quit;
  ASSERT_TRUE(quit.Create(kQuitEventName));
  constexpr int kSignallers = 40;  // more than the listen backlog holds
  std::atomic<int> delivered{0};
  std::atomic<int> finished{0};
  std::vector<Thread> signallers(kSignallers);
  for (Thread& t : signallers) {
    ASSERT_TRUE(t.Start("signal", 0, [&] {
      if (SignalNamedEvent(kQuitEventName)) delivered.fetch_add(1);
      finished.fetch_add(1);
    }));
  }
  bool seen = false;
  EXPECT_TRUE(Eventually([&] {
    seen = quit.IsSet() || seen;
    return finished.load() == kSignallers;
  }));
  for (Thread& t : signallers) t.Join();
  EXPECT_TRUE(seen);
  EXPECT_EQ(delivered.load(), kSignallers) << "a signaller was turned away";
  quit.Reset();
  quit.IsSet();  // takes in the signals still queued
  quit.Reset();
  EXPECT_FALSE(quit.IsSet());
}

}  // namespace
}  // namespace platform
