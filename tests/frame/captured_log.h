// The process log in a file of the working folder (log level 1, the file
// new) for the life of this object, and what has been written to it. For
// tests of any layer that logs through frame/log.h.
#ifndef VTTEL_TESTS_FRAME_CAPTURED_LOG_H_
#define VTTEL_TESTS_FRAME_CAPTURED_LOG_H_

#include <filesystem>
#include <memory>
#include <string>
#include <utility>

#include "frame/log.h"
#include "frame/log_writer.h"
#include "frame/settings.h"
#include "tests/test_support.h"

namespace frame_test {

class CapturedLog {
 public:
  explicit CapturedLog(std::string file = "captured_log.txt") : file_(std::move(file)) {
    std::filesystem::remove(file_);
    saved_level_ = frame::GetSettings().log_level.load();
    frame::GetSettings().log_level = 1;
    frame::OpenProcessLog(std::make_unique<frame::TagWriteLog>(file_, 1 << 20, true, true));
  }
  ~CapturedLog() {
    frame::CloseProcessLog();
    frame::GetSettings().log_level = saved_level_;
  }
  CapturedLog(const CapturedLog&) = delete;
  CapturedLog& operator=(const CapturedLog&) = delete;

  std::string Text() const {
    frame::FlushProcessLog();
    return testing_support::ReadFile(file_).value_or("");
  }

 private:
  std::string file_;
  int saved_level_ = 0;
};

}  // namespace frame_test

#endif  // VTTEL_TESTS_FRAME_CAPTURED_LOG_H_
