// TagConfLine: the voice links of one board line. Each board call owns one,
// made by the call's constructor and freed by its destructor. With the
// board's conference groups the line that links owns a group and its linked
// lines are members; without them two lines are switched time slot to time
// slot. This object holds the line's side of that: its group, the line
// whose group it joined and the members of its own group.
//
// Thread rules: used by its own line's thread; the linking line's thread
// sets another line's group under the board lock.
#ifndef VTTEL_TELEPHONY_CONF_LINE_H_
#define VTTEL_TELEPHONY_CONF_LINE_H_

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

  int32_t channel;             // the owning call's line number (card index)
  TagDjBaseCall* ownerCall;    // the owning call; not owned
  TagDjDigitDrive* confDrive;  // the drive with the conference tables; not owned
  int32_t groupId = -1;        // the group this line is in; -1 none
  int32_t groupOwner = -1;     // the line whose group this line joined; -1 none or creator
  std::vector<ConfMember> members;  // members of this line's own group
};

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_CONF_LINE_H_
