#include "telephony/board/conf_line.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <string>

#include "frame/log.h"
#include "telephony/board/dj_base_call.h"
#include "telephony/board/dj_digit_drive.h"

namespace telephony {
namespace {

using BoardHold = std::lock_guard<board::BoardLock>;

std::string Format(const char* format, int a, int b, int c = 0) {
  char text[128];
  snprintf(text, sizeof text, format, a, b, c);
  return text;
}

}  // namespace

TagConfLine::TagConfLine(TagDjDigitDrive* drive, int32_t channel_no, TagDjBaseCall* owner)
    : channel(channel_no), ownerCall(owner), confDrive(drive) {}

bool TagConfLine::IsMember(int32_t line) const {
  return std::any_of(members.begin(), members.end(),
                     [line](const ConfMember& m) { return m.channel == line; });
}

int32_t TagConfLine::Link(int32_t line, int32_t mode, bool listen_only) {
  return confDrive->confCount > 0 ? LinkInGroup(line, mode, listen_only)
                                  : LinkBySwitch(line, mode);
}

int32_t TagConfLine::Unlink(int32_t line) {
  if (line < 0) return -1;
  return confDrive->confCount > 0 ? UnlinkInGroup(line) : UnlinkBySwitch(line);
}

int32_t TagConfLine::MakeOwnGroup() {
  if (groupId >= 0) return groupId;
  const int32_t group = confDrive->AllocGroup();
  if (group < 0) return -1;
  const int32_t r = confDrive->JoinGroup(group, channel, false);
  if (r != 0) {
    ownerCall->ErrorLog(Format("AddChnl to self, id=%d, ret=%d", group, r));
    confDrive->FreeGroup(group);
    groupId = -1;
    return -2;
  }
  members = {ConfMember{channel, 0, 1}};
  groupId = group;
  return group;
}

TagConfLine* TagConfLine::LineOf(int32_t line) const {
  TagDjBaseCall* call = confDrive->calls.at(line);
  return call == nullptr ? nullptr : &call->confLine();
}

void TagConfLine::TakeFromOtherGroup(int32_t line) {
  int32_t owner = -1;
  {
    BoardHold hold(confDrive->boardLock());
    const int32_t other_group = confDrive->LineGroup(line);
    if (other_group < 0) return;
    frame::LogMsg(Format("AddToConf(%d) Failed, %d in confId %d", line, line, other_group));
    const TagConfLine* other = LineOf(line);
    if (other != nullptr) owner = other->groupOwner;
  }
  // A member of another line's group leaves it through that owner's books,
  // on this thread without the board lock (the owner may stop its media).
  if (owner < 0 || owner == channel) return;
  if (TagConfLine* owner_line = LineOf(owner)) owner_line->Unlink(line);
}

int32_t TagConfLine::LinkInGroup(int32_t line, int32_t mode, bool listen_only) {
  TakeFromOtherGroup(line);
  BoardHold hold(confDrive->boardLock());
  if (groupId < 0) {
    frame::LogMsg(Format("[%d] : Begin : confId<0", channel, 0));
    MakeOwnGroup();
  }
  frame::LogMsg(Format("[%d] : confId=%d", channel, groupId.load()));
  if (groupId < 0) return -2;
  if (IsMember(line)) {
    ownerCall->ErrorLog(Format("dest in conf, dest=%d", line, 0));
    return line;
  }
  const int32_t r = confDrive->JoinGroup(groupId, line, listen_only);
  if (r != 0) {
    ownerCall->ErrorLog(
        Format("pDrive->AddToConf(confId=%d, dest=%d), ret=%d", groupId.load(), line, r));
  } else {
    members.push_back(ConfMember{line, static_cast<uint8_t>(listen_only ? 1 : 0), mode});
    confDrive->SetLineGroup(line, groupId, channel);
  }
  return -r;
}

int32_t TagConfLine::LinkBySwitch(int32_t line, int32_t mode) {
  BoardHold hold(confDrive->boardLock());
  if (members.size() >= 2) return -2;
  board::BoardLibrary& board = confDrive->board();
  const int32_t own_port = channel - confDrive->e1Count;
  const int32_t other_port = line - confDrive->e1Count;
  int32_t r;
  if (confDrive->IsE1Line(channel)) {
    if (confDrive->IsE1Line(line)) {
      r = board.LinkTrunkAndTrunk(channel, line);
      ownerCall->TraceLog(Format("DJExg_SetLinkTrunkAndTrunk(%d, %d): %d", channel, line, r));
    } else {
      r = board.LinkTrunkAndUser(channel, other_port);
      ownerCall->TraceLog(Format("DJExg_SetLinkTrunkAndUser(%d, %d): %d", channel, other_port, r));
    }
  } else if (confDrive->IsE1Line(line)) {
    r = 0;
    ownerCall->TraceLog(Format("LinkTo Err: User to Trunk (%d, %d).", channel, line));
  } else {
    r = board.LinkUserAndUser(own_port, other_port);
    ownerCall->TraceLog(Format("DJExg_LinkUserAndUser(%d, %d): %d", own_port, other_port, r));
  }
  if (r == 0) return -1;
  members.push_back(ConfMember{line, 0, mode});
  members.push_back(ConfMember{channel, 0, 1});
  return 0;
}

int32_t TagConfLine::UnlinkBySwitch(int32_t line) {
  BoardHold hold(confDrive->boardLock());
  if (members.size() <= 1) return -2;
  board::BoardLibrary& board = confDrive->board();
  int32_t r;
  if (confDrive->IsE1Line(channel)) {
    if (confDrive->IsE1Line(line)) {
      r = board.ClearLinkTrunkAndTrunk(channel);
      ownerCall->TraceLog(Format("DJExg_ClearLinkTrunkAndTrunk(%d, d=%d): ret=%d", channel, line, r));
    } else {
      r = board.ClearLinkTrunkAndUserByTrunk(channel);
      ownerCall->TraceLog(
          Format("DJExg_ClearLinkTrunkAndUserByTrunk(%d) dest=%d: ret=%d", channel, line, r));
    }
  } else {
    const int32_t own_port = channel - confDrive->e1Count;
    r = board.ClearLinkUserAndUser(own_port);
    ownerCall->TraceLog(Format("DJExg_ClearLinkUserAndUser(%d): %d", own_port, r));
  }
  members.clear();
  return r != 0 ? 0 : -1;
}

int32_t TagConfLine::UnlinkInGroup(int32_t line) {
  int32_t r = 0;
  bool release = false, leave_self = false;
  {
    BoardHold hold(confDrive->boardLock());
    if (groupId < 0 || !IsMember(line)) return -2;
    std::erase_if(members, [line](const ConfMember& m) { return m.channel == line; });
    r = confDrive->LeaveGroup(groupId, line);
    if (r != 0) ownerCall->ErrorLog(Format("SubChnl(%d, %d), ret=%d", groupId.load(), line, r));
    if (line != channel) confDrive->SetLineGroup(line, -1, -1);
    release = members.empty() || (members.size() == 1 && members[0].channel == channel);
    leave_self = !members.empty();
  }
  if (release) Release(leave_self);
  return -r;
}

void TagConfLine::Release(bool leave_self) {
  if (groupId < 0) return;
  ownerCall->StopPlay();  // the group's play and recording; outside the board lock
  BoardHold hold(confDrive->boardLock());
  const int32_t group = groupId;
  if (group < 0) return;
  if (leave_self) confDrive->LeaveGroup(group, channel);
  confDrive->FreeGroup(group);
  groupId = -1;
  members.clear();
}

int32_t TagConfLine::UnlinkAll() {
  frame::LogMsg(Format("[%d] : FreeAll()", channel, 0));
  std::vector<ConfMember> linked;
  {
    BoardHold hold(confDrive->boardLock());
    linked = members;
  }
  for (const ConfMember& m : linked) Unlink(m.channel);
  // Leaving the group this line joined is the owner's unlink; it runs on
  // this thread without the board lock held, so that the owner's StopPlay
  // keeps the lock order.
  const int32_t owner = groupOwner;
  if (owner >= 0) confDrive->AskOwnerUnlink(owner, channel);
  return 0;
}

int32_t TagConfLine::GetLinkList(std::vector<int32_t>& lines, std::vector<int32_t>& listen_only,
                                 std::vector<int32_t>& values) {
  BoardHold hold(confDrive->boardLock());
  lines.clear();
  listen_only.clear();
  values.clear();
  for (const ConfMember& m : members) {
    lines.push_back(m.channel);
    listen_only.push_back(m.listenOnly);
    values.push_back(m.value);
  }
  return groupId;
}

}  // namespace telephony
