// The run configuration record and its reader.
//
// "VtTelRun.cfg", beside the program, holds key=value settings and the
// assignment of script files to line-number lists ("0-29=main.vts"). Blanks
// and tabs are removed everywhere in a line, "//" starts a comment when it
// is the line's first '/', keys are case-insensitive, and a key that is not
// known or a line without '=' is ignored. Each read overwrites only the
// fields whose keys it meets. The program never writes the file.
#ifndef VTTEL_FRAME_RUN_CFG_H_
#define VTTEL_FRAME_RUN_CFG_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace frame {

// The longest piece of a physical line handled as one line.
inline constexpr size_t kCfgLineMax = 511;
// The most lines the line table holds (the board's lines first, then the
// virtual ones): as many as one line list can name, so "0-5119" reaches
// every line. VIR_LINES_NUM above it is cut to it.
inline constexpr int32_t kMaxTableLines = 5120;
// LOG_SIZE is given in MiB and clamped to this range.
inline constexpr int32_t kLogSizeMinMiB = 2;
inline constexpr int32_t kLogSizeMaxMiB = 80;

struct TagRunCfg {
  int32_t sentence_mode = 1;         // IS_DISP_SENTE: 1 yes, 2 "NOTE", 0 no
  uint32_t virtual_lines = 2;        // VIR_LINES_NUM
  uint32_t total_lines = 0;          // TOTAL_LINES_NUM, 0: no limit
  std::string titles[3] = {"用户消息1", "用户消息2", "用户消息3"};  // TITLE1-3
  std::string form_title;            // FORM_TITLE, empty: the built-in title
  uint8_t language = 0;              // LANGUAGE_TYPE: 0 Chinese, 1 English
  uint8_t show_form = 1;             // IS_SHOW_FORM
  int32_t column_groups = 1;         // COL_GROUP_NUM, 1-10
  int32_t monitor_port = 2004;       // MONITOR_PORT, 1-65535
  int32_t monitor_max_conn = 0;      // MONITOR_MAX_CONN, the server listens at 1-10
  int32_t log_level = 0;             // IS_WRITE_LOG
  int32_t immediate_log = 1;         // IS_IMMEDIATE_LOG
  int32_t disp_talk_time = 0;        // IS_DISP_TALKTIME
  int32_t load_delay = 125;          // LOAD_DELAY (ms), at least 5
  int32_t disp_delay = 500;          // DISP_DELAY (ms), 100-15000
  std::string log_file = "msg_log.txt";  // LOG_FILE
  int32_t log_size = 2100000;        // LOG_SIZE (bytes)
  uint32_t max_msg_num = 2048;       // MAX_MSG_NUM
};

// The process-wide record, with the defaults until a file is read.
TagRunCfg& RunCfg();

// Results of ReadCfgFile.
inline constexpr int kCfgOk = 0;
inline constexpr int kCfgNoRecord = -1;
inline constexpr int kCfgOpenError = -2;
inline constexpr int kCfgLinesOverlap = -3;

// Reads the file (a script-visible path) into *cfg; the log level, the
// message-queue limit and the database switches also go into the frame's
// Settings. A value the reader refuses or cuts, a line number that two
// lists give and a line that is neither a known key nor a line list get a
// log line naming the file, the key and the value. Returns kCfgOk when read to its end, kCfgNoRecord without a
// record, kCfgOpenError when the file cannot be opened (raw trace "ReadCfgFile
// Err", the record unchanged), kCfgLinesOverlap when a line number is given
// twice (the message "Error : VtTelRun.Cfg : lines overlap" is shown; the
// settings of the lines before stay in the record).
int ReadCfgFile(std::string_view file_name, TagRunCfg* cfg);

// A line of a configuration file as the reader takes it: cut at a zero
// byte, every blank, tab and carriage return removed, cut at the first
// "//".
std::string CleanCfgLine(std::string_view raw);

}  // namespace frame

#endif  // VTTEL_FRAME_RUN_CFG_H_
