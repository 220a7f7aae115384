// Random line text through the keyword matcher and the expression splitter.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/keyword_table.h"
#include "engine/line_text.h"
#include "engine/split_expression.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  size_t offset = 0;
  int row = engine::Keywords().MatchKeyword(text, &offset);
  if (row != engine::kNoKeyword && offset > size + 1) __builtin_trap();
  engine::Keywords().FindKeyword(text);
  engine::ExprOperand left, right;
  char op = 0;
  std::string message;
  int r = engine::SplitExpression(&left, &op, &right, text, &message);
  if (left.text.size() > engine::kMaxOperandBytes || right.text.size() > engine::kMaxOperandBytes) {
    __builtin_trap();
  }
  if (r != 0 && message.empty()) __builtin_trap();
  engine::IsLineRestEmpty(text);
  std::string copy(text);
  engine::TrimRight(copy);
  engine::RemoveBlanks(copy);
  return 0;
}
