// SimBoard: the media clock's tick. Every 20 ms each busy line moves 160
// bytes: what its far end sends (the queued injected files, else A-law
// silence) is taken only when something on the board receives it (a
// recording of the line, a switch partner, the line's conference group);
// what the line sends is its play, else its switch partner's received
// audio, else its conference group's mix; a capture keeps what is sent.
// The tick visits only the lines that have something for it (Clock), so
// idle lines cost nothing; nothing is allocated per tick. Files are
// read and written between ticks, outside the lock: the ticks take and put
// bytes in memory only (sim_board_far_end_files.cc).
#include <algorithm>
#include <cstring>

#include "platform/g711.h"
#include "simboard/sim_board_entry.h"

namespace simboard {
namespace {

int16_t Clamp16(int32_t v) {
  return static_cast<int16_t>(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX));
}

}  // namespace

bool SimBoard::Tick() {
  std::lock_guard<OwnedMutex> hold(mutex_);
  ++tick_;
  UpdateClockedLines();
  SimClock::time_point now = SimClock::now();
  for (int32_t i : clocked_lines_) {
    SimLine& line = lines_[static_cast<size_t>(i)];
    if (line.HasTimers()) FinishDueTimers(line, now);
  }
  for (SimFax& fax : faxes_) {
    if (fax.running) FinishFax(fax);
  }
  for (SimGroup& group : groups_) {
    if (group.Active()) MixGroup(group);
  }
  for (int32_t i : clocked_lines_) {
    SimLine& line = lines_[static_cast<size_t>(i)];
    if (line.HasMedia()) SendLine(line);
  }
  return ClockNeeded();
}

// REQUIRES: the lock held.
bool SimBoard::ClockNeeded() const {
  if (!clocked_lines_.empty() || !joining_lines_.empty() || !voices_.empty() ||
      !retired_captures_.empty() || !retired_files_.empty()) {
    return true;
  }
  auto fax_busy = [](const SimFax& fax) { return fax.running || fax.writing; };
  auto group_busy = [](const SimGroup& group) { return group.Active(); };
  return std::any_of(faxes_.begin(), faxes_.end(), fax_busy) ||
         std::any_of(groups_.begin(), groups_.end(), group_busy);
}

void SimBoard::Clock(SimLine& line) {
  if (line.clocked) return;
  line.clocked = true;
  joining_lines_.push_back(static_cast<int32_t>(&line - lines_.data()));
  clock_.Wake();
}

// Lines join in index order, so that a tick's events keep the order of the
// lines; a line leaves once it has nothing for the clock.
void SimBoard::UpdateClockedLines() {
  if (!joining_lines_.empty()) {
    const auto old_end = static_cast<std::ptrdiff_t>(clocked_lines_.size());
    clocked_lines_.insert(clocked_lines_.end(), joining_lines_.begin(), joining_lines_.end());
    joining_lines_.clear();
    std::sort(clocked_lines_.begin() + old_end, clocked_lines_.end());
    std::inplace_merge(clocked_lines_.begin(), clocked_lines_.begin() + old_end, clocked_lines_.end());
  }
  std::erase_if(clocked_lines_, [this](int32_t i) {
    SimLine& line = lines_[static_cast<size_t>(i)];
    if (line.NeedsClock()) return false;
    line.clocked = false;
    return true;
  });
}

// The far end's bytes of this tick: injected audio read ahead by the media
// thread, else silence.
const TickBuffer& SimBoard::Received(SimLine& line) {
  if (line.rx_tick == tick_) return line.rx;
  line.rx_tick = tick_;
  size_t filled = std::min(kTickBytes, line.inject_ready.size());
  std::memcpy(line.rx.data(), line.inject_ready.data(), filled);
  line.inject_ready.erase(0, filled);
  std::fill(line.rx.begin() + static_cast<std::ptrdiff_t>(filled), line.rx.end(), platform::kAlawZero);
  return line.rx;
}

void SimBoard::MixGroup(SimGroup& group) {
  std::array<int32_t, kTickBytes> sum{};
  if (group.play != nullptr && !group.play->ended) {
    TickBuffer bytes;
    size_t n = PlayTick(*group.play, bytes.data());
    for (size_t i = 0; i < n; ++i) sum[i] += platform::AlawToLinear(bytes[i]);
  }
  for (int32_t m : group.members) {
    SimLine& line = lines_[m];
    if (!line.talker) continue;
    const TickBuffer& rx = Received(line);
    for (size_t i = 0; i < kTickBytes; ++i) sum[i] += platform::AlawToLinear(rx[i]);
  }
  for (int32_t m : group.members) {
    SimLine& line = lines_[m];
    const TickBuffer* own = line.talker ? &Received(line) : nullptr;
    for (size_t i = 0; i < kTickBytes; ++i) {
      int32_t others = sum[i] - (own != nullptr ? platform::AlawToLinear((*own)[i]) : 0);
      line.mix[i] = platform::LinearToAlaw(Clamp16(others));
    }
    line.mix_tick = tick_;
  }
  if (group.record != nullptr && group.record->Recording()) {
    TickBuffer all;
    for (size_t i = 0; i < kTickBytes; ++i) all[i] = platform::LinearToAlaw(Clamp16(sum[i]));
    RecordTick(*group.record, all.data());
  }
}

void SimBoard::SendLine(SimLine& line) {
  TickBuffer played;
  const uint8_t* sent = nullptr;
  size_t n = 0;
  if (line.play != nullptr && !line.play->ended) {
    n = PlayTick(*line.play, played.data());
    sent = played.data();
  } else if (line.partner >= 0) {
    sent = Received(lines_[line.partner]).data();
    n = kTickBytes;
  } else if (line.group >= 0 && line.mix_tick == tick_) {
    sent = line.mix.data();
    n = kTickBytes;
  }
  if (n > 0 && line.capture != nullptr) line.capture->Put(sent, n);
  if (line.record != nullptr && line.record->Recording()) {
    RecordTick(*line.record, Received(line).data());
  }
}

// The play's next bytes, at most a tick's, from what the media thread read
// ahead; the play ends with its last byte once the file has no more.
size_t SimBoard::PlayTick(SimVoice& v, uint8_t* out) {
  size_t n = std::min(kTickBytes, v.ReadyBytes());
  std::memcpy(out, v.ready.data() + v.ready_pos, n);
  v.ready_pos += n;
  v.bytes += static_cast<int64_t>(n);
  if (v.ReadyBytes() == 0 && v.file_ended) EndVoice(v);
  return n;
}

// The recording's bytes go to its spool; at its length it is full, and the
// media thread ends it once they are in the file.
void SimBoard::RecordTick(SimVoice& v, const uint8_t* bytes) {
  int64_t take = std::min<int64_t>(kTickBytes, v.max_bytes - v.bytes);
  if (take > 0) {
    v.spool->Put(bytes, static_cast<size_t>(take));
    v.bytes += take;
  }
  if (v.bytes >= v.max_bytes) v.full = true;
}

}  // namespace simboard
