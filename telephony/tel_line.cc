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

std::shared_ptr<engine::ScriptStore> TagTelLine::Store(engine::StoreSlot slot) const {
  std::lock_guard<std::mutex> lock(mu_);
  if (script_ == nullptr || script_->initResult != 0) return nullptr;
  return script_->SharedStore(slot);
}

void TagTelLine::SetScript(std::shared_ptr<engine::TagTelBasic> script) {
  std::shared_ptr<engine::TagTelBasic> old;
  {
    std::lock_guard<std::mutex> lock(mu_);
    old = std::exchange(script_, std::move(script));
  }
  // The old script leaves the line outside the lock (its files are deleted
  // there); it is freed when its last reader lets go of it.
  if (old != nullptr) old->LeaveLine();
}

std::shared_ptr<engine::TagTelBasic> TagTelLine::TakeScript() {
  std::shared_ptr<engine::TagTelBasic> taken;
  {
    std::lock_guard<std::mutex> lock(mu_);
    taken = std::exchange(script_, nullptr);
  }
  if (taken != nullptr) taken->LeaveLine();
  return taken;
}

}  // namespace telephony
