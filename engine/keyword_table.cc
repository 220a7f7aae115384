#include "engine/keyword_table.h"

#include <string>
#include <vector>

#include "platform/gbk.h"

namespace engine {
namespace {

constexpr int32_t ConstLength(const char* s) {
  int32_t n = 0;
  while (s[n] != '\0') ++n;
  return n;
}

constexpr RecKeyword MakeRow(int row, const char* name, char kind, int category, int args,
                             StatementFamily family, const char* class_name) {
  RecKeyword r{};
  const int32_t n = ConstLength(name);
  for (int32_t i = 0; i < n; ++i) r.name[i] = name[i];
  r.kind = kind;
  r.category = category;
  r.argCount = args;
  r.length = n;
  r.index = static_cast<int16_t>(row);
  r.family = family;
  r.className = class_name;
  return r;
}

using enum StatementFamily;

constexpr std::array<RecKeyword, kKeywordCount> kRows = {{
#define VT_KEYWORD(row, name, kind, category, args, family, cls) \
  MakeRow(row, name, kind, category, args, family, cls),
#include "engine/keywords.def"
#undef VT_KEYWORD
}};

constexpr bool RowsAreInOrder() {
  for (int i = 0; i < kKeywordCount; ++i) {
    if (kRows[static_cast<size_t>(i)].index != i) return false;
    if (kRows[static_cast<size_t>(i)].length >= 28) return false;
  }
  return true;
}
static_assert(RowsAreInOrder(), "keywords.def rows must be numbered 0..281 in order");

constexpr bool RowIs(int row, std::string_view name) {
  return std::string_view(kRows[static_cast<size_t>(row)].name) == name;
}
static_assert(RowIs(kRowElseIf, "else if(") && RowIs(kRowConst, "const") &&
                  RowIs(kRowIsSysQuit, "IsSysQuit(") && RowIs(kRowExit, "Exit(") &&
                  RowIs(kRowOnDisconn, "OnDisconn(") && RowIs(kRowOnSysQuit, "OnSysQuit(") &&
                  RowIs(kRowAssert, "Assert(") && RowIs(kRowStartTimer, "StartTimer(") &&
                  RowIs(kRowStopTimer, "StopTimer(") && RowIs(kRowEval, "Eval(") &&
                  RowIs(kRowGetKeys, "GetKeys(") && RowIs(kRowPlayNumber, "PlayNumber(") &&
                  RowIs(kRowTxtSpeak, "TxtSpeak(") && RowIs(kRowPcTxtSpeak, "PcTxtSpeak(") &&
                  RowIs(kRowPcGetKeys, "PcGetKeys(") && RowIs(kRowPcPlayNumber, "PcPlayNumber("),
              "the named rows must match keywords.def");

constexpr std::string_view kFamilyNames[] = {
    "control",        "script control", "timers",        "call control",    "voice",
    "keys",           "number reading", "link and conference", "line settings", "fax",
    "voice editing",  "SIP and IM",     "speech",        "messages",        "inter-line calls",
    "shared memory",  "ACD lists",      "databases",     "TCP",             "HTTP",
    "external libraries", "UDP",        "text files",    "append files",    "files",
    "strings",        "encodings",      "time",          "system",          "server pages",
    "regular expressions",
};
static_assert(std::size(kFamilyNames) == static_cast<size_t>(StatementFamily::kCount));

bool IsAsciiLetter(unsigned char c) { return platform::IsAsciiLower(c) || platform::IsAsciiUpper(c); }

// Name material: '_', '#' or a letter first; '_', a letter or a digit later.
bool IsNameChar(unsigned char c, bool first) {
  if (c == '_' || IsAsciiLetter(c)) return true;
  return first ? c == '#' : platform::IsAsciiDigit(c);
}

int FindRow(std::string_view candidate, int first_row) {
  if (candidate.empty()) return kNoKeyword;
  for (int i = first_row; i < kKeywordCount; ++i) {
    const RecKeyword& r = kRows[static_cast<size_t>(i)];
    if (static_cast<size_t>(r.length) == candidate.size() &&
        candidate.compare(0, candidate.size(), r.name, candidate.size()) == 0) {
      return i;
    }
  }
  return kNoKeyword;
}

// The keyword text made of the words that open a line.
std::string Candidate(const std::vector<std::string>& words) {
  if (words.empty()) return std::string();
  if (words.size() > 1 && words[0] == "else") {
    std::string c = "else " + words[1];
    if (words.size() == 3 && words[2] == "(") c += "(";
    return c;
  }
  if (words.size() == 2 && (words[1] == "(" || words[1] == ";")) return words[0] + words[1];
  return words[0];
}

}  // namespace

std::string_view FamilyName(StatementFamily family) {
  return kFamilyNames[static_cast<size_t>(family)];
}

const std::array<RecKeyword, kKeywordCount>& KeywordRows() { return kRows; }

// Scans the line's opening words:
//  - '<' or '"' ends the scan (the word being collected is dropped), the
//    offset at that character;
//  - a blank or tab ends a word; "const" or "function" as the first word
//    returns its row at once, the offset behind the blank; NUL, CR and LF
//    end the scan;
//  - '(' or ';' ends the word it is appended to and the scan, the offset
//    behind it;
//  - '{' or '}' returns row 3 or 4 at once, the offset behind it;
//  - any character that cannot continue a name matches nothing.
int TagKeyword::MatchKeyword(std::string_view line, size_t* offset) const {
  std::vector<std::string> words;
  std::string word;
  size_t i = 0;
  *offset = 0;
  for (;; ++i) {
    const unsigned char c = i < line.size() ? static_cast<unsigned char>(line[i]) : '\0';
    if (c == '<' || c == '"') {
      *offset = i;
      break;
    }
    if (c == ' ' || c == '\t' || c == '\0' || c == '\r' || c == '\n') {
      if (words.empty() && (word == "const" || word == "function")) {
        *offset = i + 1;
        return word == "const" ? kRowConst : kRowFunction;
      }
      if (!word.empty()) words.push_back(std::move(word));
      word.clear();
      if (c == ' ' || c == '\t') continue;
      *offset = i;
      break;
    }
    if (c == '(' || c == ';') {
      word.push_back(static_cast<char>(c));
      words.push_back(std::move(word));
      *offset = i + 1;
      break;
    }
    if (c == '{' || c == '}') {
      *offset = i + 1;
      return c == '{' ? kRowBlockStart : kRowBlockEnd;
    }
    if (!IsNameChar(c, word.empty())) return kNoKeyword;
    word.push_back(static_cast<char>(c));
  }
  return FindRow(Candidate(words), 0);
}

int TagKeyword::FindKeyword(std::string_view name) const {
  return FindRow(name, kFirstStatementRow);
}

const TagKeyword& Keywords() {
  static const TagKeyword keywords;
  return keywords;
}

}  // namespace engine
