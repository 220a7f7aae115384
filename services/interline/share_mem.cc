#include "services/interline/share_mem.h"

#include <atomic>
#include <type_traits>

namespace services {

using engine::TagVar;

namespace {

std::atomic<void (*)()> g_claim_hook{nullptr};

// Gives back the map references the values of a map hold, then empties it.
template <typename Map>
void ReleaseAll(Map& map) {
  for (auto& entry : map) {
    if (entry.second.kind == engine::kVarMap) entry.second.ReleaseMap();
  }
  map.clear();
}

}  // namespace

TagShareMem::~TagShareMem() { ClearLocked(); }

void TagShareMem::SetClaimHook(void (*hook)()) { g_claim_hook.store(hook); }

template <typename Step>
int32_t TagShareMem::OnMap(const TagVar& key, Step step) {
  std::lock_guard<std::mutex> lock(mu_);
  if (key.kind == engine::kVarString) return step(texts_, key.Bytes());
  if (key.kind == engine::kVarFloat) return step(floats_, key.floatValue);
  return step(ints_, key.intValue);
}

int32_t TagShareMem::Set(const TagVar& key, const TagVar& value) {
  return OnMap(key, [&](auto& map, const auto& k) {
    auto it = map.find(k);
    if (it == map.end()) {
      using Key = typename std::decay_t<decltype(map)>::key_type;
      it = map.emplace(Key(k), TagVar()).first;
    }
    it->second.Assign(value);
    return static_cast<int32_t>(map.size());
  });
}

int32_t TagShareMem::Get(const TagVar& key, TagVar& out) {
  return OnMap(key, [&](auto& map, const auto& k) {
    const auto it = map.find(k);
    if (it == map.end()) return kShareMemAbsent;
    out.Assign(it->second);
    return static_cast<int32_t>(map.size());
  });
}

int32_t TagShareMem::Exchange(const TagVar& key, TagVar& out, const TagVar& value) {
  return OnMap(key, [&](auto& map, const auto& k) {
    const auto it = map.find(k);
    if (it == map.end()) return kShareMemAbsent;
    // The new value is taken before out is written: out may be the same
    // variable.
    TagVar fresh;
    fresh.Assign(value);
    out.Assign(it->second);
    it->second.Assign(fresh);
    if (fresh.kind == engine::kVarMap) fresh.ReleaseMap();
    return static_cast<int32_t>(map.size());
  });
}

int32_t TagShareMem::Clear() {
  std::lock_guard<std::mutex> lock(mu_);
  ClearLocked();
  return 0;
}

void TagShareMem::ClearLocked() {
  ReleaseAll(ints_);
  ReleaseAll(texts_);
  ReleaseAll(floats_);
}

int32_t TagShareMem::Update(const TagVar& key, const TagVar& operand, TagVar& out, Arith op) {
  return OnMap(key, [&](auto& map, const auto& k) {
    const auto it = map.find(k);
    if (it == map.end()) return kShareMemAbsent;
    TagVar result;
    (result.*op)(it->second, operand);
    it->second.Assign(result);
    out.Assign(result);
    if (result.kind == engine::kVarMap) result.ReleaseMap();
    return 0;
  });
}

int32_t TagShareMem::Inc(const TagVar& key, const TagVar& operand, TagVar& out) {
  return Update(key, operand, out, &TagVar::AddAssign);
}

int32_t TagShareMem::Dec(const TagVar& key, const TagVar& operand, TagVar& out) {
  return Update(key, operand, out, &TagVar::SubtractAssign);
}

bool TagShareMem::Claim(const TagVar& key, const TagVar& value, const TagVar& new_value) {
  return OnMap(key, [&](auto& map, const auto& k) {
           const auto it = map.find(k);
           if (it == map.end() || TagVar::Equals(it->second, value) == 0) return 0;
           if (void (*hook)() = g_claim_hook.load()) hook();
           it->second.Assign(new_value);
           return 1;
         }) != 0;
}

std::unique_ptr<engine::ScriptStore> NewShareMem(engine::TagTelBasic&) {
  return std::make_unique<TagShareMem>();
}

}  // namespace services
