#include "telephony/tel_line_info.h"

#include <mutex>

#include "telephony/line_settings.h"
#include "telephony/tel_drive.h"

namespace telephony {

void TelLineInfo::Attach(const TagTelDrive* drive) {
  std::unique_lock<std::shared_mutex> lock(mu_);
  drive_ = drive;
}

bool TelLineInfo::DriveReady() {
  std::shared_lock<std::shared_mutex> lock(mu_);
  return drive_ != nullptr && drive_->status.load() == kDriveReady;
}

std::string TelLineInfo::LineName(int line) {
  std::shared_lock<std::shared_mutex> lock(mu_);
  const TagTelLine* rec = drive_ != nullptr ? drive_->Line(line) : nullptr;
  return rec != nullptr ? rec->lineName() : std::string();
}

bool TelLineInfo::HasScript(int line) {
  std::shared_lock<std::shared_mutex> lock(mu_);
  const TagTelLine* rec = drive_ != nullptr ? drive_->Line(line) : nullptr;
  return rec != nullptr && rec->Script() != nullptr;
}

std::string TelLineInfo::ScriptFileName(int line) {
  std::shared_lock<std::shared_mutex> lock(mu_);
  const TagTelLine* rec = drive_ != nullptr ? drive_->Line(line) : nullptr;
  return rec != nullptr ? rec->ScriptFile() : std::string();
}

int TelLineInfo::CompileResult(int line) {
  std::shared_lock<std::shared_mutex> lock(mu_);
  const TagTelLine* rec = drive_ != nullptr ? drive_->Line(line) : nullptr;
  if (rec == nullptr) return -1;
  const std::shared_ptr<engine::TagTelBasic> script = rec->Script();
  return script != nullptr ? script->initResult : -1;
}

bool TelLineInfo::KeyDisplayMode(int line, int* mode) {
  std::shared_lock<std::shared_mutex> lock(mu_);
  const TagTelLine* rec = drive_ != nullptr ? drive_->Line(line) : nullptr;
  if (rec == nullptr) return false;
  const std::shared_ptr<engine::TagTelBasic> script = rec->Script();
  const LineSettings* settings = script != nullptr ? FindLineSettings(*script) : nullptr;
  if (settings == nullptr) return false;
  *mode = settings->keys.dispKeys.load(std::memory_order_relaxed);
  return true;
}

// The statements of a compiled script never change; the reference keeps
// the script alive while its text is copied.
std::string TelLineInfo::StatementText(int line, int32_t index) {
  std::shared_lock<std::shared_mutex> lock(mu_);
  const TagTelLine* rec = drive_ != nullptr ? drive_->Line(line) : nullptr;
  if (rec == nullptr) return {};
  const std::shared_ptr<engine::TagTelBasic> script = rec->Script();
  const engine::TagOper* oper = script != nullptr ? script->statements.at(index) : nullptr;
  return oper != nullptr ? oper->sourceText : std::string();
}

}  // namespace telephony
