// SimBoard: fax resources and transfers, FSK caller-identification sending,
// and the timers (keys still to come, DTMF, FSK) that end in real time.
#include "simboard/sim_board_entry.h"

namespace simboard {
namespace {

// Bell 202: 1200 bit/s; a message is preceded by the channel seizure and
// the mark bits and takes 10 bits (start, 8 data, stop) a byte.
constexpr int64_t kFskBitsPerSecond = 1200;
constexpr int64_t kFskSeizureBits = 300;
constexpr int64_t kFskMarkBits = 180;
constexpr int64_t kFskBitsPerByte = 10;


std::string Hex(const uint8_t* bytes, size_t n) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(n * 2);
  for (size_t i = 0; i < n; ++i) {
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 0x0F];
  }
  return out;
}

}  // namespace

// --- Timers. ---

void SimBoard::FinishDueTimers(SimLine& line, SimClock::time_point now) {
  bool changed = false;
  while (!line.coming_keys.empty() && line.coming_keys.front().first <= now) {
    line.keys.push_back(line.coming_keys.front().second);
    line.coming_keys.pop_front();
    changed = true;
  }
  if (line.dtmf_running && line.dtmf_due <= now) {
    line.dtmf_running = false;
    Post("DTMF", line.name, line.dtmf);
    changed = true;
  }
  if (line.fsk_running && line.fsk_due <= now) {
    line.fsk_running = false;
    Post("FSK", line.name, line.fsk_hex);
    changed = true;
  }
  if (changed) Changed(line);
}

// --- Fax. ---

SimFax* SimBoard::FaxOf(int32_t fax) {
  if (fax < 0 || static_cast<size_t>(fax) >= faxes_.size()) return nullptr;
  return &faxes_[fax];
}

bool SimBoard::LineConnected(const SimLine& line) const {
  if (line.addr.kind == Address::Kind::kE1) {
    return line.tup_state == kTupConnectedIn || line.tup_state == kTupConnectedOut;
  }
  return line.port_type == kPortPhone ? line.hook : line.connected;
}

// A received document is stored by the media thread outside the lock
// (sim_board_far_end_files.cc); the other transfers end here.
void SimBoard::FinishFax(SimFax& fax) {
  if (!fax.running || fax.writing || fax.due > SimClock::now()) return;
  const SimLine& line = lines_[fax.line];
  if (fax.sending) {
    EndFax(fax, LineConnected(line) ? kFaxDone : kFaxSendFailed);
  } else if (!line.HasInject()) {
    EndFax(fax, kFaxNothingReceived);
  }
}

void SimBoard::EndFax(SimFax& fax, int32_t state) {
  fax.running = false;
  fax.writing = false;
  fax.state = state;
  Post("FAX", lines_[fax.line].name,
       std::string(fax.sending ? "send " : "recv ") + fax.file + " " + std::to_string(fax.state));
}

int32_t SimBoard::FaxInit(int32_t buffer) {
  Entry e(*this, kLibE1, 172, "FaxInit", buffer);
  return e.Done(config_.fax_init);
}

int32_t SimBoard::FaxResourceCount() {
  Entry e(*this, kLibE1, 175, "FaxResourceCount");
  return e.Done(static_cast<int32_t>(faxes_.size()));
}

void SimBoard::FaxClose() {
  Entry e(*this, kLibE1, 173, "FaxClose");
  for (SimFax& fax : faxes_) fax = SimFax{};
}

int32_t SimBoard::FaxFreeResource() {
  Entry e(*this, kLibE1, 187, "FaxFreeResource");
  for (size_t i = 0; i < faxes_.size(); ++i) {
    if (faxes_[i].line < 0) return e.Done(static_cast<int32_t>(i));
  }
  return e.Done(-1);
}

int32_t SimBoard::AttachFax(int32_t fax, int32_t line) {
  SimFax* f = FaxOf(fax);
  if (f == nullptr || line < 0 || f->line >= 0) return 0;
  *f = SimFax{};
  f->line = line;
  return 1;
}

int32_t SimBoard::FaxAttachChannel(int32_t fax, int32_t ch) {
  Entry e(*this, kLibE1, 181, "FaxAttachChannel", fax, ch);
  return e.Done(AttachFax(fax, LineOfChannel(ch)));
}

int32_t SimBoard::FaxAttachPort(int32_t fax, int32_t port) {
  Entry e(*this, kLibE1, 350, "FaxAttachPort", fax, port);
  return e.Done(AttachFax(fax, LineOfPort(port)));
}

void SimBoard::FaxDetach(int32_t fax, int32_t ch_or_port) {
  Entry e(*this, kLibE1, 182, "FaxDetach", fax, ch_or_port);
  if (SimFax* f = FaxOf(fax)) *f = SimFax{};
}

void SimBoard::FaxRelease(int32_t fax) {
  Entry e(*this, kLibE1, 194, "FaxRelease", fax);
  if (SimFax* f = FaxOf(fax)) f->running = false;
}

void SimBoard::FaxSetLocalId(int32_t fax, std::string_view id) {
  Entry e(*this, kLibE1, 176, "FaxSetLocalId", fax, id);
}

int32_t SimBoard::FaxStartSend(int32_t fax, std::string_view file) {
  // The file must open; it is checked before the lock and closed by the
  // media thread.
  std::shared_ptr<VoiceFileReader> checked = OpenPlayFile(file, 0, -1);
  const bool readable = checked != nullptr;
  Entry e(*this, kLibE1, 195, "FaxStartSend", fax, file);
  if (readable) retired_files_.push_back(std::move(checked));
  clock_.Wake();
  SimFax* f = FaxOf(fax);
  if (f == nullptr || f->line < 0 || !readable) return e.Done(0);
  f->running = true;
  f->sending = true;
  f->file = std::string(file);
  f->state = 0;
  f->due = SimClock::now() + std::chrono::milliseconds(config_.fax_ms);
  return e.Done(1);
}

int32_t SimBoard::FaxStartReceive(int32_t fax, std::string_view file) {
  Entry e(*this, kLibE1, 197, "FaxStartReceive", fax, file);
  SimFax* f = FaxOf(fax);
  if (f == nullptr || f->line < 0) return e.Done(0);
  f->running = true;
  clock_.Wake();
  f->sending = false;
  f->file = std::string(file);
  f->state = 0;
  f->receive_result = 0;
  f->due = SimClock::now() + std::chrono::milliseconds(config_.fax_ms);
  return e.Done(1);
}

int32_t SimBoard::FaxState(int32_t fax) {
  Entry e(*this, kLibE1, 196, "FaxState", fax);
  SimFax* f = FaxOf(fax);
  if (f == nullptr) return e.Done(-1);
  FinishFax(*f);
  return e.Done(f->state);
}

int32_t SimBoard::FaxReceiveResult(int32_t fax) {
  Entry e(*this, kLibE1, 404, "FaxReceiveResult", fax);
  SimFax* f = FaxOf(fax);
  return e.Done(f == nullptr ? 0 : f->receive_result);
}

// --- FSK. ---

int32_t SimBoard::FskInit(int32_t mode) {
  Entry e(*this, kLibFsk, 1, "FskInit", mode);
  return e.Done(config_.fsk_init);
}

int32_t SimBoard::FskSend(int32_t port, const uint8_t* message, uint16_t length, int32_t mode) {
  std::string hex = message == nullptr ? std::string() : Hex(message, length);
  Entry e(*this, kLibFsk, 4, "FskSend", port, hex, length, mode);
  SimLine* line = PortOfType(port, kPortPhone);
  if (line == nullptr || length == 0 || message == nullptr) return e.Done(-1);
  int64_t bits = kFskSeizureBits + kFskMarkBits + kFskBitsPerByte * length;
  line->fsk_running = true;
  Clock(*line);
  line->fsk_hex = std::move(hex);
  line->fsk_due = SimClock::now() + std::chrono::microseconds(bits * 1000000 / kFskBitsPerSecond);
  return e.Done(0);
}

int32_t SimBoard::FskIsSent(int32_t port, int32_t mode) {
  Entry e(*this, kLibFsk, 3, "FskIsSent", port, mode);
  int32_t line = LineOfPort(port);
  if (line < 0) return e.Done(1);
  FinishDueTimers(lines_[line], SimClock::now());
  return e.Done(lines_[line].fsk_running ? 0 : 1);
}

void SimBoard::FskEndSend(int32_t port, int32_t mode) {
  Entry e(*this, kLibFsk, 6, "FskEndSend", port, mode);
  int32_t line = LineOfPort(port);
  if (line >= 0) FinishDueTimers(lines_[line], SimClock::now());
}

void SimBoard::FskClose() { Entry e(*this, kLibFsk, 7, "FskClose"); }

}  // namespace simboard
