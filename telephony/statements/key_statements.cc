#include "telephony/statements/key_statements.h"

#include <algorithm>

#include "engine/arguments.h"
#include "engine/statement_args.h"
#include "engine/tel_basic.h"
#include "frame/monitor.h"
#include "platform/clock.h"
#include "telephony/statements/call_statements.h"
#include "telephony/vt_call.h"
#include "telephony/voice/voice_path.h"

namespace telephony {

using engine::Arg;
using engine::ArgInt;
using engine::ArgStoredInt;
using engine::ArgText;
using engine::BuildStatement;
using engine::StatementBuild;
using engine::TagTelBasic;
using engine::TagVar;

void SwapStarPoint(std::string& keys, bool star_to_point) {
  const char from = star_to_point ? '*' : '.';
  const char to = star_to_point ? '.' : '*';
  std::replace(keys.begin(), keys.end(), from, to);
}

size_t KeysRoom(int32_t max_keys) {
  return max_keys > 0 ? static_cast<size_t>(max_keys) : kDefaultKeysRoom;
}

CellTake LookAtKeysCell(std::string_view cell, int32_t max_keys, char end_key) {
  CellTake take;
  if (end_key != 0) {
    std::string terminators{end_key, '#'};
    if (end_key == '*' || end_key == '.') terminators += "*.";
    const size_t at = cell.find_first_of(terminators);
    if (at != std::string_view::npos) {
      take.ended = true;
      take.taken = at + 1;
      take.keys.assign(cell.substr(0, cell[at] == '#' ? at : at + 1));
      return take;
    }
  }
  const size_t max = max_keys > 0 ? static_cast<size_t>(max_keys) : 0;
  if (cell.size() >= max) {
    take.ended = true;
    take.taken = max;
    take.keys.assign(cell.substr(0, max));
  }
  return take;
}

namespace {

// The end keys the call object's GetKeys takes: the script's end key, or
// none.
std::string EndKeys(const TagTelBasic& script) {
  return script.keyTerminator != 0 ? std::string(1, script.keyTerminator) : std::string();
}

bool StopRequested(const TagTelBasic& script, const TagVtCall& call) {
  return script.stopped.load(std::memory_order_relaxed) != 0 ||
         call.stopFlag.load(std::memory_order_relaxed) != 0;
}

// True when more than seconds (above 0) have passed from since to now.
bool Passed(uint32_t now, uint32_t since, int32_t seconds) {
  return seconds > 0 && static_cast<int64_t>(now - since) > static_cast<int64_t>(seconds) * 1000;
}

// --- collecting keys --------------------------------------------------------------

// "GetKeys(" on a board line (keys variable, maximum: stored integer, total
// time-out in seconds: stored integer). The call object collects the keys
// by its inter-key time-out and end-key rules; the statement keeps at most
// KeysRoom(maximum) of them. A failure plays the script's time-out voice
// (not cut short by keys) and hangs up.
class TagGetKeys : public LineStatement {
 public:
  explicit TagGetKeys(const StatementBuild& b)
      : LineStatement(b), keys_(Arg(b, 0)), max_(Arg(b, 1)), total_(Arg(b, 2)) {}
  int32_t Execute() override {
    TagVtCall* call = Call();
    if (call == nullptr) return kNoCallObject;
    TagTelBasic& script = *Acting();
    const int32_t max = ArgStoredInt(*max_);
    std::string keys;
    int32_t r = call->GetKeys(keys, max, ArgStoredInt(*total_), EndKeys(script));
    const size_t room = KeysRoom(max);
    if (keys.size() > room) keys.resize(room);
    if (r > 0 && static_cast<size_t>(r) > room) r = static_cast<int32_t>(room);
    if (r < 0 && !script.timeoutVoice.empty()) {
      call->Play(ResolveVoicePath(script, script.timeoutVoice), 0, 0);
      call->Hangup();
    }
    SwapStarPoint(keys, script.starToPoint != 0);
    keys_->AssignString(keys);
    return r;
  }

 private:
  TagVar* keys_;
  TagVar* max_;
  TagVar* total_;
};

// "PcGetKeys(" and "GetKeys(" on a virtual line (keys variable, maximum:
// stored integer, total time-out in seconds: stored integer): polls the
// line's Keys cell until a terminator or the maximum ends the input
// (LookAtKeysCell), the inter-key or total time-out passes, the script is
// stopped or the call is released. What is taken leaves the front of the
// cell (keys typed meanwhile stay behind it).
class TagPcGetKeys : public LineStatement {
 public:
  explicit TagPcGetKeys(const StatementBuild& b)
      : LineStatement(b), keys_(Arg(b, 0)), max_(Arg(b, 1)), total_(Arg(b, 2)) {}
  int32_t Execute() override {
    TagVtCall* call = Call();
    if (call == nullptr) return Fail(kKeysStopped);
    TagTelBasic& script = *Acting();
    const int32_t max = ArgStoredInt(*max_);
    const int32_t total = ArgStoredInt(*total_);
    platform::Clock& clock = platform::GetClock();
    const uint32_t start = clock.TickCount();
    uint32_t last_key = start;
    size_t longest = 0;
    while (!StopRequested(script, *call)) {
      call->IsOnline();
      if (call->callState.load(std::memory_order_relaxed) == engine::kCallReleased) break;
      const std::string cell = frame::GetLineKeys(script.lineNo);
      CellTake take = LookAtKeysCell(cell, max, script.keyTerminator);
      if (take.ended && Take(script.lineNo, cell, take.taken)) {
        SwapStarPoint(take.keys, script.starToPoint != 0);
        keys_->AssignString(take.keys);
        return static_cast<int32_t>(take.taken);
      }
      const uint32_t now = clock.TickCount();
      if (cell.size() > longest) {
        longest = cell.size();
        last_key = now;
      }
      if (Passed(now, last_key, call->keyTime) || Passed(now, start, total)) {
        return Fail(kKeysTimeout);
      }
      clock.Sleep(kPcKeysPollMs);
    }
    return Fail(kKeysStopped);
  }

 private:
  // Takes n characters off the front of the cell, unless it changed since
  // it was read as cell.
  static bool Take(int line, std::string_view cell, size_t n) {
    return n == 0 || frame::TakeLineKeysPrefix(line, cell.substr(0, n));
  }
  int32_t Fail(int32_t result) {
    keys_->AssignString("");
    return result;
  }

  TagVar* keys_;
  TagVar* max_;
  TagVar* total_;
};

// "ClearKeys(".
class TagClearKeys : public LineStatement {
 public:
  explicit TagClearKeys(const StatementBuild& b) : LineStatement(b) {}
  int32_t Execute() override {
    if (TagVtCall* call = Call()) call->ClearKeys();
    return 0;
  }
};

// "SetKeyTime(" (seconds: integer).
class TagSetKeyTime : public LineStatement {
 public:
  explicit TagSetKeyTime(const StatementBuild& b) : LineStatement(b), seconds_(Arg(b, 0)) {}
  int32_t Execute() override {
    if (TagVtCall* call = Call()) call->SetKeyTime(ArgInt(*seconds_));
    return 0;
  }

 private:
  TagVar* seconds_;
};

// "SetKeys(" (keys: text): sends the keys as DTMF.
class TagSetKeys : public LineStatement {
 public:
  explicit TagSetKeys(const StatementBuild& b) : LineStatement(b), keys_(Arg(b, 0)) {}
  int32_t Execute() override {
    TagVtCall* call = Call();
    return call != nullptr ? call->SetKeys(ArgText(*keys_)) : kNoCallObject;
  }

 private:
  TagVar* keys_;
};

// "KeysLen(" (variable).
class TagKeysLen : public LineStatement {
 public:
  explicit TagKeysLen(const StatementBuild& b) : LineStatement(b), dest_(Arg(b, 0)) {}
  int32_t Execute() override {
    TagVtCall* call = Call();
    if (call == nullptr) return kNoCallObject;
    const int32_t n = call->KeysLen();
    dest_->AssignInt(n);
    return n;
  }

 private:
  TagVar* dest_;
};

// "PcSetKeys(" (line: integer, keys: any value as text).
class TagPcSetKeys : public LineStatement {
 public:
  explicit TagPcSetKeys(const StatementBuild& b)
      : LineStatement(b), line_(Arg(b, 0)), keys_(Arg(b, 1)) {}
  int32_t Execute() override {
    frame::DispKeys(ArgInt(*line_), engine::ArgConvertedText(*keys_));
    return 0;
  }

 private:
  TagVar* line_;
  TagVar* keys_;
};

// --- settings of the script ----------------------------------------------------

// "SetEndKey(" (key: text): its first character; an empty text turns the
// end key off.
class TagSetEndKey : public LineStatement {
 public:
  explicit TagSetEndKey(const StatementBuild& b) : LineStatement(b), key_(Arg(b, 0)) {}
  int32_t Execute() override {
    if (TagTelBasic* script = Acting()) script->keyTerminator = ArgText(*key_)[0];
    return 0;
  }

 private:
  TagVar* key_;
};

// "SetStarToPoint(" (flag: integer).
class TagSetStarToPoint : public LineStatement {
 public:
  explicit TagSetStarToPoint(const StatementBuild& b) : LineStatement(b), flag_(Arg(b, 0)) {}
  int32_t Execute() override {
    if (TagTelBasic* script = Acting()) script->starToPoint = ArgInt(*flag_) != 0 ? 1 : 0;
    return 0;
  }

 private:
  TagVar* flag_;
};

// "SetTimeoutVoc(" (voice name): a string becomes the time-out voice; any
// other kind empties it and gives -1.
class TagSetTimeoutVoc : public LineStatement {
 public:
  explicit TagSetTimeoutVoc(const StatementBuild& b) : LineStatement(b), name_(Arg(b, 0)) {}
  int32_t Execute() override {
    TagTelBasic* script = Acting();
    const bool is_string = name_->kind == engine::kVarString;
    if (script != nullptr) script->timeoutVoice = is_string ? ArgText(*name_) : "";
    return is_string ? 0 : -1;
  }

 private:
  TagVar* name_;
};

// "SetDispKeys(" (mode: integer): 0 not shown, 2 as '*', others as typed.
class TagSetDispKeys : public LineStatement {
 public:
  explicit TagSetDispKeys(const StatementBuild& b) : LineStatement(b), mode_(Arg(b, 0)) {}
  int32_t Execute() override {
    const int32_t mode = ArgInt(*mode_);
    if (TagTelBasic* script = Acting()) script->dispKeys = static_cast<uint8_t>(mode);
    return mode;
  }

 private:
  TagVar* mode_;
};

}  // namespace

void RegisterKeyStatements() {
  engine::StatementRegistry& r = engine::Statements();
  r.Register("GetKeys(", &BuildStatement<TagGetKeys>);
  r.Register("PcGetKeys(", &BuildStatement<TagPcGetKeys>);
  r.Register("ClearKeys(", &BuildStatement<TagClearKeys>);
  r.Register("SetKeyTime(", &BuildStatement<TagSetKeyTime>);
  r.Register("SetKeys(", &BuildStatement<TagSetKeys>);
  r.Register("KeysLen(", &BuildStatement<TagKeysLen>);
  r.Register("PcSetKeys(", &BuildStatement<TagPcSetKeys>);
  r.Register("SetEndKey(", &BuildStatement<TagSetEndKey>);
  r.Register("SetStarToPoint(", &BuildStatement<TagSetStarToPoint>);
  r.Register("SetTimeoutVoc(", &BuildStatement<TagSetTimeoutVoc>);
  r.Register("SetDispKeys(", &BuildStatement<TagSetDispKeys>);
}

}  // namespace telephony
