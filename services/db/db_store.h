// The database handles of a line: the store of slot kDatabases of its main
// script. A handle is a slot number 0..kDbSlots-1; at most kDbMaxOpen
// back ends are open at once. The store also keeps the text of the line's
// last database error ("DbExec(" copies it from the back end; "GetSysInfo("
// reports it as "DbErrInfo").
//
// Ownership: the store owns its back ends; destroying it (with the main
// script) deletes every back end still open. Thread rules: used on the
// line's thread only.
#ifndef VTTEL_SERVICES_DB_DB_STORE_H_
#define VTTEL_SERVICES_DB_DB_STORE_H_

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/run_stores.h"
#include "services/db/data_set.h"

namespace engine {
class TagTelBasic;
}

namespace services {

inline constexpr int32_t kDbSlots = 1024;
inline constexpr int32_t kDbMaxOpen = kDbSlots - 1;
// Results of "DbOpen(" besides a handle: every slot it may use is taken;
// the back end failed to open.
inline constexpr int32_t kDbOpenTooMany = -1;
inline constexpr int32_t kDbOpenFailed = -2;

class DatabaseStore : public engine::DatabaseErrorStore {
 public:
  DatabaseStore() = default;
  ~DatabaseStore() override;

  // The back end of a slot; null outside 0..kDbSlots-1 or for an empty slot.
  TagDataSet* Find(int32_t handle) const;
  // The first empty slot, or -1.
  int32_t FirstFree() const;
  // Puts a back end into an empty slot.
  void Put(int32_t handle, std::unique_ptr<TagDataSet> data);
  // Deletes the back end of an occupied slot.
  void Remove(int32_t handle);
  // Deletes every back end.
  void RemoveAll();
  int32_t count() const { return count_; }

 private:
  std::array<std::unique_ptr<TagDataSet>, kDbSlots> slots_;
  int32_t count_ = 0;
};

// The database store a statement compiled in script acts on (the run
// context's), or null when the script has none.
DatabaseStore* DatabaseStoreOf(engine::TagTelBasic* script);

// The text of the line's last database error ("" without a store).
std::string DatabaseErrorText(engine::TagTelBasic* script);

// The store factory of slot kDatabases.
std::unique_ptr<engine::ScriptStore> NewDatabaseStore(engine::TagTelBasic& script);

}  // namespace services

#endif  // VTTEL_SERVICES_DB_DB_STORE_H_
