#include "regex/limits.h"

#include <memory>
#include <mutex>
#include <string>
#include <utility>

namespace regex {

namespace {

std::mutex& LoggerMutex() {
  static std::mutex mu;
  return mu;
}

// Guarded by LoggerMutex(); a report takes a reference under the lock and
// calls it outside, so a slow logger never blocks SetLimitLogger for long.
std::shared_ptr<const LimitLogger>& CurrentLogger() {
  static std::shared_ptr<const LimitLogger> logger;
  return logger;
}

}  // namespace

std::string_view LimitName(LimitKind kind) {
  switch (kind) {
    case LimitKind::kNone: return "no";
    case LimitKind::kSteps: return "step";
    case LimitKind::kBacktrack: return "backtrack memory";
    case LimitKind::kCaptures: return "capture memory";
    case LimitKind::kStack: return "nesting depth";
    case LimitKind::kStopped: return "stop request";
  }
  return "unknown";
}

LimitLogger SetLimitLogger(LimitLogger logger) {
  std::shared_ptr<const LimitLogger> next;
  if (logger) next = std::make_shared<const LimitLogger>(std::move(logger));
  std::lock_guard<std::mutex> lock(LoggerMutex());
  std::shared_ptr<const LimitLogger> old = std::exchange(CurrentLogger(), next);
  return old ? *old : LimitLogger();
}

void ReportLimit(std::string_view what, std::string_view pattern) {
  std::shared_ptr<const LimitLogger> logger;
  {
    std::lock_guard<std::mutex> lock(LoggerMutex());
    logger = CurrentLogger();
  }
  if (!logger) return;
  std::string text = "regex: ";
  text.append(what);
  text.append(" limit reached, pattern \"");
  text.append(pattern.substr(0, kReportedPatternBytes));
  text.append(pattern.size() > kReportedPatternBytes ? "...\"" : "\"");
  (*logger)(text);
}

}  // namespace regex
