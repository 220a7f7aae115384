// Per-line stores that other subsystems keep in a main script (message
// queues, shared memory, sockets, database handles, external libraries,
// text files, speech, print output, timers, the line's voice and key
// settings). The engine knows them only as
// ScriptStore slots: each subsystem registers a factory for its slot, and
// every main script creates the registered stores when it is built and
// lets go of them in a fixed order when it is destroyed (a store that other
// lines reach, the message queues, goes when the last of them lets go). A slot whose
// subsystem is not part of the program stays empty.
#ifndef VTTEL_ENGINE_SCRIPT_STORE_H_
#define VTTEL_ENGINE_SCRIPT_STORE_H_

#include <cstdint>
#include <memory>

namespace engine {

class TagTelBasic;

class ScriptStore {
 public:
  virtual ~ScriptStore() = default;
  // The line is told to stop (its script's quit request was raised): a
  // store whose statements may block wakes them here. Called from any
  // thread while the script lives, concurrently with the line's own thread
  // using the store: a store that acts on it guards its state with a lock
  // of its own. Must not block.
  virtual void OnStop() {}
  // A child script ("RunVts(") is about to run on this script's stores /
  // has ended its run: a store keeping settings that a child may change
  // but must not leave changed saves them at the start and gets them back
  // at the end. The calls pair and nest (a child's child); on the line's
  // thread.
  virtual void OnChildRunStart() {}
  // A run of the main script starts (not a child's): a store whose state
  // lasts one run makes it new here. On the line's thread.
  virtual void OnRunStart() {}
  virtual void OnChildRunEnd() {}
  // The script leaves its line as the line's own script (a main script,
  // not a child, with a call object) and its run is over: a store deletes
  // the line's temporary files it knows of. Called once, on the thread that
  // takes the script off its line.
  virtual void OnLeaveLine() {}
};

// Slots, in the order the destructor gives them up after the statements
// (databases, sockets and the HTTP requests still coming in first, message
// queues, then the rest).
enum class StoreSlot : uint8_t {
  kDatabases,
  kSockets,
  kHttpRequests,
  kMessages,
  kShareMem,
  kDlls,
  kTextFiles,
  kSpeech,
  kTimers,
  kPrint,
  kLineSettings,
  kCount,
};

using StoreFactory = std::unique_ptr<ScriptStore> (*)(TagTelBasic& script);

// Registers the factory of a slot (before any script is built).
void RegisterStoreFactory(StoreSlot slot, StoreFactory factory);
StoreFactory FindStoreFactory(StoreSlot slot);

}  // namespace engine

#endif  // VTTEL_ENGINE_SCRIPT_STORE_H_
