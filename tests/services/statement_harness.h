// Running one services statement in-process: the statement is built by the
// registry's factory for its keyword from values the test owns, executed,
// and its result, out-values and assignment target read back. Also the
// python3 peer the tests ask for reference answers.
#ifndef VTTEL_TESTS_SERVICES_STATEMENT_HARNESS_H_
#define VTTEL_TESTS_SERVICES_STATEMENT_HARNESS_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/keyword_table.h"
#include "engine/statement_registry.h"
#include "engine/tag_var.h"
#include "services/service_statements.h"
#include "tests/platform/spawned_program.h"

namespace services_test {

inline engine::TagVar* Str(engine::TagVar* v, std::string_view bytes) {
  v->SetBytes(bytes.data(), bytes.size());
  return v;
}

// One statement with its argument values and its assignment target.
class Call {
 public:
  // args: the number of argument values the keyword's row takes.
  explicit Call(const char* keyword) {
    services::RegisterServiceStatements();
    row_ = engine::Keywords().FindKeyword(keyword);
    EXPECT_NE(row_, engine::kNoKeyword) << keyword;
    const int n = engine::Keywords().row(row_).argCount;
    for (int i = 0; i < n; ++i) args_.push_back(std::make_unique<engine::TagVar>());
  }
  engine::TagVar& arg(size_t i) { return *args_.at(i); }
  Call& Int(size_t i, int32_t v) { arg(i).SetInt(v); return *this; }
  Call& Float(size_t i, double v) { arg(i).SetFloat(v); return *this; }
  Call& Text(size_t i, std::string_view v) { Str(&arg(i), v); return *this; }
  // Runs the statement; the result.
  int32_t Run() {
    engine::StatementBuild build;
    build.row = row_;
    for (auto& a : args_) build.args.push_back(a.get());
    std::string error;
    std::unique_ptr<engine::TagOper> s(engine::Statements().Build(build, &error));
    EXPECT_NE(s, nullptr) << error;
    if (s == nullptr) return INT32_MIN;
    s->SetTarget(&target_, nullptr);
    return s->Execute();
  }
  engine::TagVar& target() { return target_; }

 private:
  int row_ = engine::kNoKeyword;
  std::vector<std::unique_ptr<engine::TagVar>> args_;
  engine::TagVar target_;
};

// Runs python3 -c program; its stdout (empty when python3 failed).
inline std::string Python(const std::string& program) {
  testing_support::SpawnedProgram p;
  if (!p.Start("/usr/bin/python3", {"-c", program})) return "";
  if (p.Wait(60000) != 0) {
    ADD_FAILURE() << "python3 failed: " << p.stderr_text();
    return "";
  }
  return p.stdout_text();
}

// Hex digits of bytes ("01ff"), the form the python peers answer in.
inline std::string HexOf(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (char c : bytes) {
    out.push_back(kHex[static_cast<unsigned char>(c) >> 4]);
    out.push_back(kHex[static_cast<unsigned char>(c) & 15]);
  }
  return out;
}

}  // namespace services_test

#endif  // VTTEL_TESTS_SERVICES_STATEMENT_HARNESS_H_
