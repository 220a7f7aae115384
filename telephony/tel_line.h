// TagTelLine: one line of the line table. It holds the line's global
// number and name, the card that made it, the line's call object (owned)
// and the compiled script running on the line, and the line's two threads
// (the load thread that compiles the script and the run thread that runs
// it).
//
// Ownership: the line owns its call object and shares the ownership of its
// script with whoever reads it: Script() hands out a reference that keeps
// the script alive while the caller uses it, so taking a script off the
// line never frees it under a reader or under the line's run thread. What
// a script does to its line when it goes (the stop flag, the temporary play
// files) happens where it leaves the line, never where its last reader
// frees it.
//
// Thread rules: number, name, card and call object are fixed for the
// line's life. The script and the script file are guarded by the line's
// lock and may be read and replaced from any thread. The thread objects
// belong to the line drive's loading pass (load thread) and to the load
// thread (run thread); the drive joins them before it touches them again.
#ifndef VTTEL_TELEPHONY_TEL_LINE_H_
#define VTTEL_TELEPHONY_TEL_LINE_H_

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "engine/tel_basic.h"
#include "platform/thread.h"
#include "telephony/board/vt_card.h"
#include "telephony/vt_call.h"

namespace telephony {

class TagTelLine {
 public:
  // card may be null (a line of no card); call must not be null.
  TagTelLine(int32_t line_no, TagVtCard* card, std::unique_ptr<TagVtCall> call);
  // Drops the script first, then the call object.
  // REQUIRES: the line's threads have ended.
  ~TagTelLine();
  TagTelLine(const TagTelLine&) = delete;
  TagTelLine& operator=(const TagTelLine&) = delete;

  int32_t lineNo() const { return line_no_; }
  const std::string& lineName() const { return call_->lineName; }
  TagVtCard* card() const { return card_; }
  TagVtCall& call() const { return *call_; }

  std::string ScriptFile() const;
  void SetScriptFile(std::string_view file);

  // The script on the line (null when none); the reference keeps it alive.
  // REQUIRES: let go of before the line is freed (the script uses the
  // line's call object).
  std::shared_ptr<engine::TagTelBasic> Script() const;
  // Attaches a script; one it replaces leaves the line (LeaveLine).
  // REQUIRES: the replaced script's run has ended.
  void SetScript(std::shared_ptr<engine::TagTelBasic> script);
  // Takes the script off the line: it leaves the line here (stop flag,
  // temporary files) and is freed when its last user lets go, which may be
  // on another thread while the line runs a new script.
  // REQUIRES: the script's run has ended.
  std::shared_ptr<engine::TagTelBasic> TakeScript();
  // A store of the line's script, copied under the line's lock: null when
  // the line has no script or its script did not compile. The reference
  // holds the store only, never the script, so a caller on another thread
  // is never the one that frees a replaced script.
  std::shared_ptr<engine::ScriptStore> Store(engine::StoreSlot slot) const;

  // The line is taken from the moment a load is handed to it until its
  // script is taken off again: a second load of the same line is refused.
  // TryTake: true when the line was free and is now taken.
  bool TryTake() { return !taken_.exchange(true); }
  void Free() { taken_.store(false); }
  bool taken() const { return taken_.load(); }

  // A line whose run did not end when the lines were closed: its thread
  // keeps the script (and the line) for as long as it runs.
  void SetAbandoned(bool abandoned) { abandoned_.store(abandoned); }
  bool abandoned() const { return abandoned_.load(); }

  platform::Thread& loadThread() { return load_thread_; }
  platform::Thread& runThread() { return run_thread_; }

 private:
  const int32_t line_no_;
  TagVtCard* const card_;
  std::unique_ptr<TagVtCall> call_;
  mutable std::mutex mu_;
  std::string script_file_;                        // guarded by mu_
  std::shared_ptr<engine::TagTelBasic> script_;    // guarded by mu_
  std::atomic<bool> taken_{false};
  std::atomic<bool> abandoned_{false};
  platform::Thread load_thread_;
  platform::Thread run_thread_;
};

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_TEL_LINE_H_
