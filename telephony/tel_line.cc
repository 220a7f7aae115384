#include "telephony/tel_line.h"

#include <utility>

namespace telephony {

TagTelLine::TagTelLine(int32_t line_no, TagVtCard* card, std::unique_ptr<TagVtCall> call)
    : line_no_(line_no), card_(card), call_(std::move(call)) {}

TagTelLine::~TagTelLine() {
  TakeScript().reset();
  call_.reset();
}

std::string TagTelLine::ScriptFile() const {
  std::lock_guard<std::mutex> lock(mu_);
  return script_file_;
}

void TagTelLine::SetScriptFile(std::string_view file) {
  std::lock_guard<std::mutex> lock(mu_);
  script_file_.assign(file);
}

std::shared_ptr<engine::TagTelBasic> TagTelLine::Script() const {
  std::lock_guard<std::mutex> lock(mu_);
  return script_;
}

void TagTelLine::SetScript(std::shared_ptr<engine::TagTelBasic> script) {
  std::shared_ptr<engine::TagTelBasic> old;
  {
    std::lock_guard<std::mutex> lock(mu_);
    old = std::exchange(script_, std::move(script));
  }
  // The old script (if this was its last reference) goes outside the lock.
}

std::shared_ptr<engine::TagTelBasic> TagTelLine::TakeScript() {
  std::lock_guard<std::mutex> lock(mu_);
  return std::exchange(script_, nullptr);
}

}  // namespace telephony
