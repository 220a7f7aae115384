// The compilation of the control lines of a script: if chains, loops,
// switch blocks, break and continue, braces and function definitions.
//
// The statement compiler (TagTelBasic::ParseLine) recognises the keyword
// row of a line and splits its arguments; the functions here build the
// control statement, keep the compile stacks of the compiling script (if,
// switch, loop, brace and function stacks, holding statement indexes or
// line numbers) and append the statement. The linking of each appended
// statement with the ones before it (TagTelBasic::LinkLast) and the final
// linking at the end of a compile (TagTelBasic::LinkEnd) live in
// control_compile.cc too.
//
// Thread rules: a script compiles on its line's load thread (or its run
// thread for "RunLine("); nothing here is shared.
#ifndef VTTEL_ENGINE_CONTROL_COMPILE_H_
#define VTTEL_ENGINE_CONTROL_COMPILE_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

class TagTelBasic;

// One control line as the statement compiler hands it over.
struct ControlLine {
  int row = -1;                 // the keyword row (keyword_table.h)
  int32_t lineNo = 0;
  std::string_view source;      // the statement text, comment included
  std::string_view note;        // the line's comment
  std::string_view rest;        // the text behind the keyword, comment cut
  const std::vector<std::string>* args = nullptr;  // the split arguments
  int32_t argCount = 0;
};

// Results of CompileControlLine.
inline constexpr int32_t kControlFailed = -1;    // reported; the line fails
inline constexpr int32_t kControlAppended = 0;   // a statement was appended: link it
inline constexpr int32_t kControlDefined = 1;    // a function definition: no linking

// Compiles the control rows 0-10 and 15 ("else if(", "if(", "else", "{",
// "}", "while(", "switch(", "case(", "default(", "break;", "continue;",
// "for(") and "function" (12) into the script.
int32_t CompileControlLine(TagTelBasic& script, const ControlLine& line);

// The messages of the control lines that the tests check by their bytes.
inline constexpr char kMsgNoIf[] = "找不到匹配的if语句";
inline constexpr char kMsgNoSwitch[] = "找不到匹配的switch语句";
inline constexpr char kMsgNoWhile[] = "找不到匹配的while语句";
inline constexpr char kMsgOnlyCases[] = "在一个switch块里只能有case和default语句";
inline constexpr char kMsgMissingBrace[] = "前面缺少'{'语句";
inline constexpr char kMsgUnusedOperator[] = "值中的运算符和第二个操作数不起作用, 只用了第一个操作数";
inline constexpr char kMsgKeywordFunction[] = "函数名和系统关键字重名, 调用时会执行系统语句, 该函数永远不会被调用";
inline constexpr char kMsgFunctionInFunction[] = "在函数里不可以定义函数";

// Installs the statement compiler (TagTelBasic::ParseLine) as the line
// compiler of LoadFile, and the expression compiler with it
// (RegisterExpressionCompiler). Called once at start-up, before any script
// compiles; tests call it in their fixture and SetLineCompiler(nullptr)
// afterwards.
void RegisterStatementCompiler();

}  // namespace engine

#endif  // VTTEL_ENGINE_CONTROL_COMPILE_H_
