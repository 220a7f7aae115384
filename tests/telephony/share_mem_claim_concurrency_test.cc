// Claiming lines with "FindShareMem(" while other lines write the same
// keys: a claim tests and sets an entry in one step, so a write from
// another line either comes before the test or after the set, and no line
// is ever held twice.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "services/interline/line_share_mem.h"
#include "services/interline/share_mem.h"
#include "tests/engine/values.h"
#include "tests/telephony/message_lines.h"

namespace telephony {
namespace {

using engine::Int;
using engine::Str;
using engine::TagVar;

// What the claim hook does: run line 2's "SetShareMem(" on another thread
// and see whether it gets through while the claim is between its test and
// its set.
ScriptOnLine* g_setter = nullptr;
std::future<int32_t> g_set;
bool g_set_inside_claim = false;

void RunSetterInsideClaim() {
  g_set = std::async(std::launch::async, [] { return g_setter->RunHere(); });
  g_set_inside_claim = g_set.wait_for(std::chrono::milliseconds(100)) == std::future_status::ready;
}

class ShareMemClaimTest : public LinesTest<16> {
 protected:
  services::TagShareMem& StoreOf(int32_t n) {
    return *static_cast<services::TagShareMem*>(
        lines_[static_cast<size_t>(n)]->script().store(engine::StoreSlot::kShareMem));
  }
  std::string Entry(int32_t n, const char* key) {
    TagVar out;
    StoreOf(n).Get(Str(key), out);
    return out.ToText();
  }
};

TEST_F(ShareMemClaimTest, SetOfTheSameKeyWaitsForTheClaim) {
  Line(0, "return(0)\n");
  Line(1, "return(0)\n");
  ScriptOnLine& setter = Line(2, "r = 0\nr = SetShareMem(1, \"state\", \"away\")\nreturn(0)\n");
  ASSERT_TRUE(setter.compiled()) << setter.Errors();
  StoreOf(1).Set(Str("state"), Str("free"));
  g_setter = &setter;
  services::TagShareMem::SetClaimHook(&RunSetterInsideClaim);
  const int32_t claimed = services::FindAndClaim(Str("state"), Str("free"), Str("held"));
  services::TagShareMem::SetClaimHook(nullptr);
  g_set.get();
  EXPECT_EQ(claimed, 1);
  EXPECT_FALSE(g_set_inside_claim);
  EXPECT_EQ(Entry(1, "state"), "away");  // the set came after the claim
  EXPECT_EQ(setter.Int("r"), 1);
}

constexpr int kClaimers = 16;
constexpr int kSetters = 4;
constexpr int kRounds = 300;

// A line is held by whoever turned its "state" from "free" to its mark;
// each holder counts itself in the line's "holders" while it holds it.
TEST_F(ShareMemClaimTest, NoLineIsEverHeldTwice) {
  for (int32_t n = 0; n < kLines; ++n) {
    Line(n, "return(0)\n");
    StoreOf(n).Set(Str("state"), Str("free"));
    StoreOf(n).Set(Str("holders"), Int(0));
  }
  std::atomic<int> doubles{0}, claims{0}, takes{0};
  const TagVar free = Str("free"), held = Str("held"), busy = Str("busy"), one = Int(1);
  auto hold = [&](services::TagShareMem& store) {
    TagVar n;
    store.Inc(Str("holders"), one, n);
    if (n.GetInt() != 1) doubles.fetch_add(1);
    std::this_thread::yield();
    store.Dec(Str("holders"), one, n);
  };
  std::vector<std::thread> threads;
  for (int c = 0; c < kClaimers; ++c) {
    threads.emplace_back([&] {
      for (int i = 0; i < kRounds; ++i) {
        const int32_t line = services::FindAndClaim(Str("state"), free, held);
        if (line < 0) continue;
        claims.fetch_add(1);
        services::ShareMemRef ref = services::ShareMemOfLine(line);
        hold(*ref.store);
        TagVar was;
        ref.store->Exchange(Str("state"), was, free);
      }
    });
  }
  // Each setter marks its own share of the lines busy with "AccShareMem(":
  // it holds a line it found free; a mark it replaced goes back, and a line
  // whose holder let go meanwhile is made free again.
  for (int s = 0; s < kSetters; ++s) {
    threads.emplace_back([&, s] {
      for (int i = 0; i < kRounds; ++i) {
        for (int32_t line = s; line < kLines; line += kSetters) {
          services::TagShareMem& store = *services::ShareMemOfLine(line).store;
          TagVar old, back;
          store.Exchange(Str("state"), old, busy);
          if (TagVar::Equals(old, free) != 0) {
            takes.fetch_add(1);
            hold(store);
            store.Set(Str("state"), free);
          } else {
            store.Exchange(Str("state"), back, old);
            if (TagVar::Equals(back, free) != 0) store.Set(Str("state"), free);
          }
        }
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(doubles.load(), 0);
  EXPECT_GT(claims.load(), 0);
  EXPECT_GT(takes.load(), 0);
  for (int32_t n = 0; n < kLines; ++n) EXPECT_EQ(Entry(n, "state"), "free") << n;
}

}  // namespace
}  // namespace telephony
