// vtsrun: runs one script file on a virtual line, without the line drive.
//
//   vtsrun [--line N] [--check] [--timeout SECONDS] FILE
//
// The current folder is the program folder: "VtTelRun.cfg" there is read
// for its settings, and the log, "errmsg<N>.txt" and "_stdout<N>.txt" are
// written there. FILE is compiled as the main script of line N (default 0)
// in run mode 1, as the line threads compile, and run on a line thread of
// its own until the run ends.
//
// The line table of the tool holds only line N. Its count is N + 1, so that
// "_linesCount" reads N + 1 and every look-up of line N (message queues,
// inter-line calls) finds a line in range; no other line has a script.
// The line is a virtual line (kind 0) whose call object is never connected;
// its voice goes to the sound card that VTTEL_SOUND chooses.
//
// Exit status:
//   0  the run ended: the main script's "return(", or "Exit(" (the line is
//      stopped as the line drive stops it: an "OnSysQuit(" handler runs
//      first);
//   1  the script did not compile: "errmsg<N>.txt" is written as always and
//      its text, in UTF-8, goes to stderr;
//   2  bad usage;
//   3  the timeout (default 60 s, 0 none) passed: the line was stopped as
//      the line drive stops it (the statement in progress ends whatever it
//      waits in, an "OnSysQuit(" handler runs), and a run still going 5 s
//      later was ended without handlers.
//   4  a fault ended the run (script calls nested too deep, memory that
//      could not be had): its log line also goes to stderr, in UTF-8.
// --check compiles only, in run mode 0 (warnings are written too): 0
// without errors, 1 with errors.
//
// The log also receives the regular-expression engine's limit reports, as
// the program's log does.
//
// "Print(" writes "_stdout<N>.txt" (CR LF line ends) as on every line;
// after "SetPrintTo("") the prints go to stdout as "<N> : <text>", in the
// system's bytes (GBK), with LF line ends.

#include <atomic>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "engine/client_libraries.h"
#include "engine/control_compile.h"
#include "engine/line_call.h"
#include "telephony/board/vir_call.h"
#include "telephony/name_conf.h"
#include "telephony/vt_call.h"
#include "telephony/voice/wave_pc_voice.h"
#include "engine/tel_basic.h"
#include "engine/timers.h"
#include "frame/log.h"
#include "frame/log_writer.h"
#include "frame/run_cfg.h"
#include "platform/codepage.h"
#include "platform/file_ops.h"
#include "platform/host_path.h"
#include "platform/memory_reserve.h"
#include "platform/process_signals.h"
#include "platform/thread.h"
#include "regex/limits.h"
#include "services/process_stores.h"
#include "services/service_statements.h"
#include "telephony/statements/telephony_statements.h"

#if __has_include("engine/script_control.h")
#include "engine/script_control.h"
#define VTSRUN_HAS_SCRIPT_CONTROL 1
#endif

namespace {

constexpr const char* kCfgFileName = "VtTelRun.cfg";
constexpr const char* kUsage = "usage: vtsrun [--line N] [--check] [--timeout SECONDS] FILE\n";

constexpr int kExitOk = 0;
constexpr int kExitCompileError = 1;
constexpr int kExitUsage = 2;
constexpr int kExitTimeout = 3;
constexpr int kExitRunFault = 4;

constexpr double kDefaultTimeoutSeconds = 60;
// After the timeout's quit request: how long the handlers may take before
// the run is ended without them, and how long that end may take before the
// tool gives up on the line thread.
constexpr uint32_t kQuitGraceMs = 5000;
constexpr uint32_t kEndRunGraceMs = 5000;
constexpr uint32_t kQuitRepeatMs = 50;

struct Options {
  int32_t line = 0;
  bool check = false;
  double timeoutSeconds = kDefaultTimeoutSeconds;
  std::string file;
};

// The line table of the tool: line N alone, counted as N + 1 lines; the
// stores of line N are those of its script once it is attached.
class OneLineTable : public engine::LineTableFacts {
 public:
  explicit OneLineTable(int32_t line) : line_(line) {}
  int32_t LineCount() const override { return line_ + 1; }
  std::shared_ptr<engine::ScriptStore> LineStore(int32_t line,
                                                 engine::StoreSlot slot) const override {
    const engine::TagTelBasic* script = script_.load(std::memory_order_acquire);
    if (line != line_ || script == nullptr || script->initResult != 0) return nullptr;
    return script->SharedStore(slot);
  }
  // The compiled script of the line (null: none); it must stay attached no
  // longer than it lives.
  void Attach(const engine::TagTelBasic* script) {
    script_.store(script, std::memory_order_release);
  }

 private:
  int32_t line_;
  std::atomic<const engine::TagTelBasic*> script_{nullptr};
};

bool ParseLine(std::string_view text, int32_t* line) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, *line);
  return ec == std::errc() && ptr == end && *line >= 0 && *line < INT32_MAX;
}

bool ParseSeconds(std::string_view text, double* seconds) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, *seconds);
  return ec == std::errc() && ptr == end && *seconds >= 0 && *seconds < 4.0e6;
}

bool ParseOptions(int argc, char** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--check") {
      options->check = true;
    } else if (arg == "--line") {
      if (++i >= argc || !ParseLine(argv[i], &options->line)) return false;
    } else if (arg == "--timeout") {
      if (++i >= argc || !ParseSeconds(argv[i], &options->timeoutSeconds)) return false;
    } else if (arg.starts_with("-") || !options->file.empty() || arg.empty()) {
      return false;
    } else {
      options->file = arg;
    }
  }
  return !options->file.empty();
}

void OpenLog(const frame::TagRunCfg& cfg) {
  frame::OpenProcessLog(std::make_unique<frame::TagWriteLog>(
      cfg.log_file, static_cast<uint32_t>(cfg.log_size), cfg.immediate_log != 0,
      cfg.log_level <= 0));
}

// The error file of the line, converted to UTF-8, on stderr.
void CopyErrorFileToStderr(int32_t line) {
  FILE* f = platform::OpenHostFile(engine::ErrorFileName(line), "rb");
  if (f == nullptr) {
    std::fprintf(stderr, "vtsrun: the script did not compile (no %s)\n",
                 engine::ErrorFileName(line).c_str());
    return;
  }
  std::string gbk;
  char buf[4096];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) gbk.append(buf, n);
  std::fclose(f);
  const std::string utf8 = platform::GbkToUtf8(gbk);
  std::fwrite(utf8.data(), 1, utf8.size(), stderr);
  std::fflush(stderr);
}

void RegisterStatements() {
  engine::RegisterStatementCompiler();
  engine::RegisterTimerAndPrintStatements();
  services::RegisterServiceStatements();
  services::InstallProcessStores();
  telephony::RegisterTelephonyStatements();
#ifdef VTSRUN_HAS_SCRIPT_CONTROL
  engine::RegisterScriptControlStatements();
#endif
}

// The exit hook: "Exit(" asks for the program's shutdown, which for the tool
// is the stop of its one line (an "OnSysQuit(" handler then runs).
std::atomic<engine::TagTelBasic*> exiting_script{nullptr};

#ifdef VTSRUN_HAS_SCRIPT_CONTROL
void OnScriptExit(int32_t) {
  if (engine::TagTelBasic* script = exiting_script.load()) script->RequestStop();
}
#endif

void InstallExitHook(engine::TagTelBasic* script) {
  exiting_script.store(script);
#ifdef VTSRUN_HAS_SCRIPT_CONTROL
  engine::SetExitHandler(script != nullptr ? &OnScriptExit : nullptr);
#endif
}

// Runs the script on a line thread; the main thread keeps the timeout.
// Returns true when the timeout passed.
bool RunWithTimeout(engine::TagTelBasic& script, engine::LineCallBase& call, double seconds) {
  platform::Thread run;
  const bool started = run.Start("vtsrun line", platform::kLineThreadStackBytes,
                                 [&script] { script.Run(); });
  if (!started) {
    std::fprintf(stderr, "vtsrun: cannot start the line thread\n");
    std::exit(kExitUsage);
  }
  if (seconds == 0) {
    run.Join();
    return false;
  }
  if (run.JoinFor(static_cast<uint32_t>(seconds * 1000.0))) return false;
  frame::LogAlwaysF("vtsrun: %g s passed, quit request", seconds);
  // The request is repeated until the run ends: a run that was just starting
  // clears it once.
  for (uint32_t waited = 0; waited < kQuitGraceMs; waited += kQuitRepeatMs) {
    script.RequestStop();
    if (run.JoinFor(kQuitRepeatMs)) return true;
  }
  frame::LogAlways("vtsrun: the run goes on after the quit request, ended");
  script.stopped.store(1);
  script.RequestEndRun();
  call.stopFlag.store(1);
  if (run.JoinFor(kEndRunGraceMs)) return true;
  std::fprintf(stderr, "vtsrun: the line thread does not end; giving up\n");
  frame::CloseProcessLog();
  std::fflush(stdout);
  std::_Exit(kExitTimeout);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  platform::IgnoreBrokenPipe();
  platform::InstallMemoryReserve();

  frame::TagRunCfg& cfg = frame::RunCfg();
  if (platform::ScriptFileExists(kCfgFileName)) frame::ReadCfgFile(kCfgFileName, &cfg);
  OpenLog(cfg);
  // A search stopped by a limit of the regular-expression engine is logged,
  // as the program logs it.
  regex::SetLimitLogger([](std::string_view text) { frame::LogAlways(text); });
  RegisterStatements();
  engine::LoadClientLibraries();
  OneLineTable table(options.line);
  engine::SetLineTableFacts(&table);
  telephony::TagNameConfCtrl rooms;  // the line's meeting rooms
  telephony::InstallNameConfCtrl(&rooms);

  // The line is a virtual line without a card: it plays and records on the
  // sound card that VTTEL_SOUND chooses, and finds no other line to link.
  const telephony::InstalledPcVoice pc_voice;
  telephony::TagVirCall call(options.line, nullptr);

  int status = kExitOk;
  {
    auto script = std::make_unique<engine::TagTelBasic>(options.file, options.line, &call,
                                                        options.check ? 0 : 1, nullptr);
    if (script->initResult != 0 || script->compileState.errorCount > 0) {
      CopyErrorFileToStderr(options.line);
      status = kExitCompileError;
    } else if (!options.check) {
      table.Attach(script.get());
      InstallExitHook(script.get());
      if (RunWithTimeout(*script, call, options.timeoutSeconds)) {
        status = kExitTimeout;
      } else if (!script->runError.empty()) {
        std::fprintf(stderr, "vtsrun: %s\n", platform::GbkToUtf8(script->runError).c_str());
        status = kExitRunFault;
      }
      InstallExitHook(nullptr);
      table.Attach(nullptr);
    }
    // The run is over: the line's temporary play files go with it.
    script->LeaveLine();
  }
  engine::SetLineTableFacts(nullptr);
  telephony::InstallNameConfCtrl(nullptr);
  engine::FreeClientLibraries();
  frame::CloseProcessLog();
  std::fflush(stdout);
  return status;
}
