#include "frame/run_cfg.h"

#include <cstdio>
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

// One key=value line of the file being read, for the log lines about it.
struct CfgLine {
  std::string_view file;
  int number;  // 1-based; a piece of a long line counts as a line, as it is read
  std::string_view key;
  std::string_view value;
};

// The log line about a setting the reader did not take as written.
void LogSetting(const CfgLine& line, const char* what) {
  LogAlwaysF("\"%.*s\" line %d: %.*s=%.*s %s", static_cast<int>(line.file.size()),
             line.file.data(), line.number, static_cast<int>(line.key.size()), line.key.data(),
             static_cast<int>(line.value.size()), line.value.data(), what);
}

void LogKept(const CfgLine& line, const char* why, int64_t kept) {
  char what[160];
  std::snprintf(what, sizeof what, "refused (%s); %lld kept.", why,
                static_cast<long long>(kept));
  LogSetting(line, what);
}

// VIR_LINES_NUM: atol; a negative count is refused (the earlier value is
// kept), a count above the line table's capacity is cut to it.
void SetVirtualLines(const CfgLine& line, TagRunCfg* cfg) {
  const int32_t n = platform::AtoL(line.value);
  if (n < 0) return LogKept(line, "a negative line count", cfg->virtual_lines);
  if (n > kMaxTableLines) {
    char what[160];
    std::snprintf(what, sizeof what, "cut to %d: the most lines the line table holds.",
                  kMaxTableLines);
    LogSetting(line, what);
  }
  cfg->virtual_lines = static_cast<uint32_t>(n > kMaxTableLines ? kMaxTableLines : n);
}

// TOTAL_LINES_NUM: atol, unsigned; only a limit below the number of lines
// has an effect, so a negative or larger one means no limit.
void SetTotalLines(const CfgLine& line, TagRunCfg* cfg) {
  const int32_t n = platform::AtoL(line.value);
  cfg->total_lines = static_cast<uint32_t>(n);
  if (n < 0 || n > kMaxTableLines) LogSetting(line, "is not a line count: no line limit.");
}

// Applies one key=value line; false for a key not in the table.
bool ApplySetting(const CfgLine& line, TagRunCfg* cfg) {
  const std::string key(line.key);
  const std::string value(line.value);
  const std::string upper = platform::UpperGbk(value);
  Settings& settings = GetSettings();
  if (key == "IS_DISP_SENTE") {
    cfg->sentence_mode = IsYes(upper) ? 1 : (upper == "NOTE" ? 2 : 0);
  } else if (key == "IS_SHOW_FORM") {
    cfg->show_form = IsYes(upper) ? 1 : 0;
  } else if (key == "LANGUAGE_TYPE") {
    cfg->language = (upper == "ENGLISH" || upper == "EN") ? 1 : 0;
  } else if (key == "VIR_LINES_NUM") {
    SetVirtualLines(line, cfg);
  } else if (key == "TOTAL_LINES_NUM") {
    SetTotalLines(line, cfg);
  } else if (key == "FORM_TITLE") {
    cfg->form_title = value;
  } else if (key == "TITLE1" || key == "TITLE2" || key == "TITLE3") {
    cfg->titles[key[5] - '1'] = value;
  } else if (key == "COL_GROUP_NUM") {
    int32_t n = platform::AtoL(value);
    if (n >= 1 && n <= 10) {
      cfg->column_groups = n;
    } else {
      LogKept(line, "1 to 10 column groups", cfg->column_groups);
    }
  } else if (key == "MONITOR_PORT") {
    int32_t n = platform::AtoL(value);
    if (n > 0 && n <= 65535) {
      cfg->monitor_port = n;  // a TCP port, never truncated
    } else {
      LogKept(line, "a TCP port is 1 to 65535", cfg->monitor_port);
    }
  } else if (key == "MONITOR_MAX_CONN") {
    int32_t n = platform::AtoL(value);
    if (n <= 10) {
      cfg->monitor_max_conn = n;
    } else {
      LogKept(line, "at most 10 clients", cfg->monitor_max_conn);
    }
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
  } else {
    return false;
  }
  return true;
}

// A key=value line whose key is not in the table: ignored, and said so.
// A key that starts with a range operator was meant as a line list, but
// only a list that starts with a digit assigns lines.
void LogUnknownKey(const CfgLine& line) {
  const char c = line.key.empty() ? 0 : line.key[0];
  LogSetting(line, c == '-' || c == '+' || c == '*'
                       ? "is ignored: a line list begins with a digit."
                       : "is ignored: the key is not known.");
}

// Checks a line list against every number seen so far; false on a repeat,
// which is logged.
bool AddLineList(const CfgLine& line, std::unordered_set<int32_t>* seen) {
  for (int32_t number : ParseLineList(line.key)) {
    if (!seen->insert(number).second) {
      char what[160];
      std::snprintf(what, sizeof what, "gives line %d again: the line lists overlap.", number);
      LogSetting(line, what);
      return false;
    }
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
  for (int number = 1; reader.ReadLine(&raw, kCfgLineMax); ++number) {
    std::string text = CleanCfgLine(raw);
    size_t eq = text.find('=');
    if (eq == std::string::npos) continue;
    std::string key = text.substr(0, eq);
    const std::string value = text.substr(eq + 1);
    if (platform::IsAsciiDigit(static_cast<unsigned char>(text[0]))) {
      if (!AddLineList({file_name, number, key, value}, &seen_lines)) {
        platform::ShowMessage("Error : VtTelRun.Cfg : lines overlap", "Vantorel System",
                              platform::MessageIcon::kError);
        return kCfgLinesOverlap;
      }
      continue;
    }
    platform::UpperGbkInPlace(key);
    const CfgLine line{file_name, number, key, value};
    if (!ApplySetting(line, cfg)) LogUnknownKey(line);
  }
  return kCfgOk;
}

}  // namespace frame
