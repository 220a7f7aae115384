// Running script text on a given call object in a test, and a call object
// that records what the statements ask of it.
//
// ScriptOnLine writes the text to a file in the current folder and
// compiles it as the main script of the call's line in run mode 1, as the
// line threads compile, with the statement compiler and the script-control
// statements installed ("return(" ends a run). The test registers the
// statement families its text uses. The run goes on the test's thread
// (RunHere) or on a thread of its own with a bounded wait (Start / Wait);
// a run that outlives its wait is stopped. The line compiler is removed
// again when the object goes.
//
// RecordingCall is a TagVtCall whose operations append "Name(arg,...)" to
// ops and give `result`; the numbers and keys it hands out are fields the
// test sets.
#ifndef VTTEL_TESTS_TELEPHONY_SCRIPT_ON_LINE_H_
#define VTTEL_TESTS_TELEPHONY_SCRIPT_ON_LINE_H_

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/control_compile.h"
#include "engine/expression_hook.h"
#include "engine/script_cache.h"
#include "engine/script_control.h"
#include "engine/tel_basic.h"
#include "telephony/vt_call.h"
#include "tests/test_support.h"

namespace telephony {

class ScriptOnLine {
 public:
  // How long a stopped run may take to end.
  static constexpr auto kStopGrace = std::chrono::seconds(5);

  ScriptOnLine(const std::string& text, engine::LineCallBase& call,
               const std::string& file = "line.vts")
      : call_(call) {
    engine::RegisterStatementCompiler();
    engine::RegisterScriptControlStatements();
    engine::ScriptCache().Clear();
    testing_support::WriteFile(file, text);
    script_ = std::make_unique<engine::TagTelBasic>(file, call.lineNo, &call, 1, nullptr);
  }
  ~ScriptOnLine() {
    if (run_.valid() && !Wait(0)) ADD_FAILURE() << "the script was still running";
    script_.reset();
    engine::SetLineCompiler(nullptr);
    engine::SetExpressionCompiler(nullptr);
  }
  ScriptOnLine(const ScriptOnLine&) = delete;
  ScriptOnLine& operator=(const ScriptOnLine&) = delete;

  engine::TagTelBasic& script() { return *script_; }
  bool compiled() const {
    return script_->initResult == 0 && script_->compileState.errorCount == 0;
  }
  // The line's error file ("" when none was written).
  std::string Errors() const {
    return testing_support::ReadFile(engine::ErrorFileName(call_.lineNo)).value_or("");
  }

  // Runs the script to its end on this thread: its result.
  int32_t RunHere() { return script_->Run(); }
  // Starts the run on a thread of its own.
  void Start() {
    run_ = std::async(std::launch::async, [this] { return script_->Run(); });
  }
  // The run's result when it ends within timeout_ms; otherwise the run is
  // stopped and std::nullopt returned.
  std::optional<int32_t> Wait(int timeout_ms) {
    if (run_.wait_for(std::chrono::milliseconds(timeout_ms)) == std::future_status::ready) {
      return run_.get();
    }
    script_->SetQuit(1);
    script_->stopped.store(1);
    script_->RequestEndRun();
    call_.stopFlag.store(1);
    if (run_.wait_for(kStopGrace) == std::future_status::ready) run_.get();
    return std::nullopt;
  }

  // Waits at most timeout_ms until the run is at statement index (the
  // statement's place in the script, from 0): true when it got there.
  bool WaitForStatement(int32_t index, int timeout_ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (script_->currentIndex.load() != index) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }

  // A variable of the script: its text form, "(none)" when there is none.
  std::string Text(std::string_view name) {
    engine::TagVar* v = nullptr;
    script_->FindVariable(name, &v);
    return v != nullptr ? v->ToText() : "(none)";
  }
  int32_t Int(std::string_view name) {
    engine::TagVar* v = nullptr;
    script_->FindVariable(name, &v);
    return v != nullptr ? v->GetInt() : INT32_MIN;
  }

 private:
  engine::LineCallBase& call_;
  std::unique_ptr<engine::TagTelBasic> script_;
  std::future<int32_t> run_;
};

class RecordingCall : public TagVtCall {
 public:
  std::vector<std::string> ops;
  int32_t result = 0;       // what every recorded operation gives
  std::string number;       // handed out by Get...Id and IsRinging (first)
  std::string called;       // handed out by IsRinging (second)
  std::string keys;         // handed out by GetKeys

  void SetCallerId(std::string_view n) override { Note("SetCallerId", {n}); }
  void SetSubAddr(std::string_view a, std::string_view b) override { Note("SetSubAddr", {a, b}); }
  void SetFirstCalleeId(std::string_view t, int32_t v) override {
    Note("SetFirstCalleeId", {t, std::to_string(v)});
  }
  void OpenLine() override { Note("OpenLine", {}); }
  void CloseLine() override { Note("CloseLine", {}); }
  void ClearKeys() override { Note("ClearKeys", {}); }
  int32_t OutCall(std::string_view n) override { return Note("OutCall", {n}); }
  int32_t WaitRing(int32_t r) override { return Note("WaitRing", {std::to_string(r)}); }
  int32_t IsRings(int32_t r) override { return Note("IsRings", {std::to_string(r)}); }
  int32_t SetCharge(int32_t f) override { return Note("SetCharge", {std::to_string(f)}); }
  int32_t Answer(int32_t f) override { return Note("Answer", {std::to_string(f)}); }
  int32_t IsRinging(std::string& a, std::string& b) override {
    a = number;
    b = called;
    return Note("IsRinging", {});
  }
  int32_t Play(std::string_view file, int32_t brk, int32_t pc) override {
    return Note("Play", {file, std::to_string(brk), std::to_string(pc)});
  }
  int32_t GetKeys(std::string& buffer, int32_t max, int32_t total,
                  std::string_view end_keys) override {
    buffer = keys;
    return Note("GetKeys", {std::to_string(max), std::to_string(total), end_keys});
  }
  int32_t SetKeyTime(int32_t s) override {
    TagVtCall::SetKeyTime(s);
    return Note("SetKeyTime", {std::to_string(s)});
  }
  int32_t SetKeys(std::string_view d) override { return Note("SetKeys", {d}); }
  int32_t KeysLen() override { return Note("KeysLen", {}); }
  void Hangup() override {
    Note("Hangup", {});
    TagVtCall::Hangup();
  }
  int32_t GetCallerId(std::string& n) override { return Give("GetCallerId", n); }
  int32_t GetCalleeId(std::string& n) override { return Give("GetCalleeId", n); }
  int32_t GetFirstCalleeId(std::string& n) override { return Give("GetFirstCalleeId", n); }
  int32_t SetNobkringAns(int32_t f) override { return Note("SetNobkringAns", {std::to_string(f)}); }
  int32_t Dial(std::string_view n) override { return Note("Dial", {n}); }
  int32_t CheckDial() override { return Note("CheckDial", {}); }
  int32_t MakeRing(std::string_view n) override { return Note("MakeRing", {n}); }
  int32_t GetHookState() override { return Note("GetHookState", {}); }
  int32_t TransferTo(std::string_view n) override {
    Note("TransferTo", {n});
    return TagVtCall::TransferTo(n);
  }
  // The link operations; GetLinkList hands out linkList and gives linkGroup.
  int32_t LinkTo(int32_t l, int32_t m) override { return NoteInts("LinkTo", {l, m}); }
  int32_t ListenTo(int32_t l, int32_t m) override { return NoteInts("ListenTo", {l, m}); }
  int32_t UnlinkTo(int32_t l, int32_t m) override { return NoteInts("UnlinkTo", {l, m}); }
  int32_t UnlinkAll() override { return Note("UnlinkAll", {}); }
  int32_t GetLinkList(std::vector<int32_t>& lines, std::vector<int32_t>& listen,
                      std::vector<int32_t>& values) override {
    lines = linkList[0];
    listen = linkList[1];
    values = linkList[2];
    Note("GetLinkList", {});
    return linkGroup;
  }
  // The meeting-room operations; a room gets session roomSession and every
  // recording or play the id mediaId.
  int32_t CreateConfRoom(int32_t& is_sip, int32_t& session) override {
    is_sip = 0;
    session = roomSession;
    return Note("CreateConfRoom", {});
  }
  int32_t JoinConfRoom(int32_t s, int32_t sip, int32_t l) override {
    return NoteInts("JoinConfRoom", {s, sip, l});
  }
  int32_t ExitConfRoom(int32_t s, int32_t sip) override {
    return NoteInts("ExitConfRoom", {s, sip});
  }
  int32_t CloseConfRoom(int32_t s, int32_t sip) override {
    return NoteInts("CloseConfRoom", {s, sip});
  }
  int32_t StartConfRecord(int32_t s, int32_t sip, std::string_view f, int32_t& id) override {
    id = mediaId;
    return Note("StartConfRecord", {std::to_string(s), std::to_string(sip), f});
  }
  int32_t StartConfChRecord(int32_t m, std::string_view f, int32_t& id) override {
    id = mediaId;
    return Note("StartConfChRecord", {std::to_string(m), f});
  }
  int32_t StartConfPlay(int32_t s, int32_t sip, std::string_view f, int32_t& id) override {
    id = mediaId;
    return Note("StartConfPlay", {std::to_string(s), std::to_string(sip), f});
  }
  int32_t IsConfPlayEnd(int32_t s, int32_t sip, int32_t id) override {
    NoteInts("IsConfPlayEnd", {s, sip, id});
    return 1;
  }
  int32_t StopConfPlay(int32_t s, int32_t sip, int32_t id) override {
    return NoteInts("StopConfPlay", {s, sip, id});
  }

  std::vector<int32_t> linkList[3];  // lines, listen flags, modes
  int32_t linkGroup = -1;
  int32_t roomSession = 0;
  int32_t mediaId = 0;

  void TraceLog(std::string_view text) override { traces.emplace_back(text); }
  void ErrorLog(std::string_view text) override { errors.emplace_back(text); }

  std::vector<std::string> traces, errors;

  // The recorded operations joined by " ".
  std::string Ops() const {
    std::string all;
    for (const std::string& op : ops) all += (all.empty() ? "" : " ") + op;
    return all;
  }

 private:
  int32_t NoteInts(const char* name, std::initializer_list<int32_t> values) {
    std::vector<std::string> texts;
    for (int32_t v : values) texts.push_back(std::to_string(v));
    return Note(name, std::vector<std::string_view>(texts.begin(), texts.end()));
  }
  int32_t Note(const char* name, std::vector<std::string_view> args) {
    std::string op = std::string(name) + "(";
    for (size_t i = 0; i < args.size(); ++i) op += (i ? "," : "") + std::string(args[i]);
    ops.push_back(op + ")");
    return result;
  }
  int32_t Give(const char* name, std::string& out) {
    out = number;
    return Note(name, {});
  }
};

}  // namespace telephony

#endif  // VTTEL_TESTS_TELEPHONY_SCRIPT_ON_LINE_H_
