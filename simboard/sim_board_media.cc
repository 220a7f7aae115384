// SimBoard: the media clock's tick. Every 20 ms each busy line moves 160
// bytes: what its far end sends (the queued injected files, else A-law
// silence) is taken only when something on the board receives it (a
// recording of the line, a switch partner, the line's conference group);
// what the line sends is its play, else its switch partner's received
// audio, else its conference group's mix; a capture keeps what is sent.
// Idle lines cost one test each; nothing is allocated per tick. Files are
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

void SimBoard::Tick() {
  std::lock_guard<OwnedMutex> hold(mutex_);
  ++tick_;
  SimClock::time_point now = SimClock::now();
  for (SimLine& line : lines_) {
    if (line.HasTimers()) FinishDueTimers(line, now);
  }
  for (SimFax& fax : faxes_) {
    if (fax.running) FinishFax(fax);
  }
  for (SimGroup& group : groups_) {
    if (group.Active()) MixGroup(group);
  }
  for (SimLine& line : lines_) {
    if (line.HasMedia()) SendLine(line);
  }
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
