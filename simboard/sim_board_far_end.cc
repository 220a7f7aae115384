// SimBoard: the far end of its lines (FarEnd). Each operation answers an
// empty text when done, else the reason it was refused.
#include <algorithm>
#include <utility>

#include "simboard/sim_board_entry.h"

namespace simboard {
namespace {

constexpr int32_t kMaxKeyGapMs = 60000;
constexpr char kNoSuchLine[] = "no such line";

std::string FileRefusal(platform::FileOpenError why) {
  return why == platform::FileOpenError::kNotRegular ? "not a regular file" : "cannot open file";
}

// The far end's hang-up and answer on an analog trunk port and on an E1
// circuit (REQUIRES: board lock held).
std::string HangUpPort(SimLine& l) {
  if (!l.dialing && !l.connected) return "no call on the port";
  l.dialing = false;
  l.connected = false;
  return "";
}

std::string HangUpCircuit(SimLine& l) {
  uint8_t s = l.tup_state;
  if (s != kTupOffered && s != kTupConnectedIn && s != kTupConnectedOut && s != kTupCalling) {
    return "no call on the circuit";
  }
  l.tup_state = kTupFarReleased;
  return "";
}

std::string AnswerPort(SimLine& l) {
  if (!l.dialing) return "no outgoing call on the port";
  l.connected = true;
  return "";
}

std::string AnswerCircuit(SimLine& l) {
  if (l.tup_state != kTupCalling) return "no outgoing call on the circuit";
  l.tup_state = kTupConnectedOut;
  return "";
}

bool IsKey(char c) {
  return (c >= '0' && c <= '9') || c == '*' || c == '#' || (c >= 'A' && c <= 'D') ||
         (c >= 'a' && c <= 'd');
}

}  // namespace

// Opens a far-end file of a line before the board's lock is taken, then
// hands it to the line under the lock; a capture that place() gives back
// (the one replaced) has its last bytes written after the lock.
template <typename File, typename Open, typename Place>
std::string SimBoard::WithFarEndFile(Address line, std::string_view file, Open open,
                                     Place place) {
  int32_t i = LineOf(line);
  if (i < 0) return kNoSuchLine;
  auto opened = std::make_shared<File>();
  platform::FileOpenError why;
  if (!open(*opened, config_.FolderPath(file), why)) return FileRefusal(why);
  std::shared_ptr<CaptureSpool> replaced;
  {
    std::lock_guard<OwnedMutex> hold(mutex_);
    replaced = place(lines_[i], std::move(opened));
    Clock(lines_[i]);
  }
  if (replaced != nullptr) replaced->Flush();
  return "";
}

std::string SimBoard::Call(Address line, std::string_view calling, std::string_view called) {
  std::lock_guard<OwnedMutex> hold(mutex_);
  int32_t i = LineOf(line);
  if (i < 0 || line.kind != Address::Kind::kE1) return "no such E1 line";
  SimLine& c = lines_[i];
  if (c.tup_state != kTupIdle) return "circuit not idle";
  c.tup_state = kTupOffered;
  c.calling = std::string(calling.substr(0, board::kTupNumberMax));
  c.called = std::string(called.substr(0, board::kTupNumberMax));
  Changed(c);
  return "";
}

std::string SimBoard::OnTrunkOrCircuit(Address line, std::string (*on_port)(SimLine&),
                                       std::string (*on_circuit)(SimLine&)) {
  std::lock_guard<OwnedMutex> hold(mutex_);
  int32_t i = LineOf(line);
  if (i < 0) return kNoSuchLine;
  SimLine& l = lines_[i];
  if (line.kind != Address::Kind::kAnalog) return ChangedUnless(l, on_circuit(l));
  if (l.port_type != kPortTrunk) return "not a trunk port";
  return ChangedUnless(l, on_port(l));
}

std::string SimBoard::Hangup(Address line) {
  return OnTrunkOrCircuit(line, HangUpPort, HangUpCircuit);
}

std::string SimBoard::Answer(Address line) {
  return OnTrunkOrCircuit(line, AnswerPort, AnswerCircuit);
}

std::string SimBoard::Reject(Address line, int32_t progress) {
  std::lock_guard<OwnedMutex> hold(mutex_);
  int32_t i = LineOf(line);
  if (i < 0) return kNoSuchLine;
  if (progress != 3 && progress != 4 && progress != 8) return "progress must be 3, 4 or 8";
  SimLine& l = lines_[i];
  if (line.kind == Address::Kind::kAnalog) {
    // A trunk port has no progress to report: its next dial fails.
    if (l.port_type != kPortTrunk) return "not a trunk port";
    if (l.dialing || l.connected) return "call on the port";
    l.refuse_dial = true;
    Changed(l);
    return "";
  }
  if (l.tup_state != kTupCalling) return "no outgoing call on the circuit";
  l.progress = static_cast<uint8_t>(progress);
  Changed(l);
  return "";
}

std::string SimBoard::Block(Address line) {
  std::lock_guard<OwnedMutex> hold(mutex_);
  int32_t i = LineOf(line);
  if (i < 0 || line.kind != Address::Kind::kE1) return "no such E1 line";
  SimLine& l = lines_[i];
  if (l.tup_state == kTupBlocked || l.block_pending) return "circuit already blocked";
  if (l.tup_state == kTupIdle) {
    l.tup_state = kTupBlocked;
  } else {
    l.block_pending = true;  // takes effect when the system releases
  }
  Changed(l);
  return "";
}

std::string SimBoard::Unblock(Address line) {
  std::lock_guard<OwnedMutex> hold(mutex_);
  int32_t i = LineOf(line);
  if (i < 0 || line.kind != Address::Kind::kE1) return "no such E1 line";
  SimLine& l = lines_[i];
  if (l.block_pending) {
    l.block_pending = false;
  } else if (l.tup_state == kTupBlocked) {
    l.tup_state = kTupIdle;
  } else {
    return "circuit not blocked";
  }
  Changed(l);
  return "";
}

std::string SimBoard::Lift(Address line) {
  std::lock_guard<OwnedMutex> hold(mutex_);
  int32_t i = LineOf(line);
  if (i < 0 || line.kind != Address::Kind::kAnalog) return "no such analog port";
  SimLine& l = lines_[i];
  if (l.port_type != kPortPhone) return "not a phone port";
  l.hook = true;
  l.ringing = false;  // lifting the set answers the ringing
  Changed(l);
  return "";
}

std::string SimBoard::Drop(Address line) {
  std::lock_guard<OwnedMutex> hold(mutex_);
  int32_t i = LineOf(line);
  if (i < 0 || line.kind != Address::Kind::kAnalog) return "no such analog port";
  SimLine& l = lines_[i];
  if (l.port_type != kPortPhone) return "not a phone port";
  l.hook = false;
  Changed(l);
  return "";
}

std::string SimBoard::Keys(Address line, std::string_view digits, int32_t gap_ms) {
  std::lock_guard<OwnedMutex> hold(mutex_);
  int32_t i = LineOf(line);
  if (i < 0) return kNoSuchLine;
  if (digits.empty()) return "no keys";
  for (char c : digits) {
    if (!IsKey(c)) return "not a key: " + std::string(1, c);
  }
  if (gap_ms < 0 || gap_ms > kMaxKeyGapMs) return "gap out of range";
  SimLine& l = lines_[i];
  SimClock::time_point now = SimClock::now();
  SimClock::time_point start = now;
  if (!l.coming_keys.empty()) start = std::max(now, l.coming_keys.back().first);
  for (size_t k = 0; k < digits.size(); ++k) {
    auto due = start + std::chrono::milliseconds(gap_ms * static_cast<int64_t>(k));
    l.coming_keys.emplace_back(due, digits[k]);
  }
  Clock(l);
  FinishDueTimers(l, now);
  return "";
}

// Far-end files are opened before the board's lock is taken, and only
// regular files: a fifo or a device would hold the control thread (and the
// board with it) until a peer came.
std::string SimBoard::Inject(Address line, std::string_view file) {
  auto open = [](VoiceFileReader& reader, const std::string& path, platform::FileOpenError& why) {
    return reader.Open(path, 0, -1, &why);
  };
  return WithFarEndFile<VoiceFileReader>(
      line, file, open, [](SimLine& l, std::shared_ptr<VoiceFileReader> reader) {
        l.injects.push_back(std::move(reader));
        return std::shared_ptr<CaptureSpool>();
      });
}

std::string SimBoard::CaptureStart(Address line, std::string_view file) {
  auto open = [](CaptureSpool& spool, const std::string& path, platform::FileOpenError& why) {
    return spool.Open(path, 0, why);
  };
  return WithFarEndFile<CaptureSpool>(
      line, file, open, [](SimLine& l, std::shared_ptr<CaptureSpool> spool) {
        return std::exchange(l.capture, std::move(spool));
      });
}

std::string SimBoard::CaptureStop(Address line) {
  int32_t i = LineOf(line);
  if (i < 0) return kNoSuchLine;
  std::shared_ptr<CaptureSpool> stopped;
  {
    std::lock_guard<OwnedMutex> hold(mutex_);
    stopped = std::move(lines_[i].capture);
  }
  if (stopped == nullptr) return "no capture on the line";
  stopped->Flush();  // every captured byte is in the file when the request is answered
  return "";
}

std::string SimBoard::State(Address line, std::string& fields) {
  std::lock_guard<OwnedMutex> hold(mutex_);
  int32_t i = LineOf(line);
  if (i < 0) return kNoSuchLine;
  SimLine& l = lines_[i];
  FinishDueTimers(l, SimClock::now());
  auto flag = [](bool b) { return b ? "1" : "0"; };
  fields.clear();
  if (line.kind == Address::Kind::kE1) {
    fields = "state=" + std::to_string(l.tup_state);
  } else {
    fields = std::string("hook=") + flag(l.hook) + " ringing=" + flag(l.ringing) +
             " connected=" + flag(l.connected);
  }
  fields += std::string(" playing=") + flag(l.play != nullptr && !l.play->ended);
  fields += std::string(" recording=") + flag(l.record != nullptr && !l.record->ended);
  fields += " keys=" + std::to_string(l.keys.size());
  fields += " switched=" + (l.partner >= 0 ? lines_[l.partner].name : std::string("-"));
  fields += " group=" + std::to_string(l.group);
  return "";
}

}  // namespace simboard
