// One queue with two keys shared by eight threads that send, receive and
// rewrite at once: no message is lost or duplicated, and the queue drains in
// key order.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <thread>
#include <vector>

#include "frame/settings.h"
#include "services/interline/msg_list.h"
#include "tests/engine/values.h"

namespace services {
namespace {

using engine::Int;
using engine::TagVar;

constexpr int kThreads = 8;
constexpr int kPerThread = 1500;

TEST(MsgListConcurrencyTest, EightThreadsLoseAndDuplicateNothing) {
  const uint32_t old_limit = frame::GetSettings().max_msg_num.exchange(0);
  TagMsgList q;
  ASSERT_EQ(q.SetOrderBy(0, 0), 0);  // field 0 ascending, then
  ASSERT_EQ(q.SetOrderBy(1, 1), 0);  // field 1 descending
  std::vector<std::vector<int32_t>> received(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&q, &received, t] {
      std::mt19937 random(static_cast<uint32_t>(t) * 7919u + 1u);
      TagMsgFields m;
      for (int i = 0; i < kPerThread; ++i) {
        m.sender = t;
        m.SetField(0, Int(static_cast<int32_t>(random() % 5)));
        m.SetField(1, Int(static_cast<int32_t>(random() % 5)));
        m.SetField(2, Int(t * kPerThread + i));  // the message's identity
        m.SetCount(3);
        EXPECT_GT(q.Send(m), 0);
        switch (random() % 4) {
          case 0: {
            TagMsgFields out;
            if (q.Recv(out)) received[t].push_back(out.fields[2].GetInt());
            break;
          }
          case 1:
            q.WriteMsg(0, Int(static_cast<int32_t>(random() % 5)), 1,
                       Int(static_cast<int32_t>(random() % 5)));
            break;
          case 2: {
            TagMsgFields out;
            if (q.RecvForField(1, Int(static_cast<int32_t>(random() % 5)), out)) {
              received[t].push_back(out.fields[2].GetInt());
            }
            break;
          }
          default:
            break;
        }
      }
    });
  }
  for (std::thread& th : threads) th.join();

  std::vector<int> seen(kThreads * kPerThread, 0);
  for (const auto& ids : received) {
    for (int32_t id : ids) ++seen.at(static_cast<size_t>(id));
  }
  TagMsgFields out;
  int32_t last0 = -1, last1 = 0;
  while (q.Recv(out)) {
    const int32_t f0 = out.fields[0].GetInt(), f1 = out.fields[1].GetInt();
    EXPECT_TRUE(f0 > last0 || (f0 == last0 && f1 <= last1))
        << f0 << "," << f1 << " after " << last0 << "," << last1;
    last0 = f0;
    last1 = f1;
    ++seen.at(static_cast<size_t>(out.fields[2].GetInt()));
  }
  for (size_t id = 0; id < seen.size(); ++id) ASSERT_EQ(seen[id], 1) << "message " << id;
  frame::GetSettings().max_msg_num.store(old_limit);
}

}  // namespace
}  // namespace services
