// The compile error file "errmsg<line>.txt" and the compile message box.
#include <cstdio>
#include <string>

#include "engine/tel_basic.h"
#include "frame/log.h"
#include "platform/host_path.h"
#include "platform/message_service.h"

namespace engine {
namespace {

// The system's files have always ended their lines with CR LF.
constexpr const char* kLineEnd = "\r\n";

}  // namespace

void TagTelBasic::ReportError(int32_t line, std::string_view text, std::string_view detail,
                              bool warning) {
  if (warning && runMode != 0) return;
  const char* kind = warning ? "Warning" : "Error";
  std::string entry;
  if (line == kSummaryLine) {
    entry.append(kLineEnd).append(sourcePath).append(": ").append(text).append(", ");
    entry.append(detail).append(kLineEnd);
  } else {
    entry.append("[").append(kind).append("]").append(sourcePath).append("(");
    entry.append(std::to_string(line)).append("): ").append(text);
    if (!detail.empty()) {
      entry.append(", ").append(detail).append(kLineEnd);
    } else {
      entry.append(kLineEnd).append(kLineEnd);
    }
  }
  FILE* f = platform::OpenHostFile(ErrorFileName(lineNo), "ab");
  if (f == nullptr) return;  // the entry is lost; compiling goes on
  std::fwrite(entry.data(), 1, entry.size(), f);
  std::fclose(f);
}

void TagTelBasic::ShowError(int32_t line, std::string_view text, std::string_view detail) {
  if (isChild) return;
  std::string box;
  if (line != kSummaryLine) {
    char number[16];
    std::snprintf(number, sizeof number, "%4d: ", line);
    box.append(number);
  }
  box.append(text).append(",\r").append(detail);
  if (box.size() > 2047) box.resize(2047);
  platform::ShowMessage(box, "出错了", platform::MessageIcon::kError);
}

void TagTelBasic::Error(int32_t line, std::string_view text, std::string_view detail) {
  ++MainScript()->compileState.errorCount;
  ReportError(line, text, detail, false);
}

void TagTelBasic::Warning(int32_t line, std::string_view text, std::string_view detail) {
  ++MainScript()->compileState.warningCount;
  ReportError(line, text, detail, true);
}

void TagTelBasic::Hint(int32_t line, std::string_view text, std::string_view detail) {
  std::string entry("[Hint]");
  entry.append(sourcePath).append("(").append(std::to_string(line)).append("): ").append(text);
  if (!detail.empty()) entry.append(", ").append(detail);
  frame::LogMsg(entry);
}

}  // namespace engine
