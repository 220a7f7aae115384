// The program's system parts: the line drive (TagTelDrive) on the cards of
// the simulated board. The board is the caller's and must outlive this.
//
// Thread rules: as frame::SystemParts. The drive pointer is published
// atomically so that RunAllLines on the main run thread reads it once; the
// frame joins that thread before DeleteDrive.
#ifndef VTTEL_VTTEL_BOARD_SYSTEM_PARTS_H_
#define VTTEL_VTTEL_BOARD_SYSTEM_PARTS_H_

#include <atomic>
#include <memory>

#include "frame/system_parts.h"
#include "simboard/sim_board.h"
#include "telephony/tel_drive.h"
#include "telephony/tel_line_info.h"

namespace vttel {

class BoardSystemParts : public frame::SystemParts {
 public:
  explicit BoardSystemParts(simboard::SimBoard* board) : board_(board) {}
  ~BoardSystemParts() override { DeleteDrive(); }

  int32_t BuildDrive(std::string_view cfg_file, frame::TagRunCfg* cfg) override;
  bool HasDrive() const override { return drive_ != nullptr; }
  int32_t DriveStatus() const override;
  const frame::LineDriveFacts* Facts() const override { return drive_.get(); }
  frame::LinesByKind CountLinesByKind() const override;
  frame::LineInfoSource* LineInfo() override { return &info_; }
  int32_t RunAllLines(std::string_view cfg_file) override;
  void StartReload() override;
  void BeginShutdown() override;
  void DeleteDrive() override;
  int32_t AbandonedLines() override { return telephony::ReapAbandonedLines(0); }
  // The window's "Hangup": tells the line's call to hang up when the line
  // exists and the drive is ready; false otherwise. Window thread.
  bool HangupLine(int32_t line);
  // The script the line runs now (null: no such line, no drive or no
  // script): the line's own reference. Window thread.
  std::shared_ptr<engine::TagTelBasic> LineScript(int32_t line) const;

 private:
  simboard::SimBoard* board_;
  telephony::TelLineInfo info_;
  std::unique_ptr<telephony::TagTelDrive> drive_;
  std::atomic<telephony::TagTelDrive*> running_{nullptr};  // drive_ while it exists
};

}  // namespace vttel

#endif  // VTTEL_VTTEL_BOARD_SYSTEM_PARTS_H_
