// The statement registry: which factory builds the statement of a keyword.
//
// Each statement family registers a factory per keyword from its own file
// (a Register...Statements function of its layer, called once at start
// before any script compiles); the compiler looks the factory up by the
// keyword's row. A keyword without a factory does not compile: Build gives
// null and the message "语句未实现: <keyword>". The pure control words
// (if, else, braces, loops, switch, case, default, break, continue,
// function, #include, const) are the compiler's own and take no factory.
//
// Thread rules: registration happens before any line compiles; lookups from
// every line's compiler at once then need no lock.
#ifndef VTTEL_ENGINE_STATEMENT_REGISTRY_H_
#define VTTEL_ENGINE_STATEMENT_REGISTRY_H_

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "engine/keyword_table.h"
#include "engine/statement.h"

namespace engine {

class TagTelBasic;

// What a factory gets: the keyword's row and the line's arguments (each a
// variable, a pooled constant or an expression's temporary, exactly as many
// as the row's argument count), the compiling script and whether the line
// is a virtual (sound-card) line.
struct StatementBuild {
  int row = kNoKeyword;
  std::vector<TagVar*> args;
  TagTelBasic* script = nullptr;  // the compiling script, for its per-line stores
  bool pcMode = false;
  // The line being compiled, for a factory's warnings (Warning(line, text,
  // source)); 0 and empty outside a compile.
  int32_t line = 0;
  std::string_view source;
};

// Builds the statement (the caller owns it), or null with *error set.
using StatementFactory = TagOper* (*)(const StatementBuild& build, std::string* error);

// Builds the call of a script function (kind 'R') on the function's
// variable with the argument variables in order; registered by the
// script-control statements. Without one a call does not compile.
using CallFactory = TagOper* (*)(TagVar* function, TagTelBasic* script,
                                 const std::vector<TagVar*>& args, std::string* error);
void SetCallFactory(CallFactory factory);
CallFactory GetCallFactory();

// The calls of external-library functions (kind 'g'), which the
// external-library statements install: Declared answers whether name was
// declared (by "DllFunction(") in the main script of the compiling script
// so far, with the declared argument count; Build builds the call statement
// on the argument variables in order (null with *error set). Without a
// factory no name is declared.
struct DllCallFactory {
  bool (*Declared)(TagTelBasic& script, std::string_view name, int32_t* count) = nullptr;
  TagOper* (*Build)(TagTelBasic& script, std::string_view name, const std::vector<TagVar*>& args,
                    std::string* error) = nullptr;
};
void SetDllCallFactory(const DllCallFactory& factory);
DllCallFactory GetDllCallFactory();

class StatementRegistry {
 public:
  // Registers the factory of a keyword (by its exact name); false when the
  // name is no keyword or a control word, or the row has a factory already.
  bool Register(std::string_view keyword, StatementFactory factory);
  // Registers by row: also the statement rows among the control words
  // ("Close(", "return(", "IsSysQuit(", "Exit(", "OnDisconn(", "OnSysQuit(",
  // "Assert(", "StartTimer(", "StopTimer("), which the script-control and
  // timer statements register; false for the rows that build no statement
  // class of their own or have a factory already.
  bool RegisterRow(int row, StatementFactory factory);

  StatementFactory Find(int row) const;

  // The statement for the row, or null with *error: the factory's own, or
  // "语句未实现: <keyword>" when the row has none.
  TagOper* Build(const StatementBuild& build, std::string* error) const;

  // The rows of a family that have no factory yet.
  std::vector<int> Missing(StatementFamily family) const;

 private:
  std::array<StatementFactory, kKeywordCount> factories_{};
};

// The process-wide registry.
StatementRegistry& Statements();

}  // namespace engine

#endif  // VTTEL_ENGINE_STATEMENT_REGISTRY_H_
