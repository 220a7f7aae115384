// TagConfLine: the voice links of one board line. Each board call owns one,
// made by the call's constructor and freed by its destructor. With the
// board's conference groups the line that links owns a group and its linked
// lines are members (talking or listen-only); without them two lines are
// switched time slot to time slot. This object holds the line's side of
// that: its group, the line whose group it joined and the members of its
// own group, and it makes and takes down the links.
//
// Thread rules: used by its own line's thread; another line's thread sets
// this line's group (SetLineGroup) or has it unlink a member (the member
// leaving its owner's group). The state below is therefore guarded by the
// drive's board lock; the owning call's StopPlay is never called with the
// board lock held (lock order: a call's media lock, then the board lock).
#ifndef VTTEL_TELEPHONY_BOARD_CONF_LINE_H_
#define VTTEL_TELEPHONY_BOARD_CONF_LINE_H_

#include <atomic>
#include <cstdint>
#include <vector>

namespace telephony {

class TagDjBaseCall;
class TagDjDigitDrive;

// One member of a line's conference group, in the order it was added.
struct ConfMember {
  int32_t channel = -1;    // the member's line number
  uint8_t listenOnly = 0;  // 1: hears the group but is not heard
  int32_t value = 0;       // the link statement's mode; 1 for the group's creator
};

class TagConfLine {
 public:
  // drive and owner must outlive this object.
  TagConfLine(TagDjDigitDrive* drive, int32_t channel, TagDjBaseCall* owner);
  TagConfLine(const TagConfLine&) = delete;
  TagConfLine& operator=(const TagConfLine&) = delete;

  // Links another line: 0 linked; with groups also the line's own number
  // when it is already a member, -2 when no group could be made, the
  // negated board result when it could not join; without groups -1 when
  // the board refused the switch, -2 when this line is already linked.
  int32_t Link(int32_t line, int32_t mode, bool listen_only);
  // Takes a line out: 0, or the negated board result; -1 for a negative
  // line, -2 when it is not linked.
  int32_t Unlink(int32_t line);
  // Unlinks every member and leaves the group this line joined; 0.
  int32_t UnlinkAll();
  // The members in order; returns groupId.
  int32_t GetLinkList(std::vector<int32_t>& lines, std::vector<int32_t>& listen_only,
                      std::vector<int32_t>& values);

  int32_t channel;             // the owning call's line number (card index)
  TagDjBaseCall* ownerCall;    // the owning call; not owned
  TagDjDigitDrive* confDrive;  // the drive with the conference tables; not owned
  std::atomic<int32_t> groupId{-1};     // the group this line is in; -1 none
  std::atomic<int32_t> groupOwner{-1};  // the line whose group this line joined; -1 none or creator
  std::vector<ConfMember> members;      // members of this line's own group; board lock

 private:
  int32_t LinkInGroup(int32_t line, int32_t mode, bool listen_only);
  // Before line joins this line's group: when it is in a group it is traced,
  // and when it is a member of another line's group, that owner unlinks it
  // (so both owners' books stay true). A group's creator stays where it is.
  void TakeFromOtherGroup(int32_t line);
  // The TagConfLine of a line of the drive; null for none.
  TagConfLine* LineOf(int32_t line) const;
  int32_t LinkBySwitch(int32_t line, int32_t mode);
  int32_t UnlinkInGroup(int32_t line);
  int32_t UnlinkBySwitch(int32_t line);
  // This line's own group, made when it has none: the group, or -1 / -2
  // when none could be allocated / joined. REQUIRES: board lock held.
  int32_t MakeOwnGroup();
  // Stops the group's media, leaves it (leave_self) and frees it.
  void Release(bool leave_self);
  bool IsMember(int32_t line) const;
};

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_BOARD_CONF_LINE_H_
