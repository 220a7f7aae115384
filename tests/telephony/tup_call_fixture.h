// An E1 line on the simulated board for the call tests: the TUP drive with
// its board's control socket open, the call object of E1 channel 3 in the
// drive's table, and a control client acting as the far end.
#ifndef VTTEL_TESTS_TELEPHONY_TUP_CALL_FIXTURE_H_
#define VTTEL_TESTS_TELEPHONY_TUP_CALL_FIXTURE_H_

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "simboard/control_client.h"
#include "telephony/board/dj_tup_call.h"
#include "telephony/board/dj_tup_drive.h"
#include "tests/telephony/board_drive_fixture.h"

namespace telephony {

// The arguments of an event line "EV <seq> <type> <addr> <args>".
inline std::string EventArgs(const std::optional<std::string>& line) {
  if (!line) return "(none)";
  size_t at = 0;
  for (int word = 0; word < 4 && at != std::string::npos; ++word) at = line->find(' ', at + 1);
  return at == std::string::npos ? "" : line->substr(at + 1);
}

// The sequence number of an event line; 0 for none.
inline uint64_t EventSeq(const std::optional<std::string>& line) {
  return line ? std::stoull(line->substr(3)) : 0;
}

class TupLine {
 public:
  static constexpr int32_t kChannel = 3;

  explicit TupLine(const std::string& sim_ini = "")
      : folder_(sim_ini + "Strict=1\n"), drive_(folder_.board()) {
    std::string error;
    EXPECT_TRUE(folder_.board().StartControl(error)) << error;
    call_.reset(static_cast<TagDjTupCall*>(drive_.CreateLineCall(kChannel).release()));
    EXPECT_TRUE(far_.Connect(folder_.path() + "/simboard.sock"));
  }
  ~TupLine() {
    far_.Close();
    call_.reset();
  }

  TagDjTupCall& call() { return *call_; }
  TagDjTupDrive& drive() { return drive_; }
  simboard::ControlClient& far() { return far_; }
  BoardFolder& folder() { return folder_; }
  std::string File(const std::string& name) const { return folder_.path() + "/" + name; }

  // The circuit field of the line's state, "" when refused.
  std::string State(const std::string& field) {
    auto state = far_.State("E3");
    return state && state->count(field) ? state->at(field) : "";
  }

 private:
  BoardFolder folder_;
  TagDjTupDrive drive_;
  std::unique_ptr<TagDjTupCall> call_;
  simboard::ControlClient far_;
};

}  // namespace telephony

#endif  // VTTEL_TESTS_TELEPHONY_TUP_CALL_FIXTURE_H_
