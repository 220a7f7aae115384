// Message queues under load: a Send and a Recv per iteration with 2,000
// messages waiting, on a queue without keys and on one kept sorted by two
// keys (the sorted insert, never a whole-list sort per message), and 64
// threads sending to and receiving from one process-wide queue.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "services/interline/msg_list.h"
#include "services/interline/process_queues.h"

namespace {

using services::TagMsgFields;
using services::TagMsgList;

constexpr int kWaiting = 2000;
constexpr int kKeyValues = 50;

// A message of three integer fields; the first two are the sort keys.
void Fill(TagMsgFields& m, int32_t k0, int32_t k1, int32_t id) {
  engine::TagVar v;
  m.SetField(0, v.AssignInt(k0));
  m.SetField(1, v.AssignInt(k1));
  m.SetField(2, v.AssignInt(id));
  m.SetCount(3);
}

void SendRecv(benchmark::State& state, bool keys) {
  TagMsgList q;
  if (keys) {
    q.SetOrderBy(0, 0);
    q.SetOrderBy(1, 1);
  }
  std::mt19937 random(7);
  std::vector<TagMsgFields> pool(256);
  for (size_t i = 0; i < pool.size(); ++i) {
    Fill(pool[i], static_cast<int32_t>(random() % kKeyValues),
         static_cast<int32_t>(random() % kKeyValues), static_cast<int32_t>(i));
  }
  for (int i = 0; i < kWaiting; ++i) q.Send(pool[static_cast<size_t>(i) % pool.size()]);
  TagMsgFields out;
  size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(q.Send(pool[next++ % pool.size()]));
    benchmark::DoNotOptimize(q.Recv(out));
  }
  state.counters["waiting"] = q.GetMsgNum();
}

void BM_SendRecvNoKeys(benchmark::State& state) { SendRecv(state, false); }
BENCHMARK(BM_SendRecvNoKeys);

void BM_SendRecvTwoKeys(benchmark::State& state) { SendRecv(state, true); }
BENCHMARK(BM_SendRecvTwoKeys);

void BM_ProcessQueueThreads(benchmark::State& state) {
  TagMsgList& q = services::ProcessQueue(0);
  TagMsgFields m, out;
  Fill(m, state.thread_index(), 0, 0);
  for (auto _ : state) {
    benchmark::DoNotOptimize(q.Send(m));
    benchmark::DoNotOptimize(q.Recv(out));
  }
}
BENCHMARK(BM_ProcessQueueThreads)->Threads(64)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
