// TStdOut: the print output of a line, the destination of "Print(".
//
// One per main script, in its store slot kPrint. "SetPrintTo(" chooses a
// text file, or with an empty name the console (the process's standard
// output); "Print(" opens the default file "_stdout<line>.txt" itself when
// nothing is open; the run loop closes the output at the end of every run,
// so the default file is truncated again by the first "Print(" of the next
// run.
//
// The file is written as the system's text-mode file stream wrote it: the
// script's bytes (GBK) unchanged, each LF written as CR LF, no line end of
// its own. The console gets "<line> : <text>" and an LF per print.
//
// The statements act on the output of the acting script (GetRunContext): a
// child script of "RunVts(" prints into its parent's output, and the end of
// the child's run closes only the child's own output, never the parent's.
//
// Thread rules: used on its line's thread only. Console prints of several
// lines go to the one standard output without a lock of ours (each print
// is one stdio write).
#ifndef VTTEL_ENGINE_PRINT_OUTPUT_H_
#define VTTEL_ENGINE_PRINT_OUTPUT_H_

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "engine/run_stores.h"

namespace engine {

class TagTelBasic;

class TStdOut : public PrintOutput {
 public:
  enum Mode : int32_t { kClosed = 0, kFile = 1, kConsole = 2 };

  TStdOut() = default;
  ~TStdOut() override;
  TStdOut(const TStdOut&) = delete;
  TStdOut& operator=(const TStdOut&) = delete;

  // True in console mode or while the file is open.
  bool IsOpen() const;
  // Console: "<line_no> : <text>" and a line end to standard output,
  // flushed; file: the text (LF as CR LF), flushed. 0; -1 with nothing open
  // (the log line "TStdOut::Print() Err: not open.").
  int32_t Print(int32_t line_no, std::string_view text);
  // Closes first; "" selects the console (2); any other script path is
  // opened for writing, truncated (0; -1 when the open failed, the mode
  // then stays 1 with nothing open).
  int32_t SetPrintTo(std::string_view path);
  // Closes the file; mode 0.
  void Close() override;

  int32_t mode() const { return mode_; }

 private:
  int32_t mode_ = kClosed;
  FILE* file_ = nullptr;
};

// The default file of a line: "_stdout<line>.txt".
std::string DefaultPrintFile(int32_t line_no);

// The print output of the acting script of a compiling script, or null.
TStdOut* ActingPrintOutput(TagTelBasic& script);

// Registers "Print(" and "SetPrintTo(" and the print output's factory.
void RegisterPrintStatements();

}  // namespace engine

#endif  // VTTEL_ENGINE_PRINT_OUTPUT_H_
