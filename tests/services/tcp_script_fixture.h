// A main script of line 1 (compiled from an empty file in a fresh folder)
// whose socket set the TCP statements act on, and a way to run one
// statement of a keyword on values the test owns, as the run loop would.
#ifndef VTTEL_TESTS_SERVICES_TCP_SCRIPT_FIXTURE_H_
#define VTTEL_TESTS_SERVICES_TCP_SCRIPT_FIXTURE_H_

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/control_compile.h"
#include "engine/expression_hook.h"
#include "engine/keyword_table.h"
#include "engine/script_control.h"
#include "engine/statement_registry.h"
#include "engine/tel_basic.h"
#include "services/net/socket_set.h"
#include "services/service_statements.h"
#include "tests/frame/captured_log.h"
#include "tests/test_support.h"

namespace services_test {

// The process log in a file of the working folder, and what it holds.
using CapturedLog = frame_test::CapturedLog;

class TcpScriptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    engine::RegisterStatementCompiler();
    engine::RegisterScriptControlStatements();
    services::RegisterServiceStatements();
    testing_support::WriteFile("empty.vts", "\n");
    call_.lineNo = 1;
    script_ = NewScript("empty.vts", call_);
  }
  void TearDown() override {
    script_.reset();
    engine::SetLineCompiler(nullptr);
    engine::SetExpressionCompiler(nullptr);
  }

  static std::unique_ptr<engine::TagTelBasic> NewScript(const std::string& file,
                                                        engine::LineCallBase& call) {
    auto script = std::make_unique<engine::TagTelBasic>(file, call.lineNo, &call, 0, nullptr);
    EXPECT_EQ(script->initResult, 0) << file;
    return script;
  }

  // Runs the statement of keyword on script with the given arguments.
  static int32_t Exec(engine::TagTelBasic* script, const char* keyword,
                      std::vector<engine::TagVar*> args) {
    engine::StatementBuild build;
    build.row = engine::Keywords().FindKeyword(keyword);
    build.args = std::move(args);
    build.script = script;
    std::string error;
    std::unique_ptr<engine::TagOper> s(engine::Statements().Build(build, &error));
    EXPECT_NE(s, nullptr) << keyword << ": " << error;
    return s != nullptr ? s->Execute() : INT32_MIN;
  }
  int32_t Exec(const char* keyword, std::vector<engine::TagVar*> args) {
    return Exec(script_.get(), keyword, std::move(args));
  }

  // The local port of a socket of the table.
  int PortOf(int32_t handle, services::SocketKind kind, engine::TagTelBasic* script = nullptr) {
    const int socket =
        services::SocketSetOf(script != nullptr ? script : script_.get())->Find(handle, kind);
    sockaddr_in a{};
    socklen_t len = sizeof a;
    getsockname(socket, reinterpret_cast<sockaddr*>(&a), &len);
    return ntohs(a.sin_port);
  }

  // Values owned by the test; a test's other threads may make them too.
  engine::TagVar* Val(int32_t v) {
    engine::TagVar* value = NewValue();
    value->SetInt(v);
    return value;
  }
  engine::TagVar* Val(std::string_view text) {
    engine::TagVar* value = NewValue();
    value->SetBytes(text.data(), text.size());
    return value;
  }
  engine::TagVar* NewValue() {
    std::lock_guard<std::mutex> hold(values_mutex_);
    values_.push_back(std::make_unique<engine::TagVar>());
    return values_.back().get();
  }

  testing_support::TempDir dir_;
  testing_support::ScopedChdir cd_{dir_.path()};
  engine::LineCallBase call_;
  std::unique_ptr<engine::TagTelBasic> script_;
  std::mutex values_mutex_;
  std::vector<std::unique_ptr<engine::TagVar>> values_;  // guarded by values_mutex_
};

}  // namespace services_test

#endif  // VTTEL_TESTS_SERVICES_TCP_SCRIPT_FIXTURE_H_
