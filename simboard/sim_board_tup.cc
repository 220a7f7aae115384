// SimBoard: the SS7 TUP signalling entries. A circuit (E1 port, time slot)
// is the E1 line port * 30 + slot; its state byte moves:
//   idle 1 --far CALL--> 8 --answer message--> 9
//   idle 1 --callout--> 3 --far ANSWER--> 6     (far REJECT: progress 3/4/8)
//   8, 9, 6, 3 --far HANGUP--> 2
//   any but idle --system release--> 1, or 5 when a block is pending
//   idle --far BLOCK--> 5 --far UNBLOCK--> 1
#include "simboard/sim_board_entry.h"

namespace simboard {
namespace {

constexpr int32_t kMessageCharge = 4;
constexpr int32_t kMessageAnswer = 6;
// A calling number the system passes to a callout.
constexpr size_t kCalloutCallingMax = 20;

void CopyNumber(const std::string& from, std::string& to) {
  to = from.substr(0, board::kTupNumberMax);
}

}  // namespace

SimLine* SimBoard::Circuit(uint8_t port, uint8_t slot) {
  int32_t line = LineOfCircuit(port, slot);
  return line < 0 ? nullptr : &lines_[line];
}

void SimBoard::TupOpen() {
  Entry e(*this, kLibTup, 9, "TupOpen");
  if (phase_ == Phase::kOpening) phase_ = Phase::kOpen;
}

void SimBoard::TupClose() {
  Entry e(*this, kLibTup, 10, "TupClose");
  if (phase_ == Phase::kOpen || phase_ == Phase::kOpening) phase_ = Phase::kClosing;
}

void SimBoard::TupPump() { Entry e(*this, kLibTup, 8, "TupPump"); }

uint8_t SimBoard::TupCircuitState(uint8_t port, uint8_t slot) {
  Entry e(*this, kLibTup, 1, "TupCircuitState", port, slot);
  SimLine* c = Circuit(port, slot);
  return e.Done(c == nullptr ? kTupNone : c->tup_state);
}

void SimBoard::TupRelease(uint8_t port, uint8_t slot, int32_t cause) {
  Entry e(*this, kLibTup, 2, "TupRelease", port, slot, cause);
  SimLine* c = Circuit(port, slot);
  if (c == nullptr) return;
  Post("RELEASE", c->name, std::to_string(cause));
  if (c->tup_state == kTupIdle || c->tup_state == kTupBlocked) return;
  c->tup_state = c->block_pending ? kTupBlocked : kTupIdle;
  c->block_pending = false;
  c->progress = 0;
  c->called.clear();
  c->calling.clear();
}

void SimBoard::TupSendMessage(uint8_t port, uint8_t slot, int32_t kind, int32_t value) {
  Entry e(*this, kLibTup, 3, "TupSendMessage", port, slot, kind, value);
  SimLine* c = Circuit(port, slot);
  if (c == nullptr) return;
  if (kind == kMessageCharge) {
    Post("CHARGE", c->name, std::to_string(value));
  } else if (kind == kMessageAnswer &&
             (c->tup_state == kTupOffered || c->tup_state == kTupConnectedIn)) {
    c->tup_state = kTupConnectedIn;
    Post("ANSWER", c->name, std::to_string(value));
  }
}

void SimBoard::TupCalledNumber(uint8_t port, uint8_t slot, std::string& number) {
  Entry e(*this, kLibTup, 4, "TupCalledNumber", port, slot);
  SimLine* c = Circuit(port, slot);
  number = c == nullptr ? std::string() : c->called;
}

void SimBoard::TupCallingNumber(uint8_t port, uint8_t slot, std::string& number) {
  Entry e(*this, kLibTup, 5, "TupCallingNumber", port, slot);
  SimLine* c = Circuit(port, slot);
  number = c == nullptr ? std::string() : c->calling;
}

uint8_t SimBoard::TupCallout(uint8_t port, uint8_t slot, std::string_view called,
                             std::string_view calling) {
  Entry e(*this, kLibTup, 7, "TupCallout", port, slot, called, calling);
  SimLine* c = Circuit(port, slot);
  if (c == nullptr || c->tup_state != kTupIdle) return e.Done<uint8_t>(0);
  c->tup_state = kTupCalling;
  c->progress = 0;
  CopyNumber(std::string(called), c->called);
  CopyNumber(std::string(calling.substr(0, kCalloutCallingMax)), c->calling);
  Post("CALLOUT", c->name, c->called + " " + (c->calling.empty() ? "-" : c->calling));
  return e.Done<uint8_t>(1);
}

uint8_t SimBoard::TupProgress(uint8_t port, uint8_t slot) {
  Entry e(*this, kLibTup, 11, "TupProgress", port, slot);
  SimLine* c = Circuit(port, slot);
  return e.Done<uint8_t>(c == nullptr ? 0 : c->progress);
}

}  // namespace simboard
