#include "telephony/name_conf.h"

#include <atomic>

namespace telephony {

namespace {
std::atomic<TagNameConfCtrl*> g_installed{nullptr};
}  // namespace

void InstallNameConfCtrl(TagNameConfCtrl* ctrl) { g_installed.store(ctrl); }
TagNameConfCtrl* InstalledNameConfCtrl() { return g_installed.load(); }

TagMeetRoom* TagNameConfCtrl::FindRoom(std::string_view name) {
  auto it = rooms_.find(name);
  return it == rooms_.end() ? nullptr : &it->second;
}

bool TagNameConfCtrl::FindSession(std::string_view name, int32_t& session, int32_t& is_sip) {
  const TagMeetRoom* room = FindRoom(name);
  if (room == nullptr) return false;
  session = room->session;
  is_sip = room->isSipConf;
  return true;
}

int32_t TagNameConfCtrl::AddRoom(std::string_view name, int32_t session, int32_t is_sip) {
  if (const TagMeetRoom* room = FindRoom(name)) return room->session;
  TagMeetRoom& room = rooms_[std::string(name)];
  room.roomName = name;
  room.session = session;
  room.isSipConf = is_sip;
  return session;
}

void TagNameConfCtrl::RemoveRoom(std::string_view name) {
  auto it = rooms_.find(name);
  if (it != rooms_.end()) rooms_.erase(it);
}

int32_t TagNameConfCtrl::AddMember(std::string_view name, int32_t line, int32_t listen,
                                   int32_t handle, int32_t& session) {
  TagMeetRoom* room = FindRoom(name);
  if (room == nullptr) return -1;
  TagMeetCh& member = room->members[line];  // a member joining again keeps its recording
  member.handle = handle;
  member.listenOnly = listen;
  session = room->session;
  return static_cast<int32_t>(room->members.size());
}

std::map<std::string, TagMeetRoom, std::less<>>::iterator TagNameConfCtrl::RoomHolding(
    int32_t line) {
  for (auto it = rooms_.begin(); it != rooms_.end(); ++it) {
    if (it->second.members.count(line) != 0) return it;
  }
  return rooms_.end();
}

MeetExit TagNameConfCtrl::RemoveLine(int32_t line) {
  MeetExit gone;
  auto it = RoomHolding(line);
  if (it == rooms_.end()) return gone;
  TagMeetRoom& room = it->second;
  gone.found = true;
  gone.session = room.session;
  gone.isSipConf = room.isSipConf;
  gone.recordId = room.recordId;
  gone.playId = room.playId;
  gone.chRecordId = room.members[line].chRecordId;
  room.members.erase(line);
  if (room.members.empty()) {
    gone.closed = true;
    rooms_.erase(it);
  }
  return gone;
}

TagMeetCh* TagNameConfCtrl::FindMember(std::string_view name, int32_t line) {
  TagMeetRoom* room = FindRoom(name);
  if (room == nullptr) return nullptr;
  auto it = room->members.find(line);
  return it == room->members.end() ? nullptr : &it->second;
}

const std::map<int32_t, TagMeetCh>* TagNameConfCtrl::Members(std::string_view name) {
  const TagMeetRoom* room = FindRoom(name);
  return room == nullptr ? nullptr : &room->members;
}

bool TagNameConfCtrl::RoomOfLine(int32_t line, std::string& name, int32_t& listen,
                                 int32_t& session) {
  std::lock_guard<std::mutex> hold(lock_);
  auto it = RoomHolding(line);
  if (it == rooms_.end()) return false;
  name = it->first;
  listen = it->second.members.at(line).listenOnly;
  session = it->second.session;
  return true;
}

size_t TagNameConfCtrl::RoomCount() {
  std::lock_guard<std::mutex> hold(lock_);
  return rooms_.size();
}

}  // namespace telephony
