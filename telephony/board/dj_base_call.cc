#include "telephony/board/dj_base_call.h"

#include <string>

#include "frame/log.h"

namespace telephony {

TagDjBaseCall::TagDjBaseCall(int32_t line_no, TagDjDigitDrive* conf_drive)
    : confLine_(std::make_unique<TagConfLine>(conf_drive, line_no, this)) {
  lineNo = line_no;
}

TagDjBaseCall::~TagDjBaseCall() {
  stopFlag.store(1, std::memory_order_relaxed);
  confLine_.reset();
}

void TagDjBaseCall::ErrorLog(std::string_view text) {
  std::string line = "lcnt=" + std::to_string(lineNo) + ", ";
  line.append(text);
  frame::LogAlways(line);
}

bool TagDjBaseCall::IsPlayingOrRecording() {
  std::lock_guard<std::recursive_mutex> media(mediaLock_);
  return playing != 0 || recording != 0;
}

}  // namespace telephony
