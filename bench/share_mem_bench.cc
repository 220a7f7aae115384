// Shared memory and the ACD list under load: a "FindShareMem(" scan over
// 480 lines whose stores hold 100 keys each, the value found on the last
// line, beside the bare cost of one std::map look-up per line; and an ACD
// read that looks over 1,000 groups. Each reports nanoseconds per line or
// per group.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/line_call.h"
#include "platform/clock.h"
#include "services/interline/acd_list.h"
#include "services/interline/line_share_mem.h"
#include "services/interline/share_mem.h"

namespace {

using engine::TagVar;

constexpr int32_t kLines = 480;
constexpr int kKeysPerLine = 100;
constexpr int kGroups = 1000;

TagVar Text(const std::string& s) {
  TagVar v;
  v.SetString(s);
  return v;
}

// A line table whose every line has a shared-memory store.
class StoreTable : public engine::LineTableFacts {
 public:
  StoreTable() {
    for (int32_t line = 0; line < kLines; ++line) {
      auto store = std::make_shared<services::TagShareMem>();
      for (int k = 0; k < kKeysPerLine; ++k) {
        store->Set(Text("key" + std::to_string(k)), Text("busy"));
      }
      store->Set(Text("state"), Text(line == kLines - 1 ? "free" : "busy"));
      stores_.push_back(std::move(store));
    }
  }
  int32_t LineCount() const override { return kLines; }
  std::shared_ptr<engine::ScriptStore> LineStore(int32_t line, engine::StoreSlot) const override {
    return stores_[static_cast<size_t>(line)];
  }

 private:
  std::vector<std::shared_ptr<services::TagShareMem>> stores_;
};

void PerItem(benchmark::State& state, int items, const char* name) {
  state.counters[name] = benchmark::Counter(static_cast<double>(state.iterations()) * items,
                                            benchmark::Counter::kIsRate |
                                                benchmark::Counter::kInvert);
}

void BM_FindShareMemScan(benchmark::State& state) {
  StoreTable table;
  engine::SetLineTableFacts(&table);
  const TagVar key = Text("state"), free = Text("free"), held = Text("held");
  bool claimed = false;
  for (auto _ : state) {
    // Alternates free -> held and held -> free, found on the last line each time.
    const int32_t line =
        claimed ? services::FindAndClaim(key, held, free) : services::FindAndClaim(key, free, held);
    if (line != kLines - 1) state.SkipWithError("not found on the last line");
    claimed = !claimed;
  }
  engine::SetLineTableFacts(nullptr);
  PerItem(state, kLines, "s_per_line");
}
BENCHMARK(BM_FindShareMemScan);

// The floor: one look-up in a std::map of 101 text keys per line.
void BM_BareMapLookups(benchmark::State& state) {
  std::vector<std::map<std::string, int>> maps(kLines);
  for (auto& m : maps) {
    for (int k = 0; k < kKeysPerLine; ++k) m["key" + std::to_string(k)] = k;
    m["state"] = 0;
  }
  const std::string key = "state";
  for (auto _ : state) {
    for (auto& m : maps) benchmark::DoNotOptimize(m.find(key));
  }
  PerItem(state, kLines, "s_per_line");
}
BENCHMARK(BM_BareMapLookups);

void BM_AcdReadOverGroups(benchmark::State& state) {
  platform::FakeClock clock(1000);
  platform::ScopedClock scoped(&clock);
  services::TagAcdList list;
  services::TagMsgFields m;
  TagVar v;
  m.SetField(0, v.AssignInt(1));
  m.SetCount(1);
  for (int g = 0; g < kGroups; ++g) {
    list.Send("group" + std::to_string(g), m);
    clock.Advance(1);
  }
  services::TagMsgFields out;
  for (auto _ : state) {
    clock.Advance(1);
    benchmark::DoNotOptimize(list.Read(0, out));
  }
  PerItem(state, kGroups, "s_per_group");
}
BENCHMARK(BM_AcdReadOverGroups);

}  // namespace

BENCHMARK_MAIN();
