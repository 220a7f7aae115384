// The keyword table of the script language and its recogniser.
//
// The table is constant data made at compile time from keywords.def: every
// row's length and index are computed there, so nothing is filled at start
// and every line thread's compiler reads it at once without a lock.
// TagKeyword answers which keyword a logical line begins with
// (MatchKeyword) and whether a name is a built-in statement (FindKeyword).
// Everything works on bytes: GBK bytes (0x80 and above) are never name
// material.
#ifndef VTTEL_ENGINE_KEYWORD_TABLE_H_
#define VTTEL_ENGINE_KEYWORD_TABLE_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace engine {

// Which statement family builds a keyword (who registers its factory).
// The files that register each family's statements (none: not built yet):
//   kControl         engine/control_compile.cc (the compiler's own rows), engine/script_control.cc
//   kScriptControl   engine/script_control.cc, engine/script_control_call.cc,
//                    engine/script_control_run.cc
//   kTimers          engine/timers.cc
//   kCallControl     telephony/statements/call_statements.cc
//   kVoice           telephony/statements/voice_statements.cc
//   kKeys            telephony/statements/key_statements.cc
//   kNumberReading   telephony/statements/number_statements.cc
//   kLinkConference  none
//   kLineSettings    telephony/statements/signal_statements.cc
//   kFax             telephony/statements/fax_statements.cc
//   kVoiceEditing    telephony/statements/voice_edit_statements.cc
//   kSipIm           telephony/statements/sip_statements.cc
//   kSpeech          none
//   kMessages        services/message_statements.cc
//   kInterLine       services/inter_line_call.cc
//   kSharedMemory    services/share_mem_statements.cc
//   kAcd             services/acd_statements.cc
//   kDatabases       services/db_statements.cc
//   kTcp             services/tcp_statements.cc
//   kHttp            none
//   kExternal        services/dll_statements.cc
//   kUdp             services/udp_statements.cc
//   kTextFiles       services/text_file_set.cc
//   kAppendFiles     services/txt_append.cc
//   kFiles           services/file_statements.cc
//   kStrings         services/string_statements.cc
//   kEncodings       services/encoding_statements.cc
//   kTime            services/time_statements.cc
//   kSystem          engine/print_output.cc, services/system_statements.cc,
//                    telephony/statements/sys_info_statements.cc
//   kServerPages     services/run_msp.cc
//   kRegex           services/regex_statements.cc
enum class StatementFamily : uint8_t {
  kControl,         // control flow and handlers: the compiler's own rows
  kScriptControl,   // Exit, Assert, Eval, RunVts, RunLine, ...
  kTimers,
  kCallControl,
  kVoice,
  kKeys,
  kNumberReading,
  kLinkConference,
  kLineSettings,    // line settings, tones and signalling
  kFax,
  kVoiceEditing,
  kSipIm,
  kSpeech,
  kMessages,
  kInterLine,
  kSharedMemory,
  kAcd,
  kDatabases,
  kTcp,
  kHttp,
  kExternal,
  kUdp,
  kTextFiles,
  kAppendFiles,
  kFiles,
  kStrings,
  kEncodings,
  kTime,
  kSystem,
  kServerPages,
  kRegex,
  kCount,
};

std::string_view FamilyName(StatementFamily family);

// One row of the table.
struct RecKeyword {
  char name[28];      // NUL-terminated, with its trailing "(" or ";"
  int32_t kind;       // the kind letter, e.g. 'g'
  int32_t category;   // 0..9, no effect on compilation
  int32_t argCount;   // exact argument count; -1 not split or counted
  int32_t length;     // strlen(name)
  int16_t index;      // the row's own number
  StatementFamily family;
  const char* className;  // "" when the line builds no statement
};

inline constexpr int kKeywordCount = 282;
// The first row FindKeyword searches: rows below are control words.
inline constexpr int kFirstStatementRow = 24;
// Result of MatchKeyword and FindKeyword when nothing matches.
inline constexpr int kNoKeyword = -1;

// Rows the compiler treats by number.
enum KeywordRow : int {
  kRowElseIf = 0,
  kRowIf = 1,
  kRowElse = 2,
  kRowBlockStart = 3,
  kRowBlockEnd = 4,
  kRowWhile = 5,
  kRowSwitch = 6,
  kRowCase = 7,
  kRowDefault = 8,
  kRowBreak = 9,
  kRowContinue = 10,
  kRowClose = 11,
  kRowFunction = 12,
  kRowReturn = 13,
  kRowInclude = 14,
  kRowFor = 15,
  kRowConst = 16,
  kRowIsSysQuit = 17,
  kRowExit = 18,
  kRowOnDisconn = 19,
  kRowOnSysQuit = 20,
  kRowAssert = 21,
  kRowStartTimer = 22,
  kRowStopTimer = 23,
  kRowEval = 45,
  kRowGetKeys = 96,
  kRowPlayNumber = 145,
  kRowTxtSpeak = 162,
  kRowPcTxtSpeak = 163,
  kRowPcGetKeys = 200,
  kRowPcPlayNumber = 201,
};

// The rows the compiler handles itself (if, else, braces, loops, switch,
// case, default, break, continue, function, #include, const): they build no
// statement through a factory.
inline bool IsCompilerRow(int row) {
  return (row >= 0 && row <= kRowContinue) || row == kRowFunction || row == kRowInclude ||
         row == kRowFor || row == kRowConst;
}

const std::array<RecKeyword, kKeywordCount>& KeywordRows();

class TagKeyword {
 public:
  // The number of rows (282).
  int count() const { return kKeywordCount; }
  const RecKeyword& row(int i) const { return KeywordRows()[static_cast<size_t>(i)]; }

  // The row the logical line begins with, or kNoKeyword; *offset is set to
  // where the text after the keyword starts (see keyword_table.cc).
  int MatchKeyword(std::string_view line, size_t* offset) const;

  // The row of rows kFirstStatementRow.. whose name equals name exactly, or
  // kNoKeyword. Callers append "(" to a bare name before asking.
  int FindKeyword(std::string_view name) const;
};

// The process-wide keyword dictionary.
const TagKeyword& Keywords();

}  // namespace engine

#endif  // VTTEL_ENGINE_KEYWORD_TABLE_H_
