#include "telephony/statements/sip_statements.h"

#include <cstring>

#include "engine/arguments.h"
#include "engine/keyword_table.h"
#include "engine/statement_args.h"
#include "engine/statement_registry.h"
#include "engine/tag_var.h"
#include "telephony/statements/line_statement.h"
#include "telephony/statements/sip_callbacks.h"
#include "telephony/vt_call.h"

namespace telephony {
namespace {

using C = TagVtCall;
using O = SipOperands;

// clang-format off
const SipRow kRows[] = {
  // SIP calls.
  {"SipGetDestAddr(", "tT", [](C& c, O& o) { return c.SipGetDestAddr(o.text[0], o.text[1]); }},
  {"SipGetAccAddr(", "ttTP",
   [](C& c, O& o) { return c.SipGetAccAddr(o.text[0], o.text[1], o.text[2], o.num[3]); }},
  {"SipGetPeerMsg(", "TT", [](C& c, O& o) { return c.SipGetPeerMsg(o.text[0], o.text[1]); }},
  {"SipSetDialRoute(", "tt", [](C& c, O& o) { return c.SipSetDialRoute(o.text[0], o.text[1]); }},
  {"SipSetRtpAddr(", "tix",
   [](C& c, O& o) { return c.SipSetRtpAddr(o.text[0], o.num[1], o.text[2]); }},
  {"SipGetRtpCount(", "II", [](C& c, O& o) { return c.SipGetRtpCount(o.num[0], o.num[1]); }},
  {"SipGetAccStat(", "t", [](C& c, O& o) { return c.SipGetAccStat(o.text[0]); }},
  // SIP proxy; message handles are stored integers.
  {"SipProxyRecv(", "TTHT",
   [](C& c, O& o) { return c.SipProxyRecv(o.text[0], o.text[1], o.num[2], o.text[3]); }},
  {"SipProxyGetField(", "stn",
   [](C& c, O& o) { return c.SipProxyGetField(o.num[0], o.text[1], o.Optional(2), o.ownText); },
   SipStore::kAlways, true},
  {"SipProxyAddField(", "stai",
   [](C& c, O& o) { return c.SipProxyAddField(o.num[0], o.text[1], o.text[2], o.num[3]); }},
  {"SipProxyRemoveField(", "st",
   [](C& c, O& o) { return c.SipProxyRemoveField(o.num[0], o.text[1]); }},
  {"SipProxySend(", "st", [](C& c, O& o) { return c.SipProxySend(o.num[0], o.text[1]); }},
  {"SipProxySendEx(", "sti",
   [](C& c, O& o) { return c.SipProxySendEx(o.num[0], o.text[1], o.num[2]); }},
  {"SipProxyDirAns(", "sit",
   [](C& c, O& o) { return c.SipProxyDirAns(o.num[0], o.num[1], o.text[2]); }},
  {"SipProxySendKeepAlives(", "tt",
   [](C& c, O& o) { return c.SipProxySendKeepAlives(o.text[0], o.text[1]); }},
  {"SipUnregisterSpecUser(", "t", [](C& c, O& o) { return c.SipUnregisterSpecUser(o.text[0]); }},
  // Instant messages; handles are stored integers.
  {"ImSend(", "Att", [](C& c, O& o) {
     return c.ImSend(o.text[0], o.text[1], o.text[2], static_cast<int32_t>(o.text[2].size()));
   }},
  {"ImTest(", "", [](C& c, O&) { return c.ImTest(); }},
  {"ImRead(", "TTTT",
   [](C& c, O& o) { return c.ImRead(o.text[0], o.text[1], o.text[2], o.text[3]); },
   SipStore::kWhenPositive},
  {"ImRecv(", "TH", [](C& c, O& o) { return c.ImRecv(o.text[0], o.num[1]); }},
  {"ImMsgGetField(", "stt",
   [](C& c, O& o) { return c.ImMsgGetField(o.num[0], o.text[1], o.text[2], o.ownText); },
   SipStore::kAlways, true},
  {"ImMakeAns(", "sitttt", [](C& c, O& o) {
     return c.ImMakeAns(o.num[0], o.num[1], o.text[2], o.text[3], o.text[4], o.text[5]);
   }},
  {"ImMsgFree(", "s", [](C& c, O& o) { return c.ImMsgFree(o.num[0]); }},
  {"ImMakeReq(", "ttttttttD", [](C& c, O& o) {
     const std::array<std::string_view, 8> texts = {o.text[0], o.text[1], o.text[2], o.text[3],
                                                     o.text[4], o.text[5], o.text[6], o.text[7]};
     return c.ImMakeReq(texts, o.text[8]);
   }},
  {"ImFileSend(", "tDHTIT", [](C& c, O& o) {
     return c.ImFileSend(o.text[0], o.text[1], o.num[2], o.text[3], o.num[4], o.text[5]);
   }},
  {"ImFileRecv(", "itiHTTTIT", [](C& c, O& o) {
     return c.ImFileRecv(o.num[0], o.text[1], o.num[2], o.num[3], o.text[4], o.text[5],
                         o.text[6], o.text[8], o.num[7]);
   }},
  {"ImFileCheck(", "sII", [](C& c, O& o) { return c.ImFileCheck(o.num[0], o.num[1], o.num[2]); }},
  {"ImFileEnd(", "s", [](C& c, O& o) { return c.ImFileEnd(o.num[0]); }},
  {"ImFileProcAnswer(", "t", [](C& c, O& o) { return c.ImFileProcAnswer(o.text[0]); }},
};
// clang-format on

// Reads argument i by its mode into o; false when it refuses the statement.
bool ReadArgument(char mode, const engine::TagVar& v, size_t i, O& o) {
  switch (mode) {
    case 't':
    case 'D':
      o.text[i] = engine::ArgText(v);
      break;
    case 'A':
      o.text[i] = engine::ArgText(v);
      return o.text[i].size() + 1 <= kImAddressMax;
    case 'a':
      o.text[i] = engine::ArgConvertedText(v);
      break;
    case 'x':
      o.text[i] = v.kind == engine::kVarString ? std::string(engine::ArgText(v))
                                               : engine::ArgConvertedText(v);
      break;
    case 'n':
      o.absent[i] = v.kind == engine::kVarNull;
      o.text[i] = engine::ArgText(v);
      break;
    case 'i':
      o.num[i] = engine::ArgInt(v);
      break;
    case 's':
      o.num[i] = engine::ArgStoredInt(v);
      break;
    case 'P':
      o.num[i] = kSipNoPort;
      break;
    default:  // T, I, H: preset empty or 0
      break;
  }
  return true;
}

// Writes out-value i by its mode ('D' only when the identifier was empty).
void StoreOut(char mode, engine::TagVar& v, size_t i, const O& o, bool id_was_empty) {
  switch (mode) {
    case 'T':
      v.AssignString(o.text[i]);
      break;
    case 'D':
      if (id_was_empty) v.AssignString(o.text[i]);
      break;
    case 'I':
    case 'P':
      v.AssignInt(o.num[i]);
      break;
    case 'H':
      v.SetHandle(o.num[i]);
      break;
    default:  // arguments read in
      break;
  }
}

class SipStatement final : public LineStatement {
 public:
  SipStatement(const engine::StatementBuild& b, const SipRow& row) : LineStatement(b), row_(row) {}

  int32_t Execute() override {
    TagVtCall* call = Call();
    if (call == nullptr) return kNoCallObject;
    O o;
    const size_t n = std::strlen(row_.modes);
    for (size_t i = 0; i < n; ++i) {
      if (!ReadArgument(row_.modes[i], Argument(i), i, o)) return kImAddressRefused;
    }
    const char* id = std::strchr(row_.modes, 'D');
    const bool id_was_empty = id == nullptr || o.text[static_cast<size_t>(id - row_.modes)].empty();
    const int32_t r = row_.op(*call, o);
    if (row_.store == SipStore::kAlways || r > 0) {
      for (size_t i = 0; i < n; ++i) StoreOut(row_.modes[i], Argument(i), i, o, id_was_empty);
    }
    if (row_.ownText) engine::StoreText(*this, o.ownText);
    return r;
  }

 private:
  const SipRow& row_;
};

const SipRow* FindRow(std::string_view keyword) {
  for (const SipRow& row : kRows) {
    if (keyword == row.keyword) return &row;
  }
  return nullptr;
}

engine::TagOper* BuildSipStatement(const engine::StatementBuild& b, std::string*) {
  return new SipStatement(b, *FindRow(engine::Keywords().row(b.row).name));
}

// "SetOnSip...(" (function variable): the registration of kind, then the
// call object's slot with the system's own callback. Deleting the
// statement (its script is deleted or reloaded) forgets what its script
// registered.
template <SipCallbackKind kKind>
class SipCallbackStatement final : public LineStatement {
 public:
  explicit SipCallbackStatement(const engine::StatementBuild& b) : LineStatement(b) {}
  ~SipCallbackStatement() override { ForgetSipCallbacks(Compiling()); }

  int32_t Execute() override {
    RegisterSipCallback(kKind, Argument(0), Compiling());
    TagVtCall* call = Call();
    if (call == nullptr) return kNoCallObject;
    switch (kKind) {
      case SipCallbackKind::kAccPwd:
        return call->SetOnSipGetAccPwd(&OnSipGetAccPwd);
      case SipCallbackKind::kAccPwdIp:
        return call->SetOnSipGetAccPwdIp(&OnSipGetAccPwdIp);
      case SipCallbackKind::kRegisterNotify:
        return call->SetOnSipRegisterNotify(&OnSipRegisterNotify);
    }
    return 0;
  }
  static engine::TagOper* Build(const engine::StatementBuild& b, std::string*) {
    return new SipCallbackStatement(b);
  }
};

}  // namespace

std::span<const SipRow> SipRows() { return kRows; }

void RegisterSipStatements() {
  engine::StatementRegistry& r = engine::Statements();
  for (const SipRow& row : kRows) r.Register(row.keyword, &BuildSipStatement);
  r.Register("SetOnSipGetAccPwd(", &SipCallbackStatement<SipCallbackKind::kAccPwd>::Build);
  r.Register("SetOnSipGetAccPwdIp(", &SipCallbackStatement<SipCallbackKind::kAccPwdIp>::Build);
  r.Register("SetOnSipRegisterNotify(",
             &SipCallbackStatement<SipCallbackKind::kRegisterNotify>::Build);
}

}  // namespace telephony
