// The named limits of the regular-expression engine and the hook through
// which it reports a limit that was reached.
//
// Compiling never fails and matching has no error results: a pattern nested
// deeper than kMaxGroupNesting compiles with the part beyond the limit as an
// element that never matches, and a search that runs out of steps, memory or
// stack fails as if nothing matched. Each such event is reported as one text
// line through the limit logger, so a line thread is never held and the
// operator still learns why a match failed. The regex library sits below the
// frame and has no log of its own; the frame connects the logger to its log.
//
// Thread rules: SetLimitLogger and the reports may be called from any thread;
// the logger itself must be thread-safe.
#ifndef VTTEL_REGEX_LIMITS_H_
#define VTTEL_REGEX_LIMITS_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

namespace regex {

// Parser: groups nested deeper than this become an element that never matches.
constexpr int kMaxGroupNesting = 100;
// Matcher: node steps one search may take (all start positions together):
// kMaxSteps, and kStepsPerTextByte more for every byte of the text, so a
// plain scan of a long line is never cut short.
constexpr int64_t kMaxSteps = 10'000'000;
constexpr int64_t kStepsPerTextByte = 16;
// Matcher: steps between two looks at the line's stop request.
constexpr int kStopPollSteps = 4096;
// Matcher: entries of the backtrack stack (4 bytes each).
constexpr size_t kMaxBacktrackEntries = size_t{8} << 20;
// Matcher: capture records (20 bytes each); a group repeated over a 1 MB
// line needs one per repetition.
constexpr size_t kMaxCaptureRecords = size_t{2} << 20;
// Matcher: native stack the nested node calls may use; a line thread has
// 512 KiB, and the script engine above the matcher keeps the rest.
constexpr size_t kMaxMatchStackBytes = 192 * 1024;
// Replace: the longest text it assembles (a script value's limit, 2^31 - 2
// bytes). The length is counted in 64 bits before anything is assembled; a
// longer result fails instead.
constexpr int64_t kMaxReplaceBytes = INT32_MAX - 1;
// Longest piece of a pattern quoted in a limit report.
constexpr size_t kReportedPatternBytes = 64;

// What stopped a search before it could decide.
enum class LimitKind {
  kNone,
  kSteps,        // kMaxSteps (or the context's own budget) used up
  kBacktrack,    // backtrack stack full
  kCaptures,     // capture stack full
  kStack,        // nested node calls (recursion, deep nesting) too deep
  kStopped,      // the line's stop request was raised (not reported)
};

// The text of a kind for reports ("steps", "backtrack memory", ...).
std::string_view LimitName(LimitKind kind);

// Installs the function that receives limit reports (an empty function
// drops them, the default). Returns the previous logger.
using LimitLogger = std::function<void(std::string_view)>;
LimitLogger SetLimitLogger(LimitLogger logger);

// Sends one report: "regex: <what> limit reached, pattern \"<pattern cut to
// kReportedPatternBytes>\"" (and "..." when cut).
void ReportLimit(std::string_view what, std::string_view pattern);

}  // namespace regex

#endif  // VTTEL_REGEX_LIMITS_H_
