// SimBoard: construction, the control socket, journal and strict mode, line
// lookup, and the board and analog port entries.
#include "simboard/sim_board.h"

#include <sys/stat.h>

#include "platform/g711.h"
#include "simboard/sim_board_entry.h"

namespace simboard {

SimBoard::SimBoard(SimConfig config)
    : config_(std::move(config)),
      e1_count_(config_.trunks * kChannelsPerTrunk),
      bells_(std::make_unique<platform::ChangeBell[]>(static_cast<size_t>(e1_count_) +
                                                     config_.analog_ports.size())),
      strict_(config_.strict),
      journal_(config_.journal),
      clock_(kTickPeriod, [this] {
        PumpFarEndFiles();
        return Tick();
      }) {
  silence_.fill(platform::kAlawZero);
  lines_ = std::vector<SimLine>(static_cast<size_t>(e1_count_) + config_.analog_ports.size());
  for (size_t i = 0; i < lines_.size(); ++i) {
    SimLine& line = lines_[i];
    int32_t index = static_cast<int32_t>(i);
    if (index < e1_count_) {
      line.addr = Address{Address::Kind::kE1, index};
    } else {
      line.addr = Address{Address::Kind::kAnalog, index - e1_count_};
      line.port_type = config_.analog_ports[static_cast<size_t>(index - e1_count_)];
    }
    line.name = line.addr.Text();
  }
  groups_.resize(static_cast<size_t>(config_.conference == ConferenceKind::kNone
                                         ? 0
                                         : config_.conf_groups));
  faxes_.resize(static_cast<size_t>(config_.fax_resources));
  clock_.Start();
}

SimBoard::~SimBoard() {
  StopControl();
  clock_.Stop();
  std::vector<StoppedRecord> stopped;
  {
    std::lock_guard<OwnedMutex> hold(mutex_);
    StopAllMedia();
    stopped.swap(stopped_records_);
  }
  FinishStoppedRecords(std::move(stopped));
  PumpFarEndFiles();  // the stopped captures' last bytes; closes every file
}

bool SimBoard::StartControl(std::string& error) {
  StopControl();
  const std::string path = config_.SocketPath();
  const std::string folder = path.substr(0, path.rfind('/'));
  struct stat st {};
  if (!folder.empty() && (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))) {
    error = std::string(kSimBoardIni) + ": Socket=" + config_.socket + ": the folder " + folder +
            " does not exist";
    return false;
  }
  auto server = std::make_unique<ControlServer>(*this, events_, control_log_);
  if (!server->Start(config_.SocketPath(), error)) return false;
  control_ = std::move(server);
  return true;
}

void SimBoard::StopControl() {
  if (control_) control_->Stop();
  control_.reset();
}

std::vector<JournalEntry> SimBoard::Journal() const {
  std::lock_guard<OwnedMutex> hold(mutex_);
  return journal_.Entries();
}

void SimBoard::ClearJournal() {
  std::lock_guard<OwnedMutex> hold(mutex_);
  journal_.Clear();
}

std::vector<std::string> SimBoard::JournalOrdinals() const {
  std::lock_guard<OwnedMutex> hold(mutex_);
  return journal_.Ordinals();
}

void SimBoard::SetStrict(bool strict) {
  std::lock_guard<OwnedMutex> hold(mutex_);
  strict_ = strict;
}

std::vector<std::string> SimBoard::Violations() const {
  std::lock_guard<OwnedMutex> hold(mutex_);
  return violations_;
}

void SimBoard::Violation(std::string text) { violations_.push_back(std::move(text)); }

void SimBoard::WatchLock(const board::BoardLock* lock) {
  std::lock_guard<OwnedMutex> hold(mutex_);
  watched_ = lock;
}

board::ChannelChanges* SimBoard::changes() {
  return config_.change_wait ? this : nullptr;
}

uint32_t SimBoard::ChangeCount(int32_t type, int32_t number) {
  const int32_t line = LineOfMember(type, number);
  return line < 0 ? 0 : bells_[static_cast<size_t>(line)].Count();
}

void SimBoard::WaitChange(int32_t type, int32_t number, uint32_t seen, uint32_t timeout_ms) {
  const int32_t line = LineOfMember(type, number);
  if (line < 0) return;
  bells_[static_cast<size_t>(line)].WaitUntil(
      seen, SimClock::now() + std::chrono::milliseconds(timeout_ms));
}

void SimBoard::Nudge(int32_t type, int32_t number) {
  const int32_t line = LineOfMember(type, number);
  if (line >= 0) bells_[static_cast<size_t>(line)].Ring();
}

// --- Line lookup. ---

int32_t SimBoard::LineOfChannel(int32_t ch) const {
  return ch >= 0 && ch < e1_count_ ? ch : -1;
}

int32_t SimBoard::LineOfPort(int32_t port) const {
  return port >= 0 && static_cast<size_t>(port) < config_.analog_ports.size() ? e1_count_ + port
                                                                             : -1;
}

int32_t SimBoard::LineOfCircuit(uint8_t port, uint8_t slot) const {
  if (slot >= kChannelsPerTrunk) return -1;
  return LineOfChannel(port * kChannelsPerTrunk + slot);
}

int32_t SimBoard::LineOfMember(int32_t type, int32_t number) const {
  if (type == 0) return LineOfChannel(number);
  if (type == 1) return LineOfPort(number);
  return -1;
}

int32_t SimBoard::LineOf(Address addr) const {
  return addr.kind == Address::Kind::kE1 ? LineOfChannel(addr.index) : LineOfPort(addr.index);
}

SimLine* SimBoard::PortOfType(int32_t port, int32_t type) {
  int32_t line = LineOfPort(port);
  if (line < 0 || lines_[line].port_type != type) return nullptr;
  return &lines_[line];
}

// --- Board. ---

int32_t SimBoard::OpenBoard(std::string_view text, std::string_view prompt_file) {
  Entry e(*this, kLibE1, 1, "OpenBoard", text, prompt_file);
  if (config_.open_result == 0) phase_ = Phase::kOpening;
  return e.Done(config_.open_result);
}

void SimBoard::CloseBoard() {
  Entry e(*this, kLibE1, 2, "CloseBoard");
  StopAllMedia();
  phase_ = Phase::kClosed;
}

void SimBoard::PumpBoard() { Entry e(*this, kLibE1, 3, "PumpBoard"); }

int32_t SimBoard::TrunkCount() {
  Entry e(*this, kLibE1, 273, "TrunkCount");
  return e.Done(config_.trunks);
}

int32_t SimBoard::ChannelsOfTrunks(int32_t trunks) {
  Entry e(*this, kLibE1, 25, "ChannelsOfTrunks", trunks);
  return e.Done(trunks * kChannelsPerTrunk);
}

int32_t SimBoard::AnalogPortCount(int32_t n) {
  Entry e(*this, kLibE1, 78, "AnalogPortCount", n);
  return e.Done(static_cast<int32_t>(config_.analog_ports.size()));
}

int64_t SimBoard::SerialNumber(int32_t which) {
  Entry e(*this, kLibE1, 280, "SerialNumber", which);
  return e.Done(config_.serial_no);
}

void SimBoard::SetAnalogParams(int32_t a, int32_t b) {
  Entry e(*this, kLibE1, 348, "SetAnalogParams", a, b);
}

int32_t SimBoard::PortType(int32_t port) {
  Entry e(*this, kLibE1, 316, "PortType", port);
  int32_t line = LineOfPort(port);
  return e.Done(line < 0 ? -1 : lines_[line].port_type);
}

void SimBoard::InitPort(int32_t port) { Entry e(*this, kLibE1, 88, "InitPort", port); }

// --- Analog port. ---

void SimBoard::PortOffHook(int32_t port) {
  Entry e(*this, kLibE1, 79, "PortOffHook", port);
  if (SimLine* line = PortOfType(port, kPortTrunk)) line->hook = true;
}

void SimBoard::PortOnHook(int32_t port) {
  Entry e(*this, kLibE1, 80, "PortOnHook", port);
  if (SimLine* line = PortOfType(port, kPortTrunk)) {
    line->hook = false;
    line->dialing = false;
    line->connected = false;
  }
}

int32_t SimBoard::PortStartRing(int32_t port) {
  Entry e(*this, kLibE1, 85, "PortStartRing", port);
  SimLine* line = PortOfType(port, kPortPhone);
  if (line == nullptr) return e.Done(-1);
  line->ringing = true;
  Post("RING", line->name, "");
  return e.Done(1);
}

void SimBoard::PortStopRing(int32_t port) {
  Entry e(*this, kLibE1, 86, "PortStopRing", port);
  SimLine* line = PortOfType(port, kPortPhone);
  if (line == nullptr || !line->ringing) return;
  line->ringing = false;
  Post("RINGSTOP", line->name, "");
}

int32_t SimBoard::PortIsOffHook(int32_t port) {
  Entry e(*this, kLibE1, 90, "PortIsOffHook", port);
  int32_t line = LineOfPort(port);
  return e.Done(line >= 0 && lines_[line].hook ? 1 : 0);
}

void SimBoard::PortClearKeys(int32_t port) {
  Entry e(*this, kLibE1, 96, "PortClearKeys", port);
  ClearLineKeys(LineOfPort(port));
}

int32_t SimBoard::PortKey(int32_t port) {
  Entry e(*this, kLibE1, 263, "PortKey", port);
  return e.Done(LineKey(LineOfPort(port)));
}

int32_t SimBoard::PortDial(int32_t port, std::string_view number) {
  Entry e(*this, kLibE1, 269, "PortDial", port, number);
  SimLine* line = PortOfType(port, kPortTrunk);
  if (line == nullptr || !line->hook) return e.Done(0);
  if (line->refuse_dial) {
    line->refuse_dial = false;
    return e.Done(0);
  }
  line->dialing = true;
  line->connected = false;
  Post("CALLOUT", line->name, std::string(number) + " -");
  return e.Done(1);
}

int32_t SimBoard::PortConnected(int32_t port) {
  Entry e(*this, kLibE1, 270, "PortConnected", port);
  SimLine* line = PortOfType(port, kPortTrunk);
  return e.Done(line != nullptr && line->connected ? 1 : 0);
}

int32_t SimBoard::PortPlay(int32_t port, std::string_view file, int32_t offset, int32_t length) {
  const int32_t line = LineOfPort(port);
  auto opened = line < 0 ? nullptr : OpenPlayFile(file, offset, length);
  Entry e(*this, kLibE1, 251, "PortPlay", port, file, offset, length);
  return e.Done(StartLinePlay(line, std::move(opened), file, offset));
}

void SimBoard::PortStopPlay(int32_t port) {
  Entry e(*this, kLibE1, 252, "PortStopPlay", port);
  StopLinePlay(LineOfPort(port));
}

int32_t SimBoard::PortRecord(int32_t port, std::string_view file, int32_t position,
                             int32_t max_bytes) {
  const int32_t line = LineOfPort(port);
  auto opened = line < 0 ? nullptr : OpenRecordFile(file, position);
  Entry e(*this, kLibE1, 253, "PortRecord", port, file, position, max_bytes);
  return e.Done(StartLineRecord(line, std::move(opened), file, max_bytes));
}

void SimBoard::PortStopRecord(int32_t port) {
  Entry e(*this, kLibE1, 254, "PortStopRecord", port);
  StopLineRecord(LineOfPort(port));
}

int32_t SimBoard::PortPlayId(int32_t port) {
  Entry e(*this, kLibE1, 101, "PortPlayId", port);
  int32_t line = LineOfPort(port);
  return e.Done(line < 0 ? -1 : lines_[line].play_id);
}

int32_t SimBoard::PortRecordId(int32_t port) {
  Entry e(*this, kLibE1, 102, "PortRecordId", port);
  int32_t line = LineOfPort(port);
  return e.Done(line < 0 ? -1 : lines_[line].record_id);
}

}  // namespace simboard
