// What the line monitor asks about the lines (names, scripts, compile
// results, key display modes, statement texts for the Run Info cell),
// answered from a line drive.
//
// The monitor server and the window may still read the monitor after the
// drive is gone, so this object outlives its drive: Attach hands it a
// drive, Detach takes it away again (waiting for a question in progress)
// and later questions get the answers of "no drive".
//
// Ownership: the drive is the caller's; it must stay alive until Detach.
// Thread rules: every function may be called from any thread.
#ifndef VTTEL_TELEPHONY_TEL_LINE_INFO_H_
#define VTTEL_TELEPHONY_TEL_LINE_INFO_H_

#include <shared_mutex>
#include <string>

#include "frame/monitor_line_info.h"

namespace telephony {

class TagTelDrive;

class TelLineInfo : public frame::LineInfoSource {
 public:
  TelLineInfo() = default;
  TelLineInfo(const TelLineInfo&) = delete;
  TelLineInfo& operator=(const TelLineInfo&) = delete;

  void Attach(const TagTelDrive* drive);
  // Returns once no question uses the drive any more.
  void Detach() { Attach(nullptr); }

  bool DriveReady() override;
  std::string LineName(int line) override;
  bool HasScript(int line) override;
  std::string ScriptFileName(int line) override;
  int CompileResult(int line) override;
  bool KeyDisplayMode(int line, int* mode) override;
  // The statement of the line's main script.
  std::string StatementText(int line, int32_t index) override;

 private:
  std::shared_mutex mu_;
  const TagTelDrive* drive_ = nullptr;  // guarded by mu_
};

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_TEL_LINE_INFO_H_
