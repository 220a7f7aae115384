#include "services/db/ado_sql.h"

#include "platform/gbk.h"
#include "platform/text_trim.h"

namespace services {
namespace {

constexpr size_t kClassifyChars = 7;

}  // namespace

AdoSqlKind ClassifyAdoSql(std::string_view sql) {
  std::string head(sql.substr(0, kClassifyChars));
  for (char& c : head) c = platform::AsciiUpper(c);
  if (head == "SELECT ") return AdoSqlKind::kQuery;
  for (std::string_view word : {"UPDATE ", "DELETE ", "INSERT ", "CREATE "}) {
    if (head == word) return AdoSqlKind::kStatement;
  }
  for (std::string_view word : {"DROP ", "ALTER ", "USE ", "SET "}) {
    if (head.compare(0, word.size(), word) == 0) return AdoSqlKind::kStatement;
  }
  return AdoSqlKind::kCall;
}

std::vector<std::string> SplitQuoted(std::string_view text, char separator) {
  std::vector<std::string> pieces;
  std::string piece;
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\'') quoted = !quoted;
    const bool ends = !quoted && (separator == ' ' ? platform::IsAsciiBlank(c) : c == separator);
    if (!ends) {
      piece += c;
      continue;
    }
    pieces.push_back(std::move(piece));
    piece.clear();
    if (separator == ' ') {
      while (i + 1 < text.size() && platform::IsAsciiBlank(text[i + 1])) ++i;
    }
  }
  pieces.push_back(std::move(piece));
  return pieces;
}

ExecCall ParseExecCall(std::string_view text) {
  ExecCall call;
  const std::vector<std::string> commas = SplitQuoted(text, ',');
  const std::vector<std::string> words = SplitQuoted(commas.front(), ' ');
  const size_t name_at = words.front() == "exec" || words.front() == "EXEC" ? 1 : 0;
  if (name_at < words.size()) call.name = words[name_at];
  if (name_at + 1 < words.size()) {
    call.params.emplace_back(platform::TrimmedView(words[name_at + 1]));
  }
  for (size_t i = 1; i < commas.size(); ++i) {
    call.params.emplace_back(platform::TrimmedView(commas[i]));
  }
  return call;
}

std::string CallParameterValue(std::string_view param) {
  if (param.empty() || param.front() != '\'') return std::string(param);
  if (param.size() < 2) return std::string();
  return std::string(param.substr(1, param.size() - 2));
}

}  // namespace services
