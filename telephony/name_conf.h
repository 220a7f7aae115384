// TagNameConfCtrl: the process-wide registry of the named meeting rooms of
// "JoinConf(" and its family. A room is keyed by its name (the quoted text
// form of the script's room value) and holds the media session its first
// member created and its members by line number. The media side (create,
// join, leave, close, record, play) is done by the call objects' room
// operations; the registry only keeps the books.
//
// Ownership: the registry owns its rooms; the line drive owns the registry
// and installs it for the call objects (InstallNameConfCtrl), a stand-alone
// runner installs one of its own.
//
// Thread rules: every access holds lock() except RoomOfLine, which takes it
// itself. The call objects hold the lock across their room operations
// (TagVtCall::JoinNameConf and the others), so one line's room creation and
// joining is never interleaved with another's.
#ifndef VTTEL_TELEPHONY_NAME_CONF_H_
#define VTTEL_TELEPHONY_NAME_CONF_H_

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace telephony {

// One member of a room.
struct TagMeetCh {
  int32_t handle = 0;         // the member line's media channel
  int32_t listenOnly = 0;     // 1: hears the room but is not heard
  int32_t chRecordId = 0;     // the member's own recording; 0 none
  uint32_t chRecordStart = 0;  // tick at which that recording started
};

struct TagMeetRoom {
  std::string roomName;
  int32_t session = 0;    // the room's media session
  int32_t recordId = 0;   // the room's recording; 0 none
  int32_t playId = 0;     // the room's play; 0 none
  int32_t isSipConf = 0;  // the is-SIP flag the session was created with
  std::map<int32_t, TagMeetCh> members;  // by line number
};

// What taking a line out of its room left to undo.
struct MeetExit {
  bool found = false;      // the line was a member of a room
  bool closed = false;     // the room became empty and was deleted
  int32_t session = 0;
  int32_t isSipConf = 0;
  int32_t recordId = 0;    // the room's ids when it was closed
  int32_t playId = 0;
  int32_t chRecordId = 0;  // the member's own recording
};

class TagNameConfCtrl {
 public:
  TagNameConfCtrl() = default;
  TagNameConfCtrl(const TagNameConfCtrl&) = delete;
  TagNameConfCtrl& operator=(const TagNameConfCtrl&) = delete;

  std::mutex& lock() { return lock_; }

  // --- REQUIRES: lock() held. ---
  TagMeetRoom* FindRoom(std::string_view name);
  // The room's session and is-SIP flag: false when there is no such room.
  bool FindSession(std::string_view name, int32_t& session, int32_t& is_sip);
  // Registers a room: its session, or the session of the room that already
  // has the name.
  int32_t AddRoom(std::string_view name, int32_t session, int32_t is_sip);
  void RemoveRoom(std::string_view name);
  // Adds a member (a member already there takes the new listen flag and
  // handle and keeps its own recording): the member count and the room's
  // session, or -1 when there is no such room.
  int32_t AddMember(std::string_view name, int32_t line, int32_t listen, int32_t handle,
                    int32_t& session);
  // Takes the line out of the room that holds it; a room left empty is
  // deleted.
  MeetExit RemoveLine(int32_t line);
  TagMeetCh* FindMember(std::string_view name, int32_t line);
  // The members of a room; null when there is no such room.
  const std::map<int32_t, TagMeetCh>* Members(std::string_view name);

  // The room that has the line as a member (takes the lock): false when
  // there is none.
  bool RoomOfLine(int32_t line, std::string& name, int32_t& listen, int32_t& session);

  // The number of rooms (for the checks of the line drive's tests).
  size_t RoomCount();

 private:
  // The room holding the line, or end().
  std::map<std::string, TagMeetRoom, std::less<>>::iterator RoomHolding(int32_t line);

  std::mutex lock_;
  std::map<std::string, TagMeetRoom, std::less<>> rooms_;
};

// The registry the call objects use; null when none is installed (then no
// room can be made). The installer keeps it alive while it is installed.
void InstallNameConfCtrl(TagNameConfCtrl* ctrl);
TagNameConfCtrl* InstalledNameConfCtrl();

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_NAME_CONF_H_
