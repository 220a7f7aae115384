// One input of the compile fuzz target: a script text compiled by the
// main-script constructor (run mode 1) and, when it compiled, run by the
// run loop with a bounded number of steps.
//
// An input whose first byte is kMutateMarker is not a script itself: its
// second byte picks one of the sample scripts below and the rest drives
// line and token edits of that sample (so the control lines, braces and
// expressions stay near the shapes the compiler must take apart).
//
// An input whose first byte is kScrambleMarker is written in the scrambled
// form of the script files: bytes 1-4 are the header's value, the rest is
// the text (itself plain or marked for mutation). A plain input whose first
// byte is the scrambled mark is read as a scrambled file as it is.
//
// The script's trace keyword "ClearShareMem(" x builds a test statement
// that asks the line to quit after kTraceQuitAfter executions; a run
// observer asks it to quit after kStepLimit statements, so every run ends.
// Only the compiler, the expression compiler, script-function calls with
// "Eval(" (so that nesting reaches the depth limit) and that statement are
// installed: any other keyword does not compile.
//
// The caller's working folder receives the script "fuzz.vts" and the error
// file "errmsg0.txt": run it in a folder of its own. "#include" lines with
// a path (a '/', '\\' or ':' in the input) are skipped, so no script reads
// outside that folder (a device file would block the run).
//
// Used by fuzz/compile_fuzz.cc (libFuzzer) and by the smoke test of the
// ordinary test build; both call CompileFuzzOne on one thread.
#ifndef VTTEL_FUZZ_COMPILE_FUZZ_BODY_H_
#define VTTEL_FUZZ_COMPILE_FUZZ_BODY_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/control_compile.h"
#include "engine/line_call.h"
#include "engine/run_observer.h"
#include "engine/script_cache.h"
#include "engine/script_control.h"
#include "engine/statement_registry.h"
#include "engine/tel_basic.h"
#include "platform/message_service.h"

namespace compile_fuzz {

inline constexpr uint8_t kMutateMarker = 0xFF;
inline constexpr uint8_t kScrambleMarker = 0xFE;
inline constexpr size_t kScrambleValueBytes = 4;
inline constexpr int32_t kTraceQuitAfter = 64;
inline constexpr uint64_t kStepLimit = 20000;
inline constexpr size_t kMaxInput = 64 * 1024;
inline constexpr char kScriptName[] = "fuzz.vts";

// The sample scripts a marked input mutates.
inline const char* const kSamples[] = {
    "a = 1;\n"
    "b = a * 3 + 2;\n"
    "if(a > 0 && b != 4)\n"
    "{\n"
    "  ClearShareMem(b);\n"
    "}\n"
    "else if(b == 5)\n"
    "  ClearShareMem(a);\n"
    "else\n"
    "{\n"
    "  b = b - 1;\n"
    "}\n"
    "ClearShareMem(a + b);\n",

    "n = 0;\n"
    "while(n < 5)\n"
    "{\n"
    "  n = n + 1;\n"
    "  if(n == 2)\n"
    "    continue;\n"
    "  for(i = 0; i < n; i++)\n"
    "  {\n"
    "    if(i > 2)\n"
    "      break;\n"
    "    ClearShareMem(i);\n"
    "  }\n"
    "}\n"
    "ClearShareMem(n);\n",

    "s = 2;\n"
    "k = 0;\n"
    "while(k < 3)\n"
    "{\n"
    "  k++\n"
    "  switch(s)\n"
    "  {\n"
    "    case(1)\n"
    "    case(2)\n"
    "    {\n"
    "      ClearShareMem(k);\n"
    "      break;\n"
    "    }\n"
    "    default()\n"
    "    {\n"
    "      s = s + 1;\n"
    "    }\n"
    "  }\n"
    "}\n",

    "t = \"ab9\";\n"
    "c = 0;\n"
    "for(ch in t)\n"
    "{\n"
    "  c = c + 1;\n"
    "  ClearShareMem(ch);\n"
    "}\n"
    "m[1] = 5;\n"
    "m[\"x\"] = c;\n"
    "for(key in m)\n"
    "  ClearShareMem(key);\n"
    "m = m >> 1;\n"
    "x = m[\"x\"] * 2;\n"
    "ClearShareMem(x);\n",

    "const K = 7;\n"
    "/* a comment\n"
    "   over lines */\n"
    "function f(p, q)\n"
    "{\n"
    "  r = p + q;\n"
    "}\n"
    "v = K % 4; // note\n"
    "w = (v << 2) | 1 ^ K;\n"
    "if(!v)\n"
    "  v = -w;\n"
    "ClearShareMem(v);\n"
    "ClearShareMem(w);\n",
};
inline constexpr size_t kSampleCount = sizeof(kSamples) / sizeof(kSamples[0]);

// Pieces a mutation inserts.
inline const char* const kTokens[] = {
    "{", "}", "if(a)", "else", "else if(b)", "while(n < 2)", "for(i = 0; i < 2; i++)",
    "for(c in \"xy\")", "switch(s)", "case(1)", "default()", "break;", "continue;",
    "ClearShareMem(a);", "a = a + 1;", "b = a * (b - 1);", "x[1] = 2;", "function g(a)",
    "/*", "*/", "// c", "\"", "(", ")", ";", "=", "==", "&&", "||", "a", "1", "\xb0\xa1",
};
inline constexpr size_t kTokenCount = sizeof(kTokens) / sizeof(kTokens[0]);

// Executions of the trace statement in the run in progress.
inline int32_t trace_count = 0;

// "ClearShareMem(" x: counts its executions; the line quits after
// kTraceQuitAfter of them.
class TraceStatement : public engine::TagOper {
 public:
  TraceStatement(engine::TagVar* value, engine::TagTelBasic* script)
      : value_(value), script_(script) {}
  int32_t Execute() override {
    engine::TagTelBasic* main = script_->owner != nullptr ? script_->owner : script_;
    if (++trace_count >= kTraceQuitAfter) main->SetQuit(1);
    return value_->GetInt();
  }

 private:
  engine::TagVar* value_;
  engine::TagTelBasic* script_;
};

inline engine::TagOper* BuildTrace(const engine::StatementBuild& build, std::string* error) {
  if (build.args.size() != 1 || build.script == nullptr) {
    *error = "ClearShareMem: one argument";
    return nullptr;
  }
  return new TraceStatement(build.args[0], build.script);
}

// Quits the line after kStepLimit statements.
class Watchdog : public engine::RunObserver {
 public:
  void SetLineStatus(int32_t, std::string_view) override {}
  void OnStepMain(const engine::TagTelBasic& script, int32_t, std::string_view,
                  int32_t) override {
    Count(script);
  }
  void OnStepSub(const engine::TagTelBasic& script, int32_t, std::string_view, int32_t, bool,
                 bool) override {
    Count(script);
  }
  void RefreshDebugVars(const engine::TagTelBasic&) override {}

 private:
  void Count(const engine::TagTelBasic& script) {
    if (++steps_ < kStepLimit) return;
    const engine::TagTelBasic* main = script.owner != nullptr ? script.owner : &script;
    const_cast<engine::TagTelBasic*>(main)->SetQuit(1);
  }
  uint64_t steps_ = 0;
};

// Takes every message without showing or keeping it.
class QuietMessages : public platform::MessageService {
 public:
  void Show(const platform::Message&) override {}
  void OpenDocument(std::string_view) override {}
};

// A small deterministic reader of the mutation bytes.
class Bytes {
 public:
  Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool More() const { return pos_ < size_; }
  uint32_t Next() { return pos_ < size_ ? data_[pos_++] : 0; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// The sample picked by data[1], edited as the rest of data says: each
// edit is an operation byte and an argument byte.
inline std::string Mutate(const uint8_t* data, size_t size) {
  Bytes in(data + 2, size > 2 ? size - 2 : 0);
  const std::string_view sample = kSamples[(size > 1 ? data[1] : 0) % kSampleCount];
  std::vector<std::string> lines;
  for (size_t pos = 0; pos < sample.size();) {
    size_t end = sample.find('\n', pos);
    if (end == std::string_view::npos) end = sample.size();
    lines.emplace_back(sample.substr(pos, end - pos));
    pos = end + 1;
  }
  while (in.More() && !lines.empty()) {
    const uint32_t op = in.Next() % 7;
    const size_t at = in.Next() % lines.size();
    switch (op) {
      case 0: lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(at)); break;
      case 1: lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), lines[at]); break;
      case 2: std::swap(lines[at], lines[(at + 1) % lines.size()]); break;
      case 3:
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at),
                     kTokens[in.Next() % kTokenCount]);
        break;
      case 4: lines[at] += kTokens[in.Next() % kTokenCount]; break;
      case 5:
        if (!lines[at].empty()) {
          lines[at][in.Next() % lines[at].size()] = static_cast<char>(in.Next());
        }
        break;
      default:
        if (!lines[at].empty()) lines[at].erase(in.Next() % lines[at].size(), 1);
        break;
    }
  }
  std::string text;
  for (const std::string& line : lines) text.append(line).append("\n");
  return text;
}

// Installs the compiler and the trace statement (once per process).
inline void SetUpOnce() {
  static const bool done = [] {
    engine::RegisterStatementCompiler();
    engine::script_control_internal::RegisterCallStatements();
    engine::Statements().Register("ClearShareMem(", &BuildTrace);
    return true;
  }();
  (void)done;
}

inline bool HasPathInclude(std::string_view text) {
  if (text.find("include") == std::string_view::npos) return false;
  return text.find_first_of("/\\:") != std::string_view::npos;
}

// Compiles (and runs, when it compiled) one input. Returns 1 when the
// script compiled, 0 when it did not, -1 when the input was skipped.
inline int CompileFuzzOne(const uint8_t* data, size_t size) {
  if (size > kMaxInput) return -1;
  SetUpOnce();
  uint32_t scramble_value = 0;
  const bool scrambled = size > kScrambleValueBytes && data[0] == kScrambleMarker;
  if (scrambled) {
    for (size_t i = 0; i < kScrambleValueBytes; ++i) {
      scramble_value |= static_cast<uint32_t>(data[1 + i]) << (8 * i);
    }
    data += 1 + kScrambleValueBytes;
    size -= 1 + kScrambleValueBytes;
  }
  const std::string text = size > 0 && data[0] == kMutateMarker
                               ? Mutate(data, size)
                               : std::string(reinterpret_cast<const char*>(data), size);
  if (HasPathInclude(text)) return -1;
  const std::string file = scrambled ? engine::ScrambleScript(text, scramble_value) : text;
  FILE* f = std::fopen(kScriptName, "wb");
  if (f == nullptr) return -1;
  std::fwrite(file.data(), 1, file.size(), f);
  std::fclose(f);

  QuietMessages quiet;
  platform::ScopedMessageService scoped_messages(&quiet);
  engine::ScriptCache().Clear();
  engine::LineCallBase call;
  call.lineNo = 0;
  call.lineKind = engine::kLineE1;
  int compiled = 0;
  {
    auto script = std::make_unique<engine::TagTelBasic>(kScriptName, 0, &call, 1, nullptr);
    if (script->initResult == 0) {
      compiled = 1;
      trace_count = 0;
      Watchdog watchdog;
      engine::RunObserver* previous = engine::GetRunObserver();
      engine::SetRunObserver(&watchdog);
      script->Run();
      engine::SetRunObserver(previous);
    }
  }
  engine::ScriptCache().Clear();
  return compiled;
}

}  // namespace compile_fuzz

#endif  // VTTEL_FUZZ_COMPILE_FUZZ_BODY_H_
