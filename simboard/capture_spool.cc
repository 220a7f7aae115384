#include "simboard/capture_spool.h"

namespace simboard {

bool CaptureSpool::Open(const std::string& path, int64_t position,
                        platform::FileOpenError& why) {
  std::lock_guard<std::mutex> hold(write_mutex_);
  return file_.Open(path, position, &why);
}

void CaptureSpool::Put(const uint8_t* bytes, size_t n) {
  std::lock_guard<std::mutex> hold(bytes_mutex_);
  if (pending_.size() + n > kMaxCaptureBacklog) return;
  pending_.append(reinterpret_cast<const char*>(bytes), n);
}

bool CaptureSpool::Due() const {
  std::lock_guard<std::mutex> hold(bytes_mutex_);
  return pending_.size() >= kVoiceFileBlock;
}

void CaptureSpool::Flush() {
  std::lock_guard<std::mutex> hold(write_mutex_);
  WritePending();
}

void CaptureSpool::Finish() {
  std::lock_guard<std::mutex> hold(write_mutex_);
  WritePending();
  file_.Close();
}

void CaptureSpool::WritePending() {
  {
    std::lock_guard<std::mutex> take(bytes_mutex_);
    writing_.swap(pending_);
  }
  file_.Write(reinterpret_cast<const uint8_t*>(writing_.data()), writing_.size());
  file_.Flush();
  writing_.clear();
}

}  // namespace simboard
