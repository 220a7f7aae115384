// Board lines of one drive on the simulated board for the analog line
// tests: E1 channel 3 and the analog ports of "AnalogPorts=0,1,5,0,1"
// (lines 30..34: phone A0, trunk A1, other A2, phone A3, trunk A4), each
// with its call object in the drive's table, the board's control socket
// open and a control client acting as the far end.
#ifndef VTTEL_TESTS_TELEPHONY_ANALOG_LINES_FIXTURE_H_
#define VTTEL_TESTS_TELEPHONY_ANALOG_LINES_FIXTURE_H_

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "simboard/control_client.h"
#include "telephony/board/dj_tup_drive.h"
#include "telephony/board/dj_user_call.h"
#include "tests/telephony/board_drive_fixture.h"
#include "tests/telephony/tup_call_fixture.h"  // EventArgs

namespace telephony {

class AnalogLines {
 public:
  static constexpr int32_t kE1 = 3;
  static constexpr int32_t kPhone = 30, kTrunk = 31, kOther = 32, kPhone2 = 33;

  // more_e1: further E1 channels that get a call object.
  explicit AnalogLines(const std::string& sim_ini = "", std::vector<int32_t> more_e1 = {})
      : folder_("Trunks=1\nAnalogPorts=0,1,5,0,1\nStrict=1\n" + sim_ini), drive_(folder_.board()) {
    std::string error;
    EXPECT_TRUE(folder_.board().StartControl(error)) << error;
    more_e1.insert(more_e1.end(), {kE1, kPhone, kTrunk, kOther, kPhone2, kPhone2 + 1});
    for (int32_t line : more_e1) {
      calls_[line].reset(static_cast<TagDjBaseCall*>(drive_.CreateLineCall(line).release()));
    }
    EXPECT_TRUE(far_.Connect(folder_.path() + "/simboard.sock"));
  }
  ~AnalogLines() {
    far_.Close();
    calls_.clear();
  }

  TagDjBaseCall& operator[](int32_t line) { return *calls_.at(line); }
  TagDjUserCall& user(int32_t line) { return static_cast<TagDjUserCall&>(*calls_.at(line)); }
  TagDjTupDrive& drive() { return drive_; }
  simboard::SimBoard& board() { return folder_.board(); }
  simboard::ControlClient& far() { return far_; }
  std::string File(const std::string& name) const { return folder_.path() + "/" + name; }
  std::string Log() { return folder_.Log(); }
  // A field of a line's far-end state ("A0", "E3").
  std::string State(const std::string& addr, const std::string& field) {
    auto state = far_.State(addr);
    return state && state->count(field) ? state->at(field) : "";
  }
  // The journal's entries of one ordinal ("e1:85", "fsk:4").
  std::vector<simboard::JournalEntry> Calls(const std::string& ordinal) {
    std::vector<simboard::JournalEntry> found;
    for (const simboard::JournalEntry& e : board().Journal()) {
      if (e.Ordinal() == ordinal) found.push_back(e);
    }
    return found;
  }

 private:
  BoardFolder folder_;
  TagDjTupDrive drive_;
  std::map<int32_t, std::unique_ptr<TagDjBaseCall>> calls_;
  simboard::ControlClient far_;
};

}  // namespace telephony

#endif  // VTTEL_TESTS_TELEPHONY_ANALOG_LINES_FIXTURE_H_
