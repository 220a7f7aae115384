#include "engine/statement.h"

#include <cstring>

#include "frame/run_cfg.h"

namespace engine {

void TagVarRef::CopyTo(TagVar& dest) const {
  if (variable_ == nullptr) return;
  TagVar scratch;
  dest.Assign(index_ != nullptr ? *variable_->ElementValue(*index_, scratch) : *variable_);
}

void TagOper::Init(std::string_view source, std::string_view, int32_t line, int32_t index,
                   char kind) {
  SetBreakpoint(0);
  singleBody = 0;
  if (frame::RunCfg().sentence_mode != 0) {
    sourceText.assign(source);
  } else {
    sourceText.clear();
  }
  lineNumber = line;
  statementIndex = index;
  kindLetter = kind;
}

void TagOper::SetBreakpoint(uint8_t on) {
  const bool was_on = breakpoint.exchange(on, std::memory_order_relaxed) != 0;
  if (attention != nullptr && was_on != (on != 0)) attention->CountBreakpoint(on != 0 ? 1 : -1);
}

namespace {

bool IsNameSeparator(char c) {
  return c == ' ' || c == '\t' || (c != '\0' && std::strchr("+-*/%><!=()|&[],^~", c) != nullptr);
}

}  // namespace

int32_t TagOper::CollectNames(std::set<std::string>& names) const {
  names.clear();
  std::string word;
  auto flush = [&] {
    if (!word.empty() && !(word[0] >= '0' && word[0] <= '9') && word[0] != '.') {
      names.insert(word);
    }
    word.clear();
  };
  const std::string& s = sourceText;
  for (size_t i = 0; i < s.size() && s[i] != ';'; ++i) {
    const char c = s[i];
    if (c == '"') {
      flush();
      for (++i; i < s.size() && s[i] != '"'; ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) ++i;
      }
      continue;
    }
    if (IsNameSeparator(c)) {
      flush();
    } else {
      word.push_back(c);
    }
  }
  flush();
  return static_cast<int32_t>(names.size());
}

void AppendStatement(TagOper* statement, char kind, AppendContext& context) {
  std::vector<TagOper*>& list = *context.statements;
  TagOper* previous = list.empty() ? nullptr : list.back();
  list.push_back(statement);
  statement->argExpressions = std::move(context.pendingArgs);
  context.pendingArgs.clear();
  statement->resultTarget = context.pendingTarget;
  if (kind == kKindValue && statement->resultTarget.empty()) {
    statement->SetTarget(context.retVal, nullptr);
  }
  context.pendingTarget = TagVarRef();
  statement->Init(context.source, context.note, context.line,
                  static_cast<int32_t>(list.size() - 1), kind);
  statement->blockDepth = context.depth;
  statement->attention = context.attention;
  statement->blockOpener =
      context.depth != 0 && previous != nullptr ? previous->blockOpener : nullptr;
  statement->next = nullptr;
  if (previous != nullptr) previous->next = statement;
}

}  // namespace engine
