// SimBoard: switching (two lines carry each other's audio) and both
// conference group interfaces.
#include <algorithm>
#include <cstring>

#include "simboard/sim_board_entry.h"

namespace simboard {
namespace {

// Member resources of one conference module (16 groups).
constexpr int32_t kGroupsPerModule = 16;
constexpr int32_t kMembersPerModule = 32;
// Results of the newer interface.
constexpr int32_t kConfBadArgument = -1;
constexpr int32_t kConfAlreadyInGroup = -5;

}  // namespace

// --- Switching. ---

int32_t SimBoard::Link(int32_t a, int32_t b) {
  if (a < 0 || b < 0 || a == b) return 0;
  SimLine& la = lines_[a];
  SimLine& lb = lines_[b];
  if (la.partner >= 0 || lb.partner >= 0) return 0;
  la.partner = b;
  lb.partner = a;
  Clock(la);
  Clock(lb);
  Post("LINK", la.name, lb.name);
  Post("LINK", lb.name, la.name);
  return 1;
}

int32_t SimBoard::Unlink(int32_t line, Address::Kind partner_kind) {
  if (line < 0 || lines_[line].partner < 0) return 0;
  SimLine& l = lines_[line];
  SimLine& other = lines_[l.partner];
  // Each clearing entry takes down only its own kind of link.
  if (other.addr.kind != partner_kind) return 0;
  l.partner = -1;
  other.partner = -1;
  Post("UNLINK", l.name, "");
  Post("UNLINK", other.name, "");
  return 1;
}

int32_t SimBoard::LinkTrunkAndTrunk(int32_t ch, int32_t other_ch) {
  Entry e(*this, kLibE1, 147, "LinkTrunkAndTrunk", ch, other_ch);
  return e.Done(Link(LineOfChannel(ch), LineOfChannel(other_ch)));
}

int32_t SimBoard::LinkTrunkAndUser(int32_t ch, int32_t port) {
  Entry e(*this, kLibE1, 144, "LinkTrunkAndUser", ch, port);
  return e.Done(Link(LineOfChannel(ch), LineOfPort(port)));
}

int32_t SimBoard::LinkUserAndUser(int32_t port, int32_t other_port) {
  Entry e(*this, kLibE1, 149, "LinkUserAndUser", port, other_port);
  return e.Done(Link(LineOfPort(port), LineOfPort(other_port)));
}

int32_t SimBoard::ClearLinkTrunkAndTrunk(int32_t ch) {
  Entry e(*this, kLibE1, 148, "ClearLinkTrunkAndTrunk", ch);
  return e.Done(Unlink(LineOfChannel(ch), Address::Kind::kE1));
}

int32_t SimBoard::ClearLinkTrunkAndUserByTrunk(int32_t ch) {
  Entry e(*this, kLibE1, 145, "ClearLinkTrunkAndUserByTrunk", ch);
  return e.Done(Unlink(LineOfChannel(ch), Address::Kind::kAnalog));
}

int32_t SimBoard::ClearLinkUserAndUser(int32_t port) {
  Entry e(*this, kLibE1, 150, "ClearLinkUserAndUser", port);
  return e.Done(Unlink(LineOfPort(port), Address::Kind::kAnalog));
}

int32_t SimBoard::ChannelSwitchState(int32_t ch) {
  Entry e(*this, kLibE1, 34, "ChannelSwitchState", ch);
  int32_t line = LineOfChannel(ch);
  return e.Done(line < 0 ? -1 : lines_[line].partner);
}

// --- Conference groups. ---

bool SimBoard::GroupValid(int32_t group) const {
  return group >= 0 && static_cast<size_t>(group) < groups_.size();
}

int32_t SimBoard::JoinGroup(int32_t group, int32_t line, bool talk, int32_t gain) {
  if (!GroupValid(group) || line < 0) return kConfBadArgument;
  SimLine& l = lines_[line];
  if (l.group >= 0) return kConfAlreadyInGroup;
  l.group = group;
  l.talker = talk;
  Clock(l);
  groups_[group].members.push_back(line);
  Post("CONFJOIN", l.name,
       std::to_string(group) + (talk ? " talk " : " listen ") + std::to_string(gain));
  return 0;
}

bool SimBoard::LeaveGroup(int32_t line) {
  if (line < 0 || lines_[line].group < 0) return false;
  SimLine& l = lines_[line];
  std::vector<int32_t>& members = groups_[l.group].members;
  members.erase(std::remove(members.begin(), members.end(), line), members.end());
  Post("CONFLEAVE", l.name, std::to_string(l.group));
  l.group = -1;
  l.talker = false;
  return true;
}

void SimBoard::FreeGroup(int32_t group) {
  if (!GroupValid(group)) return;
  while (!groups_[group].members.empty()) LeaveGroup(groups_[group].members.front());
}

void SimBoard::FillConfRecord(board::ConfInfoRecord& record, ConferenceKind kind) const {
  record.fill(0);
  uint16_t count = ConfEnabled(kind) ? static_cast<uint16_t>(groups_.size()) : 0;
  record[board::kConfInfoGroupCountOffset] = static_cast<uint8_t>(count & 0xFF);
  record[board::kConfInfoGroupCountOffset + 1] = static_cast<uint8_t>(count >> 8);
}

// Older interface.

int32_t SimBoard::ConfInitOld() {
  Entry e(*this, kLibE1, 288, "ConfInitOld");
  return e.Done(ConfEnabled(ConferenceKind::kOlder) ? 0 : -1);
}

void SimBoard::ConfInfoOld(board::ConfInfoRecord& record) {
  Entry e(*this, kLibE1, 290, "ConfInfoOld");
  FillConfRecord(record, ConferenceKind::kOlder);
}

void SimBoard::ConfReleaseOld() { Entry e(*this, kLibE1, 289, "ConfReleaseOld"); }

int32_t SimBoard::ConfEnter(int32_t group, int32_t listen, int32_t type, int32_t number,
                            int32_t gain, int32_t reserved) {
  Entry e(*this, kLibE1, 291, "ConfEnter", group, listen, type, number, gain, reserved);
  if (!ConfEnabled(ConferenceKind::kOlder)) return e.Done(-1);
  int32_t r = JoinGroup(group, LineOfMember(type, number), listen == 0, gain);
  return e.Done(r < 0 ? -1 : r);
}

int32_t SimBoard::ConfLeave(int32_t type, int32_t number) {
  Entry e(*this, kLibE1, 292, "ConfLeave", type, number);
  if (!ConfEnabled(ConferenceKind::kOlder)) return e.Done(-1);
  return e.Done(LeaveGroup(LineOfMember(type, number)) ? 0 : -1);
}

void SimBoard::ConfFreeOld(int32_t group) {
  Entry e(*this, kLibE1, 293, "ConfFreeOld", group);
  if (ConfEnabled(ConferenceKind::kOlder)) FreeGroup(group);
}

int32_t SimBoard::ConfGroupOfOld(int32_t type, int32_t number) {
  Entry e(*this, kLibE1, 294, "ConfGroupOfOld", type, number);
  int32_t line = LineOfMember(type, number);
  if (!ConfEnabled(ConferenceKind::kOlder) || line < 0) return e.Done(-1);
  return e.Done(lines_[line].group);
}

int32_t SimBoard::ConfModuleFree(int32_t module) {
  Entry e(*this, kLibE1, 311, "ConfModuleFree", module);
  if (!ConfEnabled(ConferenceKind::kOlder) || module < 0) return e.Done(0);
  int32_t used = 0;
  for (int32_t g = module * kGroupsPerModule; g < (module + 1) * kGroupsPerModule; ++g) {
    if (GroupValid(g)) used += static_cast<int32_t>(groups_[g].members.size());
  }
  return e.Done(std::max(0, kMembersPerModule - used));
}

// Newer interface.

int32_t SimBoard::ConfInitNew() {
  Entry e(*this, kLibE1, 364, "ConfInitNew");
  conf_last_result_ = ConfEnabled(ConferenceKind::kNewer) ? 0 : -1;
  return e.Done(conf_last_result_);
}

void SimBoard::ConfInfoNew(board::ConfInfoRecord& record) {
  Entry e(*this, kLibE1, 366, "ConfInfoNew");
  FillConfRecord(record, ConferenceKind::kNewer);
}

void SimBoard::ConfSetMode(int32_t a, int32_t b) {
  Entry e(*this, kLibE1, 407, "ConfSetMode", a, b);
}

void SimBoard::ConfReleaseNew() { Entry e(*this, kLibE1, 365, "ConfReleaseNew"); }

int32_t SimBoard::ConfJoin(int32_t group, int32_t type, int32_t number, int32_t mode,
                           int32_t gain, int32_t level, int32_t flag) {
  Entry e(*this, kLibE1, 370, "ConfJoin", group, type, number, mode, gain, level, flag);
  int32_t r = kConfBadArgument;
  if (ConfEnabled(ConferenceKind::kNewer) && (mode == 1 || mode == 2)) {
    r = JoinGroup(group, LineOfMember(type, number), mode == 2, gain);
  }
  conf_last_result_ = r;
  return e.Done(r);
}

int32_t SimBoard::ConfTalkSetup(int32_t type, int32_t number, int32_t flag) {
  Entry e(*this, kLibE1, 363, "ConfTalkSetup", type, number, flag);
  conf_last_result_ = 0;
  return e.Done(0);
}

int32_t SimBoard::ConfExit(int32_t type, int32_t number, int32_t flag) {
  Entry e(*this, kLibE1, 371, "ConfExit", type, number, flag);
  bool left = ConfEnabled(ConferenceKind::kNewer) && LeaveGroup(LineOfMember(type, number));
  conf_last_result_ = left ? 0 : kConfBadArgument;
  return e.Done(conf_last_result_);
}

int32_t SimBoard::ConfGroupOfNew(int32_t type, int32_t number) {
  Entry e(*this, kLibE1, 375, "ConfGroupOfNew", type, number);
  int32_t line = LineOfMember(type, number);
  int32_t group = ConfEnabled(ConferenceKind::kNewer) && line >= 0 ? lines_[line].group : -1;
  conf_last_result_ = group;
  return e.Done(group);
}

int32_t SimBoard::ConfFreeNew(int32_t group) {
  Entry e(*this, kLibE1, 369, "ConfFreeNew", group);
  if (!ConfEnabled(ConferenceKind::kNewer) || !GroupValid(group)) {
    conf_last_result_ = kConfBadArgument;
  } else {
    FreeGroup(group);
    conf_last_result_ = 0;
  }
  return e.Done(conf_last_result_);
}

int32_t SimBoard::ConfLastResult() {
  Entry e(*this, kLibE1, 408, "ConfLastResult");
  return e.Done(conf_last_result_);
}

}  // namespace simboard
