// How the ADO back end reads an SQL text: a query, a plain statement or a
// stored-procedure call, and the procedure's name and parameters.
// Pure functions; any thread.
#ifndef VTTEL_SERVICES_DB_ADO_SQL_H_
#define VTTEL_SERVICES_DB_ADO_SQL_H_

#include <string>
#include <string_view>
#include <vector>

namespace services {

enum class AdoSqlKind { kQuery, kStatement, kCall };

// By the first seven characters upper-cased (the blank after the keyword
// counts): "SELECT " a query; "UPDATE ", "DELETE ", "INSERT ", "CREATE " or
// a start of "DROP ", "ALTER ", "USE ", "SET " a plain statement; anything
// else a call.
AdoSqlKind ClassifyAdoSql(std::string_view sql);

// The pieces of text between separators; a single quote switches quoting
// (and stays in the piece); with a blank separator any run of blanks and
// tabs ends a piece once.
std::vector<std::string> SplitQuoted(std::string_view text, char separator);

struct ExecCall {
  std::string name;
  std::vector<std::string> params;  // as written (quotes kept)
};

// "[exec|EXEC] name [param][, param...]".
ExecCall ParseExecCall(std::string_view text);

// A parameter's value: a text starting with a single quote loses its first
// and last characters.
std::string CallParameterValue(std::string_view param);

}  // namespace services

#endif  // VTTEL_SERVICES_DB_ADO_SQL_H_
