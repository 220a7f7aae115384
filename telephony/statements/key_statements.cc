#include "telephony/statements/key_statements.h"

#include <algorithm>

#include "engine/arguments.h"
#include "engine/statement_args.h"
#include "engine/tel_basic.h"
#include "frame/monitor.h"
#include "telephony/line_settings.h"
#include "telephony/statements/line_statement.h"
#include "telephony/voice/voice_path.h"
#include "telephony/voice/voice_play.h"
#include "telephony/vt_call.h"

namespace telephony {

using engine::ArgInt;
using engine::ArgStoredInt;
using engine::ArgText;
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

namespace {

// The end keys the call object's GetKeys takes: the script's end key, or
// none.
std::string EndKeys(const TagTelBasic& script) {
  const char end_key = LineSettingsOf(script).keys.keyTerminator;
  return end_key != 0 ? std::string(1, end_key) : std::string();
}

// Hands the keys to the keys variable (argument 0), swapped by the script.
void StoreKeys(const TagTelBasic& script, const LineStatement& s, std::string keys) {
  SwapStarPoint(keys, LineSettingsOf(script).keys.starToPoint != 0);
  s.Argument(0).AssignString(keys);
}

// "GetKeys(" on a board line (keys variable, maximum: stored integer, total
// time-out in seconds: stored integer). The call object collects the keys
// by its inter-key time-out and end-key rules; the statement keeps at most
// KeysRoom(maximum) of them. A failure plays the script's time-out voice
// (not cut short by keys) and hangs up.
int32_t GetKeys(TagVtCall& call, const LineStatement& s) {
  TagTelBasic& script = *s.Acting();
  const int32_t max = ArgStoredInt(s.Argument(1));
  std::string keys;
  int32_t r = call.GetKeys(keys, max, ArgStoredInt(s.Argument(2)), EndKeys(script));
  const size_t room = KeysRoom(max);
  if (keys.size() > room) keys.resize(room);
  if (r > 0 && static_cast<size_t>(r) > room) r = static_cast<int32_t>(room);
  const std::string& timeout_voice = LineSettingsOf(script).keys.timeoutVoice;
  if (r < 0 && !timeout_voice.empty()) {
    PlayFile(script, ResolveVoicePath(script, timeout_voice), false, false);
    call.Hangup();
  }
  StoreKeys(script, s, std::move(keys));
  return r;
}

// "PcGetKeys(" and "GetKeys(" on a virtual line (keys variable, maximum:
// stored integer, total time-out in seconds: stored integer): the keys of
// the line's Keys cell (TagVtCall::GetCellKeys); the variable is emptied
// when none are taken, also without a call object (kKeysStopped).
int32_t PcGetKeys(TagTelBasic& script, const LineStatement& s) {
  TagVtCall* call = s.Call();
  std::string keys;
  const int32_t r = call != nullptr ? call->GetCellKeys(keys, ArgStoredInt(s.Argument(1)),
                                                        ArgStoredInt(s.Argument(2)),
                                                        LineSettingsOf(script).keys.keyTerminator,
                                                        script.stopped)
                                    : kKeysStopped;
  StoreKeys(script, s, std::move(keys));
  return r;
}

}  // namespace

void RegisterKeyStatements() {
  RegisterLineSettings();
  engine::StatementRegistry& r = engine::Statements();
  r.Register("GetKeys(", &CallOperation<GetKeys>::Build);
  r.Register("PcGetKeys(", &ScriptOperation<PcGetKeys>::Build);
  r.Register("ClearKeys(", &CallOperation<[](TagVtCall& c, const LineStatement&) {
    c.ClearKeys();
    return 0;
  }, 0>::Build);
  // "SetKeyTime(" (seconds: integer).
  r.Register("SetKeyTime(", &CallOperation<[](TagVtCall& c, const LineStatement& s) {
    c.SetKeyTime(ArgInt(s.Argument(0)));
    return 0;
  }, 0>::Build);
  // "SetKeys(" (keys: text): sends the keys as DTMF.
  r.Register("SetKeys(", &CallOperation<[](TagVtCall& c, const LineStatement& s) {
    return c.SetKeys(ArgText(s.Argument(0)));
  }>::Build);
  // "KeysLen(" (variable).
  r.Register("KeysLen(", &CallOperation<[](TagVtCall& c, const LineStatement& s) {
    return engine::StoreInt(s.Argument(0), c.KeysLen());
  }>::Build);
  // "PcSetKeys(" (line: integer, keys: any value as text): needs no call.
  r.Register("PcSetKeys(", &ScriptOperation<[](TagTelBasic&, const LineStatement& s) {
    frame::DispKeys(ArgInt(s.Argument(0)), engine::ArgConvertedText(s.Argument(1)));
    return 0;
  }>::Build);
  // "SetEndKey(" (key: text): its first character; an empty text turns the
  // end key off.
  r.Register("SetEndKey(", &ScriptOperation<[](TagTelBasic& script, const LineStatement& s) {
    LineSettingsOf(script).keys.keyTerminator = ArgText(s.Argument(0))[0];
    return 0;
  }>::Build);
  // "SetStarToPoint(" (flag: integer).
  r.Register("SetStarToPoint(", &ScriptOperation<[](TagTelBasic& script, const LineStatement& s) {
    LineSettingsOf(script).keys.starToPoint = ArgInt(s.Argument(0)) != 0 ? 1 : 0;
    return 0;
  }>::Build);
  // "SetTimeoutVoc(" (voice name): a string becomes the time-out voice; any
  // other kind empties it and gives -1.
  r.Register("SetTimeoutVoc(", &ScriptOperation<[](TagTelBasic& script, const LineStatement& s) {
    const TagVar& name = s.Argument(0);
    const bool is_string = name.kind == engine::kVarString;
    LineSettingsOf(script).keys.timeoutVoice = is_string ? ArgText(name) : "";
    return is_string ? 0 : -1;
  }>::Build);
  // "SetDispKeys(" (mode: integer): 0 not shown, 2 as '*', others as typed.
  r.Register("SetDispKeys(", &ScriptOperation<[](TagTelBasic& script, const LineStatement& s) {
    const int32_t mode = ArgInt(s.Argument(0));
    LineSettingsOf(script).keys.dispKeys.store(static_cast<uint8_t>(mode),
                                               std::memory_order_relaxed);
    return mode;
  }>::Build);
}

}  // namespace telephony
