#include "vttel/board_system_parts.h"

namespace vttel {

int32_t BoardSystemParts::BuildDrive(std::string_view cfg_file, frame::TagRunCfg* cfg) {
  DeleteDrive();
  drive_ = std::make_unique<telephony::TagTelDrive>(cfg_file, cfg,
                                                    telephony::SystemCards(*board_));
  running_.store(drive_.get());
  info_.Attach(drive_.get());
  return drive_->status.load();
}

int32_t BoardSystemParts::DriveStatus() const {
  return drive_ ? drive_->status.load() : telephony::kDriveCfgError;
}

frame::LinesByKind BoardSystemParts::CountLinesByKind() const {
  frame::LinesByKind n;
  if (drive_) n.total = drive_->CountLinesByKind(&n.external, &n.internal, &n.virtual_lines, &n.ip);
  return n;
}

int32_t BoardSystemParts::RunAllLines(std::string_view cfg_file) {
  telephony::TagTelDrive* drive = running_.load();
  return drive != nullptr ? drive->RunAllLines(cfg_file) : telephony::kRunShuttingDown;
}

bool BoardSystemParts::HangupLine(int32_t line) {
  if (!drive_ || drive_->status.load() != telephony::kDriveReady) return false;
  telephony::TagTelLine* rec = drive_->Line(line);
  if (rec == nullptr) return false;
  rec->call().Hangup();
  return true;
}

std::shared_ptr<engine::TagTelBasic> BoardSystemParts::LineScript(int32_t line) const {
  if (!drive_) return nullptr;
  const telephony::TagTelLine* rec = drive_->Line(line);
  return rec != nullptr ? rec->Script() : nullptr;
}

void BoardSystemParts::StartReload() {
  if (drive_) drive_->StartReload();
}

void BoardSystemParts::BeginShutdown() {
  if (telephony::TagTelDrive* drive = running_.load()) drive->BeginShutdown();
}

void BoardSystemParts::DeleteDrive() {
  running_.store(nullptr);
  info_.Detach();
  drive_.reset();
}

}  // namespace vttel
