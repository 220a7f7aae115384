#include "frame/run_cfg.h"

#include <cstring>
#include <unordered_set>
#include <vector>

#include "frame/line_list.h"
#include "frame/log.h"
#include "frame/settings.h"
#include "platform/gbk.h"
#include "platform/line_reader.h"
#include "platform/message_service.h"
#include "platform/number_text.h"
#include "platform/text_trim.h"

namespace frame {
namespace {

// "yes" of the file: the upper-cased value is YES, TRUE or 1.
bool IsYes(const std::string& upper_value) {
  return upper_value == "YES" || upper_value == "TRUE" || upper_value == "1";
}

int32_t YesOrNumber(const std::string& value, const std::string& upper_value) {
  return IsYes(upper_value) ? 1 : platform::AtoL(value);
}

int32_t Clamp(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : (v > hi ? hi : v); }

// Applies one key=value line; unknown keys are ignored.
void ApplySetting(const std::string& key, const std::string& value, TagRunCfg* cfg) {
  const std::string upper = platform::UpperGbk(value);
  Settings& settings = GetSettings();
  if (key == "IS_DISP_SENTE") {
    cfg->sentence_mode = IsYes(upper) ? 1 : (upper == "NOTE" ? 2 : 0);
  } else if (key == "IS_SHOW_FORM") {
    cfg->show_form = IsYes(upper) ? 1 : 0;
  } else if (key == "LANGUAGE_TYPE") {
    cfg->language = (upper == "ENGLISH" || upper == "EN") ? 1 : 0;
  } else if (key == "VIR_LINES_NUM") {
    // A negative count would ask for four thousand million lines; it is
    // refused and the earlier value kept.
    int32_t n = platform::AtoL(value);
    if (n >= 0) cfg->virtual_lines = static_cast<uint32_t>(n);
  } else if (key == "TOTAL_LINES_NUM") {
    cfg->total_lines = static_cast<uint32_t>(platform::AtoL(value));
  } else if (key == "FORM_TITLE") {
    cfg->form_title = value;
  } else if (key == "TITLE1" || key == "TITLE2" || key == "TITLE3") {
    cfg->titles[key[5] - '1'] = value;
  } else if (key == "COL_GROUP_NUM") {
    int32_t n = platform::AtoL(value);
    if (n >= 1 && n <= 10) cfg->column_groups = n;
  } else if (key == "MONITOR_PORT") {
    int32_t n = platform::AtoL(value);
    if (n > 0 && n <= 65535) cfg->monitor_port = n;  // a TCP port, never truncated
  } else if (key == "MONITOR_MAX_CONN") {
    int32_t n = platform::AtoL(value);
    if (n <= 10) cfg->monitor_max_conn = n;
  } else if (key == "IS_WRITE_LOG") {
    cfg->log_level = YesOrNumber(value, upper);
    settings.log_level.store(cfg->log_level, std::memory_order_relaxed);
  } else if (key == "IS_IMMEDIATE_LOG") {
    cfg->immediate_log = YesOrNumber(value, upper);
  } else if (key == "IS_DISP_TALKTIME") {
    cfg->disp_talk_time = YesOrNumber(value, upper);
  } else if (key == "LOG_FILE") {
    cfg->log_file = value;
  } else if (key == "LOG_SIZE") {
    cfg->log_size = Clamp(platform::AtoL(value), kLogSizeMinMiB, kLogSizeMaxMiB) * 1048576;
  } else if (key == "MAX_MSG_NUM") {
    cfg->max_msg_num = static_cast<uint32_t>(platform::AtoL(value));
    settings.max_msg_num.store(cfg->max_msg_num, std::memory_order_relaxed);
  } else if (key == "LOAD_DELAY") {
    int32_t n = platform::AtoL(value);
    cfg->load_delay = n < 5 ? 5 : n;
  } else if (key == "DISP_DELAY") {
    cfg->disp_delay = Clamp(platform::AtoL(value), 100, 15000);
  } else if (key == "DB_MAX_CONN") {
    settings.db_max_conn.store(platform::AtoL(value), std::memory_order_relaxed);
  } else if (key == "DB_BITFIELD_IS_DIGIT") {
    uint8_t on = (IsYes(upper) || platform::AtoL(value) != 0) ? 1 : 0;
    settings.db_bitfield_is_digit.store(on, std::memory_order_relaxed);
  }
}

// Cleans one raw line: up to its first zero byte, without blanks, tabs and
// carriage returns, and cut at a "//" that starts at the line's first '/'.
// Checks a line list against every number seen so far; false on a repeat.
bool AddLineList(const std::string& list, std::unordered_set<int32_t>* seen) {
  for (int32_t line : ParseLineList(list)) {
    if (!seen->insert(line).second) return false;
  }
  return true;
}

}  // namespace

std::string CleanCfgLine(std::string_view raw) {
  std::string line(raw.substr(0, raw.find('\0')));  // a binary file's zero byte ends the line
  platform::RemoveAllBlanks(line);
  std::erase(line, '\r');
  size_t slash = line.find('/');
  if (slash != std::string::npos && slash + 1 < line.size() && line[slash + 1] == '/') {
    line.resize(slash);
  }
  return line;
}

TagRunCfg& RunCfg() {
  static TagRunCfg cfg;
  return cfg;
}

int ReadCfgFile(std::string_view file_name, TagRunCfg* cfg) {
  if (cfg == nullptr) return kCfgNoRecord;
  platform::LineReader reader = platform::LineReader::Open(file_name);
  if (!reader.is_open()) {
    WriteRawLog("ReadCfgFile Err");
    return kCfgOpenError;
  }
  std::unordered_set<int32_t> seen_lines;
  std::string raw;
  while (reader.ReadLine(&raw, kCfgLineMax)) {
    std::string line = CleanCfgLine(raw);
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = line.substr(0, eq);
    if (!line.empty() && platform::IsAsciiDigit(static_cast<unsigned char>(line[0]))) {
      if (!AddLineList(key, &seen_lines)) {
        platform::ShowMessage("Error : VtTelRun.Cfg : lines overlap", "Vantorel System",
                              platform::MessageIcon::kError);
        return kCfgLinesOverlap;
      }
      continue;
    }
    platform::UpperGbkInPlace(key);
    ApplySetting(key, line.substr(eq + 1), cfg);
  }
  return kCfgOk;
}

}  // namespace frame
