#include "engine/line_call.h"

#include <string>

#include "frame/log.h"
#include "platform/clock.h"

namespace engine {
namespace {

std::atomic<const LineTableFacts*> line_table{nullptr};

}  // namespace

void LineCallBase::TraceLog(std::string_view text) {
  frame::LogMsgF("lcnt=%d, %.*s", lineNo, static_cast<int>(text.size()), text.data());
}

void LineCallBase::ErrorLog(std::string_view text) {
  frame::LogAlwaysF("lcnt=%d, %.*s", lineNo, static_cast<int>(text.size()), text.data());
}

void LineCallBase::WaitChange(uint32_t seen, uint32_t timeout_ms) {
  platform::GetClock().WaitChange(stopBell_, seen, timeout_ms);
}

void SetLineTableFacts(const LineTableFacts* facts) {
  line_table.store(facts, std::memory_order_release);
}

int32_t LinesCount() {
  const LineTableFacts* facts = line_table.load(std::memory_order_acquire);
  return facts != nullptr ? facts->LineCount() : 0;
}

const frame::LineDriveFacts* LineDriveFacts() {
  const LineTableFacts* facts = line_table.load(std::memory_order_acquire);
  return facts != nullptr ? facts->DriveFacts() : nullptr;
}

std::shared_ptr<ScriptStore> LineStore(int32_t line, StoreSlot slot) {
  const LineTableFacts* facts = line_table.load(std::memory_order_acquire);
  return facts != nullptr ? facts->LineStore(line, slot) : nullptr;
}

}  // namespace engine
