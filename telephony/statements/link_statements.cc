#include "telephony/statements/link_statements.h"

#include <map>
#include <string>
#include <vector>

#include "engine/arguments.h"
#include "engine/tag_var.h"
#include "telephony/statements/line_statement.h"
#include "telephony/voice/voice_path.h"
#include "telephony/vt_call.h"

namespace telephony {

namespace {

using engine::ArgInt;
using engine::ArgText;
using Call = TagVtCall;
using Line = LineStatement;

// The registry key of the room argument i.
std::string RoomKey(const Line& s, size_t i) { return s.Argument(i).ToText(true); }

// The file argument i through the voice path rule.
std::string VoiceFile(const Line& s, size_t i) {
  return ResolveVoicePath(*s.Acting(), ArgText(s.Argument(i)));
}

// The element of map variable target under integer key.
engine::TagVar* ElementAt(engine::TagVar& target, int32_t key) {
  engine::TagVar k;
  k.SetInt(key);
  return target.Element(k);
}

// Entry i of each list goes to the element i of map argument i.
int32_t GetLinkList(Call& c, const Line& s) {
  std::vector<int32_t> lists[3];
  const int32_t group = c.GetLinkList(lists[0], lists[1], lists[2]);
  for (size_t arg = 0; arg < 3; ++arg) {
    engine::TagVar& target = s.Argument(arg);
    for (size_t i = 0; i < lists[arg].size(); ++i) {
      if (engine::TagVar* e = ElementAt(target, static_cast<int32_t>(i))) {
        e->AssignInt(lists[arg][i]);
      }
    }
  }
  return group;
}

int32_t GetConfNum(Call& c, const Line& s) {
  std::map<int32_t, int32_t> members;
  const int32_t n = c.GetNameConfMembers(RoomKey(s, 0), members);
  engine::TagVar& target = s.Argument(1);
  if (target.readOnly) return n;
  for (const auto& [line, listen] : members) {
    if (engine::TagVar* e = ElementAt(target, line)) e->AssignInt(listen);
  }
  return n;
}

int32_t IsInConf(Call& c, const Line& s) {
  std::string room;
  int32_t listen = 0, session = 0;
  const int32_t found = c.FindNameConfOfChannel(ArgInt(s.Argument(0)), room, listen, session);
  if (found == 0) {
    room.clear();
    listen = 0;
  }
  s.Argument(1).AssignString(room);
  s.Argument(2).AssignInt(listen);
  return found;
}

int32_t RecConfCh(Call& c, const Line& s) {
  const std::string_view name = ArgText(s.Argument(2));
  const std::string file = name.empty() ? std::string() : VoiceFile(s, 2);
  return c.RecNameConfCh(RoomKey(s, 0), ArgInt(s.Argument(1)), file);
}

// The link operations of two integers.
template <int32_t (Call::*kLink)(int32_t, int32_t)>
int32_t LinkPair(Call& c, const Line& s) {
  return (c.*kLink)(ArgInt(s.Argument(0)), ArgInt(s.Argument(1)));
}

}  // namespace

void RegisterLinkStatements() {
  engine::StatementRegistry& r = engine::Statements();
  r.Register("LinkTo(", &CallOperation<LinkPair<&Call::LinkTo>>::Build);
  r.Register("ListenTo(", &CallOperation<LinkPair<&Call::ListenTo>>::Build);
  r.Register("UnlinkTo(", &CallOperation<LinkPair<&Call::UnlinkTo>>::Build);
  r.Register("UnlinkAll(",
             &CallOperation<[](Call& c, const Line&) { return c.UnlinkAll(); }>::Build);
  r.Register("GetLinkList(", &CallOperation<GetLinkList>::Build);
  r.Register("JoinConf(", &CallOperation<[](Call& c, const Line& s) {
    return c.JoinNameConf(RoomKey(s, 0), ArgInt(s.Argument(1)));
  }>::Build);
  r.Register("ExitConf(",
             &CallOperation<[](Call& c, const Line&) { return c.ExitNameConf(); }>::Build);
  r.Register("GetConfNum(", &CallOperation<GetConfNum>::Build);
  r.Register("IsInConf(", &CallOperation<IsInConf>::Build);
  r.Register("RecConf(", &CallOperation<[](Call& c, const Line& s) {
    return c.RecNameConf(RoomKey(s, 0), VoiceFile(s, 1));
  }>::Build);
  r.Register("RecConfCh(", &CallOperation<RecConfCh>::Build);
  r.Register("PlayConf(", &CallOperation<[](Call& c, const Line& s) {
    return c.PlayNameConf(RoomKey(s, 0), VoiceFile(s, 1), ArgInt(s.Argument(2)));
  }>::Build);
}

}  // namespace telephony
