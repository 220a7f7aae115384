// Builds single statements through the statement registry for a script on
// a given call object and runs them with argument values made by the test
// (strings of any length, integers, floats, NULL), as the compiler hands
// them. The test's current folder receives the script file.
#ifndef VTTEL_TESTS_TELEPHONY_STATEMENTS_STATEMENT_ON_CALL_H_
#define VTTEL_TESTS_TELEPHONY_STATEMENTS_STATEMENT_ON_CALL_H_

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/keyword_table.h"
#include "engine/statement_registry.h"
#include "engine/tel_basic.h"
#include "tests/test_support.h"

namespace telephony {

class StatementOnCall {
 public:
  explicit StatementOnCall(engine::LineCallBase& call) {
    testing_support::WriteFile("empty.vts", "\n");
    script_ = std::make_unique<engine::TagTelBasic>("empty.vts", call.lineNo, &call, 0, nullptr);
  }

  engine::TagVar* Str(std::string_view text) {
    values_.emplace_back().SetBytes(text.data(), text.size());
    return &values_.back();
  }
  engine::TagVar* Int(int32_t v) {
    values_.emplace_back().SetInt(v);
    return &values_.back();
  }
  engine::TagVar* Flt(double v) {
    values_.emplace_back().SetFloat(v);
    return &values_.back();
  }
  engine::TagVar* Null() { return &values_.emplace_back(); }

  // Builds the keyword's statement with args (and the target of a 'v'
  // statement) and runs it once: its result.
  int32_t Run(const char* keyword, const std::vector<engine::TagVar*>& args,
              engine::TagVar* target = nullptr) {
    engine::StatementBuild build;
    build.row = engine::Keywords().FindKeyword(keyword);
    build.args = args;
    build.script = script_.get();
    std::string error;
    std::unique_ptr<engine::TagOper> s(engine::Statements().Build(build, &error));
    EXPECT_NE(s, nullptr) << keyword << ": " << error;
    if (s == nullptr) return INT32_MIN;
    s->SetTarget(target, nullptr);
    return s->Execute();
  }

  engine::TagTelBasic& script() { return *script_; }

 private:
  std::deque<engine::TagVar> values_;
  std::unique_ptr<engine::TagTelBasic> script_;
};

}  // namespace telephony

#endif  // VTTEL_TESTS_TELEPHONY_STATEMENTS_STATEMENT_ON_CALL_H_
