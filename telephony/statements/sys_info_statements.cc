#include "telephony/statements/sys_info_statements.h"

#include <cstdint>
#include <string>

#include "engine/line_call.h"
#include "engine/run_stores.h"
#include "frame/line_facts.h"
#include "frame/version_text.h"
#include "platform/gbk.h"
#include "telephony/board/dj_digit_drive.h"
#include "telephony/statements/line_statement.h"

namespace telephony {

namespace {

// The keys in the order "GetSysInfo(" stores them.
enum class SysKey {
  kCardSerNo, kVersion, kAcmBci1, kAcmBci2, kCauseId, kIsLastExitConf, kIsMediaOk, kChState,
  kCallType, kDbErrInfo, kExLineConnectedNum, kInLineConnectedNum, kVoipConnectedNum, kIsBlock,
  kTalkTime, kConnectedTime1,
};

constexpr const char* kKeyNames[kSysInfoKeys] = {
    "CardSerNo", "Version", "AcmBci1", "AcmBci2", "CauseId", "IsLastExitConf", "IsMediaOk",
    "ChState", "CallType", "DbErrInfo", "ExLineConnectedNum", "InLineConnectedNum",
    "VoipConnectedNum", "IsBlock", "TalkTime", "ConnectedTime1",
};

bool IsTextKey(SysKey k) {
  return k == SysKey::kCardSerNo || k == SysKey::kVersion || k == SysKey::kDbErrInfo;
}

// The index of a key name (any letter case), or -1.
int FindKey(const char* name) {
  for (size_t i = 0; i < kSysInfoKeys; ++i) {
    if (platform::EqualsIgnoreCaseGbk(name, kKeyNames[i])) return static_cast<int>(i);
  }
  return -1;
}

// What the keys are read from at one statement.
struct SysSources {
  engine::TagTelBasic* script = nullptr;
  TagVtCall* call = nullptr;
  int32_t line = -1;
  const frame::LineDriveFacts* drive = engine::LineDriveFacts();
};

int32_t ConnectedCount(const SysSources& s, SysKey k) {
  if (s.drive == nullptr) return 0;
  int32_t external = 0, internal = 0, virtual_lines = 0, ip = 0;
  s.drive->CountConnectedLines(&external, &internal, &virtual_lines, &ip);
  return k == SysKey::kExLineConnectedNum ? external
         : k == SysKey::kInLineConnectedNum ? internal
                                            : ip;
}

int32_t TalkTimes(const SysSources& s, SysKey k) {
  int32_t talk = 0, connected = 0;
  if (s.drive == nullptr || !s.drive->GetTalkTime(s.line, &talk, &connected)) return 0;
  return k == SysKey::kTalkTime ? talk : connected;
}

int32_t CallValue(const SysSources& s, SysKey k) {
  if (s.call == nullptr) return 0;
  switch (k) {
    case SysKey::kIsLastExitConf: return s.call->nameConfClosed;
    case SysKey::kIsMediaOk: return s.call->IsMediaOk() ? 1 : 0;
    case SysKey::kChState: return s.call->GetChState();
    case SysKey::kCallType: return s.call->GetCallType();
    default: return 0;
  }
}

int32_t IntValue(const SysSources& s, SysKey k) {
  switch (k) {
    case SysKey::kExLineConnectedNum:
    case SysKey::kInLineConnectedNum:
    case SysKey::kVoipConnectedNum:
      return ConnectedCount(s, k);
    case SysKey::kIsBlock:
      return s.drive != nullptr ? s.drive->GetBlockState(s.line) : 0;
    case SysKey::kTalkTime:
    case SysKey::kConnectedTime1:
      return TalkTimes(s, k);
    default:
      return CallValue(s, k);
  }
}

std::string TextValue(const SysSources& s, SysKey k) {
  switch (k) {
    case SysKey::kCardSerNo: return CardSerialNo();
    case SysKey::kVersion: return frame::VersionText();
    default: return s.script != nullptr ? engine::LastDatabaseError(*s.script) : std::string();
  }
}

// Sets v to the value of key k.
void StoreKey(const SysSources& s, SysKey k, engine::TagVar& v) {
  if (IsTextKey(k)) {
    v.AssignString(TextValue(s, k));
  } else {
    v.AssignInt(IntValue(s, k));
  }
}

class SysInfoStatement : public LineStatement {
 protected:
  explicit SysInfoStatement(const engine::StatementBuild& b) : LineStatement(b) {}
  SysSources Sources() const {
    SysSources s;
    s.script = Acting();
    s.call = Call();
    if (s.script != nullptr) s.line = s.script->MainScript()->lineNo;
    return s;
  }
};

// "GetSysInfo(" (map variable): every key as an element; the element count.
class TagGetSysInfo : public SysInfoStatement {
 public:
  explicit TagGetSysInfo(const engine::StatementBuild& b) : SysInfoStatement(b) {}
  int32_t Execute() override {
    const SysSources s = Sources();
    engine::TagVar& map = Argument(0);
    for (size_t i = 0; i < kSysInfoKeys; ++i) {
      engine::TagVar key;
      key.SetBytes(kKeyNames[i], std::char_traits<char>::length(kKeyNames[i]));
      StoreKey(s, static_cast<SysKey>(i), *map.Element(key));
    }
    return map.Length();
  }
};

// "GetSysInfoVal(" (key, variable).
class TagGetSysInfoVal : public SysInfoStatement {
 public:
  explicit TagGetSysInfoVal(const engine::StatementBuild& b) : SysInfoStatement(b) {}
  int32_t Execute() override {
    if (Argument(0).kind != engine::kVarString) return -1;
    const int index = FindKey(Argument(0).text());
    if (index < 0) return -1;
    const SysKey k = static_cast<SysKey>(index);
    const SysSources s = Sources();
    engine::TagVar& v = Argument(1);
    if (k == SysKey::kIsBlock) {
      // This key reads the line's own call object.
      if (s.call != nullptr) v.AssignInt(s.call->blocked.load());
      return 0;
    }
    StoreKey(s, k, v);
    return 0;
  }
};

}  // namespace

void RegisterSysInfoStatements() {
  engine::StatementRegistry& r = engine::Statements();
  r.Register("GetSysInfo(", &engine::BuildStatement<TagGetSysInfo>);
  r.Register("GetSysInfoVal(", &engine::BuildStatement<TagGetSysInfoVal>);
}

}  // namespace telephony
