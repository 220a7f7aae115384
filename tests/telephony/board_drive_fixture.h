// A board drive on the simulated board for the drive's tests: a scratch
// program folder as the working directory (with an optional "Card.ini"), a
// SimBoard configured from a SimBoard.ini text, the process log written to
// a file at log level 1 and a recording message service.
#ifndef VTTEL_TESTS_TELEPHONY_BOARD_DRIVE_FIXTURE_H_
#define VTTEL_TESTS_TELEPHONY_BOARD_DRIVE_FIXTURE_H_

#include <memory>
#include <string>
#include <vector>

#include "frame/log.h"
#include "frame/settings.h"
#include "platform/message_service.h"
#include "simboard/sim_board.h"
#include "tests/test_support.h"

namespace telephony {

class BoardFolder {
 public:
  // sim_ini: the lines of "SimBoard.ini"; card_ini: "Card.ini", none when empty.
  explicit BoardFolder(const std::string& sim_ini, const std::string& card_ini = "")
      : chdir_(dir_.path()), messages_(&recorder_) {
    if (!card_ini.empty()) testing_support::WriteFile("Card.ini", card_ini);
    testing_support::WriteFile("SimBoard.ini", sim_ini);
    saved_level_ = frame::GetSettings().log_level.load();
    frame::GetSettings().log_level = 1;
    frame::OpenProcessLog(
        std::make_unique<frame::TagWriteLog>("drive_log.txt", 1 << 20, true, true));
    board_ = std::make_unique<simboard::SimBoard>(simboard::SimBoard::LoadConfig(dir_.path()));
  }
  ~BoardFolder() {
    board_.reset();
    frame::CloseProcessLog();
    frame::GetSettings().log_level = saved_level_;
  }

  simboard::SimBoard& board() { return *board_; }
  const std::string& path() const { return dir_.path(); }
  std::vector<platform::Message> messages() const { return recorder_.messages(); }
  // The log written so far.
  std::string Log() {
    frame::FlushProcessLog();
    return testing_support::ReadFile("drive_log.txt").value_or("");
  }

 private:
  testing_support::TempDir dir_;
  testing_support::ScopedChdir chdir_;
  platform::RecordingMessageService recorder_;
  platform::ScopedMessageService messages_;
  int32_t saved_level_ = 0;
  std::unique_ptr<simboard::SimBoard> board_;
};

}  // namespace telephony

#endif  // VTTEL_TESTS_TELEPHONY_BOARD_DRIVE_FIXTURE_H_
