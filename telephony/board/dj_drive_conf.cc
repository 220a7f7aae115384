// The conference groups of the board drive: the group table, both board
// interfaces (the older one in modules of 16 groups, the newer one with a
// retry for a member that is still in a group) and the member gains.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>

#include "frame/log.h"
#include "platform/byte_order.h"
#include "telephony/board/dj_base_call.h"
#include "telephony/board/dj_digit_drive.h"

namespace telephony {
namespace {

// The newer interface answers a join of a member that is already in a
// group with this; the member leaves and the join is tried once more.
constexpr int32_t kMemberInGroup = -5;
constexpr int32_t kJoinAttempts = 2;
constexpr int32_t kJoinListen = 1;
constexpr int32_t kJoinTalk = 2;

int32_t GroupCountOf(const board::ConfInfoRecord& record) {
  return platform::LoadLe16(record.data() + board::kConfInfoGroupCountOffset);
}

// A negative board result is always logged, any other only with tracing on.
void LogBoardResult(int32_t result, const char* text) {
  if (result < 0) {
    frame::LogAlways(text);
  } else {
    frame::LogMsg(text);
  }
}

}  // namespace

void TagDjDigitDrive::InitConf() {
  confCount = 0;
  board::ConfInfoRecord info{};
  if (board().ConfInitOld() >= 0) {
    newConfApi = 0;
    board().ConfInfoOld(info);
  } else {
    newConfApi = 1;
    int32_t r = board().ConfInitNew();
    if (r < 0) frame::LogMsgF("DJConf_InitConfCardNew() : %d", r);
    board().ConfInfoNew(info);
    board().ConfSetMode(1, 0);
  }
  int32_t reported = GroupCountOf(info);
  confCount = std::min(reported, kMaxConfGroups);
  if (confCount != reported) {
    frame::LogAlwaysF("The board reports %d conference groups; %d are used.", reported,
                      confCount);
  }
  confBusy.fill(0);
  lastConfId = 0;
}

void TagDjDigitDrive::ReleaseConf() {
  if (newConfApi) {
    board().ConfReleaseNew();
  } else {
    board().ConfReleaseOld();
  }
}

int32_t TagDjDigitDrive::AllocGroup() {
  std::lock_guard<board::BoardLock> hold(*boardLock_);
  return newConfApi ? AllocGroupNewer() : AllocGroupOlder();
}

int32_t TagDjDigitDrive::AllocGroupNewer() {
  auto take = [this](int32_t group) {
    confBusy[static_cast<size_t>(group)] = 1;
    lastConfId = group;
    return group;
  };
  for (int32_t g = lastConfId + 1; g < confCount; ++g) {
    if (!confBusy[static_cast<size_t>(g)]) return take(g);
  }
  for (int32_t g = 0; g < confCount; ++g) {
    if (!confBusy[static_cast<size_t>(g)]) return take(g);
  }
  return -1;
}

int32_t TagDjDigitDrive::AllocGroupOlder() {
  int32_t modules = std::min(confCount / kConfModuleGroups, kMaxConfModules);
  std::array<int32_t, kMaxConfModules> free_res{};
  int32_t best = 0;
  for (int32_t m = 0; m < modules; ++m) {
    free_res[m] = board().ConfModuleFree(m);
    if (free_res[m] > free_res[best]) best = m;
  }
  char text[96];
  for (int32_t i = 0; i < modules; ++i) {
    int32_t m = (best + i) % modules;
    if (free_res[m] <= 1) continue;
    int32_t end = std::min((m + 1) * kConfModuleGroups, confCount);
    for (int32_t g = m * kConfModuleGroups; g < end; ++g) {
      if (confBusy[static_cast<size_t>(g)]) continue;
      confBusy[static_cast<size_t>(g)] = 1;
      lastConfId = g;
      snprintf(text, sizeof text, "curConfId=%d, res0=%d, res1=%d", g, free_res[0], free_res[1]);
      frame::LogMsg(text);
      return g;
    }
  }
  snprintf(text, sizeof text, "curConfId=%d, res0=%d, res1=%d", -1, free_res[0], free_res[1]);
  frame::LogMsg(text);
  return -1;
}

int32_t TagDjDigitDrive::JoinGroup(int32_t group, int32_t line, bool listen_only) {
  if (line < 0 || line >= telCount) return -1;
  std::lock_guard<board::BoardLock> hold(*boardLock_);
  if (newConfApi) return JoinGroupNewer(group, line, listen_only);
  int32_t type = MemberType(line), number = MemberNumber(line);
  int32_t gain = static_cast<int8_t>(MemberGain(line));
  int32_t r = board().ConfEnter(group, listen_only ? 1 : 0, type, number, gain, 0);
  char text[128];
  snprintf(text, sizeof text, "DJConf_EnterConf(%d, %d, %d, %d, %d): %d", group,
           listen_only ? 1 : 0, type, number, gain, r);
  LogBoardResult(r, text);
  return r < 0 ? r : 0;
}

int32_t TagDjDigitDrive::JoinGroupNewer(int32_t group, int32_t line, bool listen_only) {
  int32_t type = MemberType(line), number = MemberNumber(line);
  int32_t gain = listen_only ? 0 : static_cast<int8_t>(MemberGain(line));
  int32_t r = 0;
  for (int32_t attempt = 0; attempt < kJoinAttempts; ++attempt) {
    if (listen_only) {
      r = board().ConfJoin(group, type, number, kJoinListen, 0, 0, 1);
    } else {
      r = board().ConfJoin(group, type, number, kJoinTalk, gain, 100, 1);
      if (r >= 0 && r % 2 == 0) board().ConfTalkSetup(type, number, 0);
    }
    int32_t res = board().ConfLastResult();
    char text[160];
    snprintf(text, sizeof text,
             "DJConf_JoinConfGroup(id=%d, type=%d, chn=%d, isListen=%d, vol=%d): %d, res=%d",
             group, type, number, listen_only ? 1 : 0, gain, r, res);
    LogBoardResult(r, text);
    if (r != kMemberInGroup) break;
    board().ConfExit(type, number, 1);
  }
  return r < 0 ? r : 0;
}

int32_t TagDjDigitDrive::LeaveGroup(int32_t group, int32_t line) {
  if (line < 0 || line >= telCount) return -1;
  std::lock_guard<board::BoardLock> hold(*boardLock_);
  int32_t type = MemberType(line), number = MemberNumber(line);
  int32_t now_in = newConfApi ? board().ConfGroupOfNew(type, number)
                              : board().ConfGroupOfOld(type, number);
  char text[128];
  if (now_in != group) {
    snprintf(text, sizeof text, "Err: SubToConf(type=%d, ch=%d): ret=%d, id=%d, group=%d", type,
             number, now_in, group, now_in);
    frame::LogMsg(text);
    return -1;
  }
  int32_t r;
  if (newConfApi) {
    r = board().ConfExit(type, number, 0);
    int32_t res = board().ConfLastResult();
    snprintf(text, sizeof text, "DJConf_ExitConfGroup(type=%d, ch=%d): %d, res=%d", type, number,
             r, res);
  } else {
    r = board().ConfLeave(type, number);
    snprintf(text, sizeof text, "DJConf_LeaveConf(type=%d, ch=%d): %d", type, number, r);
  }
  LogBoardResult(r, text);
  return r;
}

void TagDjDigitDrive::FreeGroup(int32_t group) {
  if (group < 0 || group >= confCount) return;
  std::lock_guard<board::BoardLock> hold(*boardLock_);
  if (newConfApi) {
    int32_t r = board().ConfFreeNew(group);
    int32_t res = board().ConfLastResult();
    frame::LogMsgF("DJConf_FreeConfGroup(%d)=%d, res=%d", group, r, res);
  } else {
    board().ConfFreeOld(group);
  }
  confBusy[static_cast<size_t>(group)] = 0;
}

void TagDjDigitDrive::SetLineGroup(int32_t line, int32_t group, int32_t owner) {
  TagDjBaseCall* call = calls.at(line);
  if (call == nullptr) return;
  call->confLine().groupId = group;
  call->confLine().groupOwner = owner;
}

int32_t TagDjDigitDrive::LineGroup(int32_t line) {
  TagDjBaseCall* call = calls.at(line);
  return call == nullptr ? -1 : call->confLine().groupId.load();
}

int32_t TagDjDigitDrive::AskOwnerUnlink(int32_t owner, int32_t line) {
  if (!IsE1Line(line)) return -2;
  TagDjBaseCall* call = calls.at(owner);
  if (call == nullptr) return -1;
  return call->UnlinkTo(line, 0);
}

int32_t TagDjDigitDrive::MemberGain(int32_t line) const {
  const TagDjBaseCall* call = calls.at(line);
  int32_t v = call == nullptr ? 100 : call->confVolume;
  double b = v <= 100 ? 100 - v : v % 100;
  if (!newConfApi) return static_cast<int32_t>(b * (v <= 100 ? -1.27 : 1.27));
  double g = b * (v <= 100 ? -0.22 : 0.22) - 6;
  if (IsE1Line(line)) {
    g -= 2;
  } else if (IsAnalogLine(line)) {
    int32_t type = portType[static_cast<size_t>(line - e1Count)];
    if (type == kPortTrunk) g += 5;
    if (type == kPortPhone) g -= 10;
  }
  return static_cast<int32_t>(std::trunc(g));
}

}  // namespace telephony
