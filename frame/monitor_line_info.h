// What the line monitor needs to know about the lines, given by the layers
// above the frame (the line drive and the script engine) through this small
// interface, so that the frame never includes their headers.
//
// The line drive installs one source with TagMonitor::SetLineInfoSource
// before the lines run and removes it after the line threads and the
// monitor server have ended. Every function may be called from any thread
// (line threads, the window thread, the monitor server's poll thread) and
// must not call back into the monitor table.
#ifndef VTTEL_FRAME_MONITOR_LINE_INFO_H_
#define VTTEL_FRAME_MONITOR_LINE_INFO_H_

#include <cstdint>
#include <string>

namespace frame {

class LineInfoSource {
 public:
  virtual ~LineInfoSource() = default;

  // True when the line drive exists and its status is 0 (built).
  virtual bool DriveReady() = 0;
  // The line's name as the line table gives it ("%d : %s" in cell 0).
  virtual std::string LineName(int line) = 0;
  // True when the line has a script; then its file name and compile result
  // (0 compiled, anything else failed).
  virtual bool HasScript(int line) = 0;
  virtual std::string ScriptFileName(int line) = 0;
  virtual int CompileResult(int line) = 0;
  // The key display mode ("SetDispKeys(") of the line's script into *mode;
  // false when the line is outside the line table or has no script.
  virtual bool KeyDisplayMode(int line, int* mode) = 0;
  // The source text of statement `index` of the script the line runs
  // (empty when there is none). Called lazily when the Run Info cell is
  // read, so it must be safe against the line thread running meanwhile.
  virtual std::string StatementText(int line, int32_t index) = 0;
};

}  // namespace frame

#endif  // VTTEL_FRAME_MONITOR_LINE_INFO_H_
