#include "services/system_statements.h"

#include <algorithm>

#include "engine/arguments.h"
#include "engine/statement_args.h"
#include "engine/tel_basic.h"
#include "frame/monitor.h"
#include "platform/memory_counters.h"
#include "platform/process.h"
#include "services/memory_report.h"

namespace services {

using engine::ArgsStatement;
using engine::BuildStatement;
using engine::StatementBuild;

namespace {

// The longest "Exec(" wait, in ms (what one wait call can take).
constexpr int64_t kMaxExecWaitMs = UINT32_MAX;
constexpr int64_t kMsPerSecond = 1000;

enum ExecResult : int32_t {
  kExecNotStarted = -1,
  kExecEnded = 0,
  kExecKilled = 1,
  kExecRunsOn = 2,
};

// The line number of a statement's script; -1 without a script.
int32_t LineOf(const ArgsStatement& s) {
  engine::TagTelBasic* script = s.Compiling();
  return script != nullptr ? script->MainScript()->lineNo : -1;
}

// "DispInfo(" (user cell 0-2, value).
class TagDispInfo : public ArgsStatement {
 public:
  explicit TagDispInfo(const StatementBuild& b) : ArgsStatement(b) {}
  int32_t Execute() override {
    const int32_t line = LineOf(*this);
    if (line < 0) return -1;
    Argument(1).ToText(text_, /*quote=*/false);
    return frame::SetLineUserInfo(line, Argument(0).GetInt(), text_);
  }

 private:
  std::string text_;
};

// "SetDispColor(" (foreground, background colour index).
class TagSetDispColor : public ArgsStatement {
 public:
  explicit TagSetDispColor(const StatementBuild& b) : ArgsStatement(b) {}
  int32_t Execute() override {
    const int32_t line = LineOf(*this);
    if (line >= 0) frame::SetLineUserColor(line, Argument(0).GetInt(), Argument(1).GetInt());
    return 0;
  }
};

// "Exec(" (command line, wait in seconds, flag and exit-code variable).
class TagExec : public ArgsStatement {
 public:
  explicit TagExec(const StatementBuild& b) : ArgsStatement(b) {}
  int32_t Execute() override {
    std::unique_ptr<platform::ChildProcess> child =
        platform::ChildProcess::Start(engine::ArgText(Argument(0)));
    if (child == nullptr) return kExecNotStarted;
    const int64_t wait_ms =
        std::min<int64_t>(int64_t{Argument(1).GetInt()} * kMsPerSecond, kMaxExecWaitMs);
    if (wait_ms <= 0) return kExecRunsOn;
    engine::TagTelBasic* context = Compiling() != nullptr ? Compiling()->GetRunContext() : nullptr;
    int exit_code = 0;
    switch (child->Wait(static_cast<uint32_t>(wait_ms),
                        context != nullptr ? &context->stopped : nullptr, &exit_code)) {
      case platform::ChildProcess::WaitEnd::kEnded:
        Argument(2).AssignInt(exit_code);
        return kExecEnded;
      case platform::ChildProcess::WaitEnd::kStopped:
        return kExecRunsOn;
      case platform::ChildProcess::WaitEnd::kTimedOut:
        break;
    }
    if (Argument(2).GetInt() == 0) return kExecRunsOn;
    child->Kill();
    return kExecKilled;
  }
};

// "GetMemInfo(" (working set, peak working set, page file, peak page file).
class TagGetMemInfo : public ArgsStatement {
 public:
  explicit TagGetMemInfo(const StatementBuild& b) : ArgsStatement(b) {}
  int32_t Execute() override {
    const platform::MemoryCounters c = platform::ReadMemoryCounters();
    const int32_t working = ClampMemoryCounter(c.workingSetKib, "working set");
    Argument(0).AssignInt(working);
    Argument(1).AssignInt(ClampMemoryCounter(c.peakWorkingSetKib, "peak working set"));
    Argument(2).AssignInt(ClampMemoryCounter(c.pageFileKib, "page file"));
    Argument(3).AssignInt(ClampMemoryCounter(c.peakPageFileKib, "peak page file"));
    return working;
  }
};

}  // namespace

void RegisterSystemStatements() {
  engine::StatementRegistry& r = engine::Statements();
  r.Register("DispInfo(", &BuildStatement<TagDispInfo>);
  r.Register("SetDispColor(", &BuildStatement<TagSetDispColor>);
  r.Register("Exec(", &BuildStatement<TagExec>);
  r.Register("GetMemInfo(", &BuildStatement<TagGetMemInfo>);
}

}  // namespace services
