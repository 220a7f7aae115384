// Shared memory: a locked key/value store of script values that every line
// may read and change. Each main script owns one (store slot kShareMem)
// and one more lives for the whole process (process_queues.h).
//
// A store keeps three ordered maps and picks one by the key's kind: a
// string key the text map (its bytes), a float key the float map (its
// number; NaN sorts after every number and all NaNs are one key), any
// other key the integer map (the value's integer field). So 1, "1" and 1.0
// are three entries. Values are kept with TagVar::Assign: a map is held by
// handle with its reference, given back by Clear and by the destructor.
//
// Thread rules: any thread may call any operation; each holds the store's
// own lock from start to end (map values take the map table's lock inside).
// Values of the caller are read or written under it.
#ifndef VTTEL_SERVICES_INTERLINE_SHARE_MEM_H_
#define VTTEL_SERVICES_INTERLINE_SHARE_MEM_H_

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "engine/map_table.h"
#include "engine/script_store.h"
#include "engine/tag_var.h"

namespace services {

// The result of an operation on a key that is absent.
inline constexpr int32_t kShareMemAbsent = -1;

class TagShareMem : public engine::ScriptStore {
 public:
  TagShareMem() = default;
  ~TagShareMem() override;
  TagShareMem(const TagShareMem&) = delete;
  TagShareMem& operator=(const TagShareMem&) = delete;

  // The entry = a copy of value (made when absent): the size of the map used.
  int32_t Set(const engine::TagVar& key, const engine::TagVar& value);
  // out = a copy of the entry: the size of the map used; absent: -1, out
  // unchanged.
  int32_t Get(const engine::TagVar& key, engine::TagVar& out);
  // out = the entry, then the entry = value: the size of the map used, or -1.
  int32_t Exchange(const engine::TagVar& key, engine::TagVar& out, const engine::TagVar& value);
  // Empties the three maps; 0.
  int32_t Clear();
  // The entry = entry + operand (entry - operand) by the language's
  // arithmetic and out = the new entry: 0, or -1 (nothing is made).
  int32_t Inc(const engine::TagVar& key, const engine::TagVar& operand, engine::TagVar& out);
  int32_t Dec(const engine::TagVar& key, const engine::TagVar& operand, engine::TagVar& out);
  // When the entry equals value, it becomes new_value: the test and the set
  // are one step under the lock. True when it was set.
  bool Claim(const engine::TagVar& key, const engine::TagVar& value,
             const engine::TagVar& new_value);

  // Tests only: called by Claim between its test and its set (under the
  // lock) when the entry matched. Set before any line runs.
  static void SetClaimHook(void (*hook)());

 private:
  using IntMap = std::map<int32_t, engine::TagVar>;
  using TextMap = std::map<std::string, engine::TagVar, std::less<>>;
  using FloatMap = std::map<double, engine::TagVar, engine::FloatKeyLess>;

  // Runs step(map, key) on the map the key's kind chooses.
  template <typename Step>
  int32_t OnMap(const engine::TagVar& key, Step step);
  // The arithmetic update behind Inc and Dec.
  using Arith = int32_t (engine::TagVar::*)(const engine::TagVar&, const engine::TagVar&);
  int32_t Update(const engine::TagVar& key, const engine::TagVar& operand, engine::TagVar& out,
                 Arith op);
  void ClearLocked();

  std::mutex mu_;
  IntMap ints_;      // guarded by mu_
  TextMap texts_;    // guarded by mu_
  FloatMap floats_;  // guarded by mu_
};

// The store of a main script (slot kShareMem) for the factory.
std::unique_ptr<engine::ScriptStore> NewShareMem(engine::TagTelBasic& script);

}  // namespace services

#endif  // VTTEL_SERVICES_INTERLINE_SHARE_MEM_H_
