// What the conference work costs, pauses aside:
//  - a line joining and leaving a named meeting room (made and closed each
//    time) while other rooms exist;
//  - finding the room of a line ("IsInConf("), which looks through the rooms;
//  - a group link and unlink of two E1 lines on the simulated board, and a
//    member taken over from another owner's group (its owner unlinks it
//    first), with the link pauses of the line kinds left out (a clock that
//    only counts its sleeps).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "simboard/sim_board.h"
#include "telephony/board/dj_tup_call.h"
#include "telephony/board/dj_tup_drive.h"
#include "telephony/name_conf.h"
#include "telephony/vt_call.h"

namespace {

using telephony::TagNameConfCtrl;
using telephony::TagVtCall;

constexpr int kMembersPerRoom = 8;

// A line whose room operations succeed at once.
class RoomLine : public TagVtCall {
 public:
  explicit RoomLine(int32_t line) { lineNo = line; }
  int32_t CreateConfRoom(int32_t& is_sip, int32_t& session) override {
    is_sip = 0;
    session = ++sessions_;
    return 0;
  }
  int32_t JoinConfRoom(int32_t, int32_t, int32_t) override { return 0; }
  int32_t ExitConfRoom(int32_t, int32_t) override { return 0; }
  int32_t CloseConfRoom(int32_t, int32_t) override { return 0; }
  void TraceLog(std::string_view) override {}

 private:
  int32_t sessions_ = 0;
};

// rooms rooms of kMembersPerRoom members each, keyed "\"room<i>\"".
void FillRooms(TagNameConfCtrl& ctrl, int rooms) {
  std::lock_guard<std::mutex> hold(ctrl.lock());
  for (int r = 0; r < rooms; ++r) {
    const std::string name = "\"room" + std::to_string(r) + "\"";
    ctrl.AddRoom(name, r + 1, 0);
    int32_t session = 0;
    for (int m = 0; m < kMembersPerRoom; ++m) {
      ctrl.AddMember(name, 1000 + r * kMembersPerRoom + m, m & 1, m, session);
    }
  }
}

void BM_JoinAndExitRoom(benchmark::State& state) {
  TagNameConfCtrl ctrl;
  FillRooms(ctrl, static_cast<int>(state.range(0)));
  telephony::InstallNameConfCtrl(&ctrl);
  RoomLine line(1);
  for (auto _ : state) {
    benchmark::DoNotOptimize(line.JoinNameConf("\"sales\"", 0));
    benchmark::DoNotOptimize(line.ExitNameConf());
  }
  telephony::InstallNameConfCtrl(nullptr);
}
BENCHMARK(BM_JoinAndExitRoom)->Arg(1)->Arg(100)->Arg(1000);

void BM_FindRoomOfLine(benchmark::State& state) {
  TagNameConfCtrl ctrl;
  const int rooms = static_cast<int>(state.range(0));
  FillRooms(ctrl, rooms);
  telephony::InstallNameConfCtrl(&ctrl);
  RoomLine line(1);
  const int32_t last = 1000 + rooms * kMembersPerRoom - 1;  // in the last room
  std::string room;
  int32_t listen = 0, session = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(line.FindNameConfOfChannel(last, room, listen, session));
  }
  telephony::InstallNameConfCtrl(nullptr);
}
BENCHMARK(BM_FindRoomOfLine)->Arg(1)->Arg(100)->Arg(1000);

// E1 lines 3, 5 and 9 of a simulated board with conference groups.
class GroupBoard {
 public:
  GroupBoard() {
    char pattern[] = "/tmp/vttel-conf-bench-XXXXXX";
    dir_ = mkdtemp(pattern);
    std::ofstream(dir_ + "/SimBoard.ini") << "Conference=newer\n";
    board_ = std::make_unique<simboard::SimBoard>(simboard::SimBoard::LoadConfig(dir_));
    drive_ = std::make_unique<telephony::TagDjTupDrive>(*board_);
    for (int32_t ch : {3, 5, 9}) {
      calls_[ch].reset(static_cast<telephony::TagDjTupCall*>(drive_->CreateLineCall(ch).release()));
    }
  }
  ~GroupBoard() {
    calls_.clear();
    drive_.reset();
    board_.reset();
    std::filesystem::remove_all(dir_);
  }
  telephony::TagDjTupCall& operator[](int32_t ch) { return *calls_.at(ch); }

 private:
  std::string dir_;
  std::unique_ptr<simboard::SimBoard> board_;
  std::unique_ptr<telephony::TagDjTupDrive> drive_;
  std::map<int32_t, std::unique_ptr<telephony::TagDjTupCall>> calls_;
};

void BM_GroupLinkAndUnlink(benchmark::State& state) {
  platform::FakeClock clock;
  platform::ScopedClock use(&clock);
  GroupBoard lines;
  for (auto _ : state) {
    benchmark::DoNotOptimize(lines[3].LinkTo(9, 0));
    benchmark::DoNotOptimize(lines[3].UnlinkTo(9, 0));
  }
}
BENCHMARK(BM_GroupLinkAndUnlink);

void BM_MemberTakenFromAnotherOwner(benchmark::State& state) {
  platform::FakeClock clock;
  platform::ScopedClock use(&clock);
  GroupBoard lines;
  lines[5].LinkTo(9, 0);
  int32_t owner = 5;
  for (auto _ : state) {
    owner = owner == 5 ? 3 : 5;  // 9 moves to the other owner's group
    benchmark::DoNotOptimize(lines[owner].LinkTo(9, 0));
  }
  lines[owner].UnlinkAll();
}
BENCHMARK(BM_MemberTakenFromAnotherOwner);

}  // namespace

BENCHMARK_MAIN();
