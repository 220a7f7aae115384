// The call object's side of the named meeting rooms: the registry's books
// kept together with the line's room operations.
#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "platform/clock.h"
#include "telephony/name_conf.h"
#include "telephony/vt_call.h"

namespace telephony {

namespace {

using Hold = std::lock_guard<std::mutex>;

// The pause between two looks at a waited room play.
constexpr uint32_t kConfPlayPollMs = 100;

void TraceF(TagVtCall& call, const char* format, ...) __attribute__((format(printf, 2, 3)));
void TraceF(TagVtCall& call, const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  call.TraceLog(text);
}

}  // namespace

int32_t TagVtCall::JoinNameConf(std::string_view room, int32_t listen) {
  TagNameConfCtrl* ctrl = InstalledNameConfCtrl();
  if (ctrl == nullptr) return -2;
  Hold hold(ctrl->lock());
  int32_t session = 0, is_sip = 0;
  const bool created = !ctrl->FindSession(room, session, is_sip);
  if (created) {
    const int32_t r = CreateConfRoom(is_sip, session);
    TraceF(*this, "CreateConfRoom(isSipConf=%d): ret=%d, sess=%d", is_sip, r, session);
    if (r < 0) return -2;
    ctrl->AddRoom(room, session, is_sip);
  }
  const int32_t r = JoinConfRoom(session, is_sip, listen);
  TraceF(*this, "JoinConfRoom(sess=%d, isSipConf=%d, isListen=%d): %d", session, is_sip, listen,
         r);
  if (r < 0) {
    if (created) {
      CloseConfRoom(session, is_sip);
      ctrl->RemoveRoom(room);
    }
    return -3;
  }
  return ctrl->AddMember(room, lineNo, listen, mediaChannel, session);
}

int32_t TagVtCall::ExitNameConf() {
  TagNameConfCtrl* ctrl = InstalledNameConfCtrl();
  if (ctrl == nullptr) return 0;
  Hold hold(ctrl->lock());
  const MeetExit gone = ctrl->RemoveLine(lineNo);
  if (!gone.found) return 0;
  if (gone.chRecordId != 0) StopConfChRecord(gone.chRecordId);
  ExitConfRoom(gone.session, gone.isSipConf);
  if (gone.closed) {
    if (gone.recordId != 0) StopConfRecord(gone.session, gone.isSipConf, gone.recordId);
    if (gone.playId != 0) StopConfPlay(gone.session, gone.isSipConf, gone.playId);
    CloseConfRoom(gone.session, gone.isSipConf);
    nameConfClosed = 1;
  }
  TraceF(*this, "ExitNameConf (session=%d, isSipConf=%d, isClosed=%d, rec=%d, play=%d)",
         gone.session, gone.isSipConf, gone.closed ? 1 : 0, gone.recordId, gone.playId);
  return gone.session;
}

int32_t TagVtCall::RecNameConf(std::string_view room, std::string_view file) {
  TagNameConfCtrl* ctrl = InstalledNameConfCtrl();
  if (ctrl == nullptr) return -1;
  Hold hold(ctrl->lock());
  TagMeetRoom* meet = ctrl->FindRoom(room);
  if (meet == nullptr) return -1;
  if (meet->recordId != 0) return -2;
  int32_t id = 0;
  const int32_t r = StartConfRecord(meet->session, meet->isSipConf, file, id);
  if (r < 0 || id == 0) return -3;
  meet->recordId = id;
  return id;
}

int32_t TagVtCall::PlayNameConf(std::string_view room, std::string_view file, int32_t wait) {
  TagNameConfCtrl* ctrl = InstalledNameConfCtrl();
  if (ctrl == nullptr) return -1;
  int32_t id = 0, session = 0, is_sip = 0;
  {
    Hold hold(ctrl->lock());
    TagMeetRoom* meet = ctrl->FindRoom(room);
    if (meet == nullptr) return -1;
    session = meet->session;
    is_sip = meet->isSipConf;
    if (meet->playId != 0) {
      // A play nobody waited for keeps its id until it is seen to have ended.
      if (IsConfPlayEnd(session, is_sip, meet->playId) == 0) return -2;
      StopConfPlay(session, is_sip, meet->playId);
      meet->playId = 0;
    }
    const int32_t r = StartConfPlay(session, is_sip, file, id);
    if (r < 0 || id == 0) return -3;
    meet->playId = id;
  }
  if (wait == 0) return id;
  while (stopFlag.load() == 0 && IsOnline() && IsConfPlayEnd(session, is_sip, id) == 0) {
    platform::GetClock().Sleep(kConfPlayPollMs);
  }
  Hold hold(ctrl->lock());
  TagMeetRoom* meet = ctrl->FindRoom(room);
  if (meet != nullptr && meet->playId == id) {
    StopConfPlay(session, is_sip, id);
    meet->playId = 0;
  }
  return id;
}

int32_t TagVtCall::RecNameConfCh(std::string_view room, int32_t line, std::string_view file) {
  TagNameConfCtrl* ctrl = InstalledNameConfCtrl();
  if (ctrl == nullptr) return -1;
  Hold hold(ctrl->lock());
  TagMeetCh* member = ctrl->FindMember(room, line);
  if (member == nullptr) return -1;
  if (member->chRecordId != 0) {
    return static_cast<int32_t>(platform::GetClock().TickCount() - member->chRecordStart);
  }
  if (file.empty()) return 0;
  int32_t id = 0;
  const int32_t r = StartConfChRecord(member->handle, file, id);
  if (r < 0 || id == 0) return -3;
  member->chRecordId = id;
  member->chRecordStart = platform::GetClock().TickCount();
  return 0;
}

int32_t TagVtCall::GetNameConfMembers(std::string_view room,
                                      std::map<int32_t, int32_t>& members) {
  members.clear();
  TagNameConfCtrl* ctrl = InstalledNameConfCtrl();
  if (ctrl == nullptr) return 0;
  Hold hold(ctrl->lock());
  const std::map<int32_t, TagMeetCh>* all = ctrl->Members(room);
  if (all == nullptr) return 0;
  for (const auto& [line, member] : *all) members[line] = member.listenOnly;
  return static_cast<int32_t>(members.size());
}

int32_t TagVtCall::FindNameConfOfChannel(int32_t line, std::string& room, int32_t& listen,
                                         int32_t& session) {
  TagNameConfCtrl* ctrl = InstalledNameConfCtrl();
  return ctrl != nullptr && ctrl->RoomOfLine(line, room, listen, session) ? 1 : 0;
}

}  // namespace telephony
