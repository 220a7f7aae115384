// The hot script-value operations on the statement path: integer add and
// compare, string concatenation, map insert and lookup by integer and by
// string key.
#include <benchmark/benchmark.h>

#include <string>

#include "engine/map_table.h"
#include "engine/tag_var.h"

namespace {

using engine::TagVar;

void BM_IntAdd(benchmark::State& state) {
  TagVar a, b, r;
  a.SetInt(12);
  b.SetInt(30);
  for (auto _ : state) {
    r.AddAssign(a, b);
    benchmark::DoNotOptimize(r.intValue);
  }
}
BENCHMARK(BM_IntAdd);

void BM_IntCompare(benchmark::State& state) {
  TagVar a, b;
  a.SetInt(12);
  b.SetInt(30);
  for (auto _ : state) benchmark::DoNotOptimize(TagVar::Less(a, b) + TagVar::Equals(a, b));
}
BENCHMARK(BM_IntCompare);

void BM_SetIntGetInt(benchmark::State& state) {
  TagVar v;
  int32_t i = 0;
  for (auto _ : state) {
    v.SetInt(i++);
    benchmark::DoNotOptimize(v.GetInt());
  }
}
BENCHMARK(BM_SetIntGetInt);

void BM_StringConcat(benchmark::State& state) {
  TagVar a, b, r;
  a.SetString("13800138000");
  b.SetString("#1234");
  for (auto _ : state) {
    r.AddAssign(a, b);
    benchmark::DoNotOptimize(r.text());
  }
}
BENCHMARK(BM_StringConcat);

void BM_StringPlusInt(benchmark::State& state) {
  TagVar a, b, r;
  a.SetString("line ");
  b.SetInt(123);
  for (auto _ : state) {
    r.AddAssign(a, b);
    benchmark::DoNotOptimize(r.text());
  }
}
BENCHMARK(BM_StringPlusInt);

void BM_MapIntKey(benchmark::State& state) {
  TagVar m, key;
  const int32_t n = static_cast<int32_t>(state.range(0));
  for (int32_t i = 0; i < n; ++i) {
    key.SetInt(i);
    m.Element(key)->SetInt(i);
  }
  int32_t i = 0;
  for (auto _ : state) {
    key.SetInt(i++ % n);
    m.Element(key)->SetInt(i);                       // insert or overwrite
    benchmark::DoNotOptimize(m.GetElement(key));     // lookup
  }
  m.ReleaseMap();
}
BENCHMARK(BM_MapIntKey)->Arg(16)->Arg(1024);

void BM_MapStringKey(benchmark::State& state) {
  TagVar m, key;
  const int32_t n = static_cast<int32_t>(state.range(0));
  std::vector<std::string> names;
  for (int32_t i = 0; i < n; ++i) {
    names.push_back("caller_" + std::to_string(i));
    key.SetString(names.back());
    m.Element(key)->SetInt(i);
  }
  int32_t i = 0;
  for (auto _ : state) {
    key.SetString(names[static_cast<size_t>(i++ % n)]);
    m.Element(key)->SetInt(i);
    benchmark::DoNotOptimize(m.GetElement(key));
  }
  m.ReleaseMap();
}
BENCHMARK(BM_MapStringKey)->Arg(16)->Arg(1024);

void BM_MapInsertErase(benchmark::State& state) {
  TagVar m, key;
  m.Element(key);
  int32_t i = 0;
  for (auto _ : state) {
    key.SetInt(i++);
    m.Element(key)->SetInt(i);
    engine::MapTable().Erase(m.mapHandle, key);
  }
  m.ReleaseMap();
}
BENCHMARK(BM_MapInsertErase);

}  // namespace

BENCHMARK_MAIN();
