// Scripts of several lines in one test process, for the message,
// inter-line, shared-memory and ACD statements: a line table of kLines
// lines whose stores are
// those of the scripts the test put on them (none on a line without one or
// whose script did not compile, as the line drive answers), each script
// compiled on a call object of its own line by ScriptOnLine, on a fake
// clock. The service statements are registered.
#ifndef VTTEL_TESTS_TELEPHONY_MESSAGE_LINES_H_
#define VTTEL_TESTS_TELEPHONY_MESSAGE_LINES_H_

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "engine/line_call.h"
#include "platform/clock.h"
#include "services/interline/line_messages.h"
#include "services/interline/process_queues.h"
#include "services/service_statements.h"
#include "tests/telephony/script_on_line.h"
#include "tests/test_support.h"

namespace telephony {

template <int32_t LineCount>
class LinesTest : public ::testing::Test {
 protected:
  static constexpr int32_t kLines = LineCount;

  class Table : public engine::LineTableFacts {
   public:
    int32_t LineCount() const override { return kLines; }
    std::shared_ptr<engine::ScriptStore> LineStore(int32_t line,
                                                   engine::StoreSlot slot) const override {
      const engine::TagTelBasic* s = scripts[static_cast<size_t>(line)].load();
      return s != nullptr && s->initResult == 0 ? s->SharedStore(slot) : nullptr;
    }
    std::array<std::atomic<const engine::TagTelBasic*>, kLines> scripts{};
  };

  LinesTest() {
    services::RegisterServiceStatements();
    engine::SetLineTableFacts(&table_);
    for (int32_t q = 0; q < services::kMsgQueues; ++q) {
      services::ProcessQueue(q).Clear();
      services::ServerQueue(q).Clear();
    }
  }
  ~LinesTest() override {
    for (auto& s : table_.scripts) s.store(nullptr);
    for (auto& l : lines_) l.reset();
    engine::SetLineTableFacts(nullptr);
  }

  // Compiles text as the script of line n (replacing the one there).
  ScriptOnLine& Line(int32_t n, const std::string& text) {
    const auto i = static_cast<size_t>(n);
    table_.scripts[i].store(nullptr);
    lines_[i].reset();
    calls_[i].lineNo = n;
    lines_[i] = std::make_unique<ScriptOnLine>(text, calls_[i], "line" + std::to_string(n) + ".vts");
    table_.scripts[i].store(&lines_[i]->script());
    return *lines_[i];
  }
  // Polls every few milliseconds until done() or timeout_ms: true when done.
  template <typename Done>
  static bool WaitFor(Done done, int timeout_ms = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
  }
  // Takes the script off line n in the table (the line has none).
  void Unplug(int32_t n) { table_.scripts[static_cast<size_t>(n)].store(nullptr); }
  // Queue q of the script on line n.
  services::TagMsgList& QueueOf(int32_t n, int32_t q) {
    auto* store = static_cast<services::LineMessages*>(
        lines_[static_cast<size_t>(n)]->script().store(engine::StoreSlot::kMessages));
    return store->Queue(q);
  }

  testing_support::TempDir dir_;
  testing_support::ScopedChdir cd_{dir_.path()};
  platform::FakeClock clock_;
  platform::ScopedClock scoped_clock_{&clock_};
  Table table_;
  std::array<TagVtCall, kLines> calls_;
  std::array<std::unique_ptr<ScriptOnLine>, kLines> lines_;
};

using MessageLinesTest = LinesTest<3>;

}  // namespace telephony

#endif  // VTTEL_TESTS_TELEPHONY_MESSAGE_LINES_H_
