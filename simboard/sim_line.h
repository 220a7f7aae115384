// The state of the simulated board's lines, voices, conference groups and
// fax resources: plain records that SimBoard owns and changes under its
// lock. Nothing here is thread-safe on its own.
#ifndef VTTEL_SIMBOARD_SIM_LINE_H_
#define VTTEL_SIMBOARD_SIM_LINE_H_

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "simboard/capture_spool.h"
#include "simboard/far_end.h"
#include "simboard/sim_voice_file.h"

namespace simboard {

using SimClock = std::chrono::steady_clock;

// Bytes of one 20 ms tick of a stream at 8000 bytes/s.
inline constexpr size_t kTickBytes = 160;
inline constexpr auto kTickPeriod = std::chrono::milliseconds(20);
using TickBuffer = std::array<uint8_t, kTickBytes>;

// TUP circuit states (the byte that entry 1 of the signalling reports).
inline constexpr uint8_t kTupNone = 0;          // not a circuit of the board
inline constexpr uint8_t kTupIdle = 1;
inline constexpr uint8_t kTupFarReleased = 2;
inline constexpr uint8_t kTupCalling = 3;       // outgoing call in progress
inline constexpr uint8_t kTupBlocked = 5;
inline constexpr uint8_t kTupConnectedOut = 6;  // outgoing call answered
inline constexpr uint8_t kTupOffered = 8;       // incoming call offered
inline constexpr uint8_t kTupConnectedIn = 9;   // incoming call answered

// A play or a recording, in the one id space of the board. Its file is
// opened by the entry that starts it, before the board's lock; the media
// thread moves its bytes outside the lock (sim_board_far_end_files.cc).
struct SimVoice {
  enum class Kind { kPlay, kRecord };
  int32_t id = 0;
  Kind kind = Kind::kPlay;
  std::string addr;  // event address: "E3", "A0", "G2"
  // Plays: the file, and its bytes read ahead for the ticks.
  std::shared_ptr<VoiceFileReader> file;
  std::string ready;        // read ahead; the ticks take it from ready_pos
  size_t ready_pos = 0;
  bool file_ended = false;  // the file has no bytes beyond `ready`
  // Recordings: what the ticks take goes to the spool.
  std::shared_ptr<CaptureSpool> spool;
  int64_t max_bytes = 0;
  bool full = false;      // max_bytes taken; ended once they are in the file
  int64_t bytes = 0;      // moved so far
  bool ended = false;     // end reached or stopped (its end event posted)

  size_t ReadyBytes() const { return ready.size() - ready_pos; }
  bool Recording() const { return !ended && !full; }
};

// A recording stopped by an entry: its last bytes are written after the
// board's lock is released, before the entry returns; then its end event.
struct StoppedRecord {
  std::shared_ptr<CaptureSpool> spool;
  std::string addr;
  int64_t bytes = 0;
};

struct SimLine {
  Address addr;
  std::string name;         // "E3", "A0"
  int32_t port_type = -1;   // analog ports: the configured type

  // TUP circuit (E1 lines).
  uint8_t tup_state = kTupIdle;
  uint8_t progress = 0;
  bool block_pending = false;
  std::string called, calling;

  // Analog port.
  bool hook = false;       // phone port: set lifted; trunk port: off hook by the system
  bool ringing = false;
  bool dialing = false;    // trunk port: a number was dialed
  bool connected = false;  // trunk port: the far end answered
  bool refuse_dial = false;  // trunk port: the next dial fails (REJECT before a call)

  // Voices (ids stay until stopped or freed; the pointers until then too).
  int32_t play_id = -1;
  int32_t record_id = -1;
  SimVoice* play = nullptr;
  SimVoice* record = nullptr;

  int32_t partner = -1;  // switched line index, -1 none
  int32_t group = -1;    // conference group, -1 none
  bool talker = false;

  // Keys from the far end: ready ones and ones still to come.
  std::deque<char> keys;
  std::deque<std::pair<SimClock::time_point, char>> coming_keys;

  // DTMF sending and FSK sending by the system.
  bool dtmf_running = false;
  std::string dtmf;
  SimClock::time_point dtmf_due{};
  bool fsk_running = false;
  std::string fsk_hex;
  SimClock::time_point fsk_due{};

  // What the far end sends: queued files, opened by the control request;
  // the media thread reads the front one ahead into inject_ready outside
  // the board's lock and drops it at its end.
  std::deque<std::shared_ptr<VoiceFileReader>> injects;
  std::string inject_ready;  // bytes read ahead, not yet received

  std::shared_ptr<CaptureSpool> capture;  // what the line sends, when captured

  // Media of the current tick.
  uint64_t rx_tick = 0;   // tick whose received bytes rx holds
  TickBuffer rx{};
  uint64_t mix_tick = 0;  // tick whose conference mix `mix` holds
  TickBuffer mix{};

  bool clocked = false;  // in the board's list of lines the clock visits

  bool HasTimers() const { return dtmf_running || fsk_running || !coming_keys.empty(); }
  bool HasMedia() const {
    return play != nullptr || record != nullptr || partner >= 0 || group >= 0 ||
           capture != nullptr;
  }
  bool HasFarEndFiles() const { return !injects.empty() || capture != nullptr; }
  bool HasInject() const { return !injects.empty() || !inject_ready.empty(); }
  bool NeedsClock() const { return HasTimers() || HasMedia() || HasFarEndFiles(); }
};

struct SimGroup {
  std::vector<int32_t> members;  // line indexes
  int32_t play_id = -1;
  int32_t record_id = -1;
  SimVoice* play = nullptr;
  SimVoice* record = nullptr;
  bool Active() const { return !members.empty() || play != nullptr || record != nullptr; }
};

// Fax results.
inline constexpr int32_t kFaxDone = 1;
inline constexpr int32_t kFaxSendFailed = -1;
inline constexpr int32_t kFaxNothingReceived = -2;

struct SimFax {
  int32_t line = -1;  // attached line index, -1 free
  bool running = false;
  bool sending = false;
  std::string file;
  SimClock::time_point due{};
  bool writing = false;  // a received document is being written (media thread, unlocked)
  int32_t state = 0;           // 0 running or idle, 1 done, negative failed
  int32_t receive_result = 0;  // documents received
};

// File work of the media thread: gathered under the board's lock, done
// outside it, its results taken back under the lock.
// A read ahead from a line's front injected file (voice 0) or a play.
struct FileRead {
  int32_t line = -1;
  int32_t voice = 0;
  std::shared_ptr<VoiceFileReader> file;
  std::string bytes;   // read ahead from it
  bool ended = false;  // it has no more bytes
};

// A recording that took its last byte: written and closed, then ended.
struct RecordFinish {
  int32_t voice = 0;
  std::shared_ptr<CaptureSpool> spool;
};

struct FaxDocument {
  size_t fax = 0;
  std::string file;                       // where the received document goes
  std::string bytes;                      // what the far end had sent ahead
  std::shared_ptr<VoiceFileReader> rest;  // the rest of the sending file, or null
  bool written = false;
};

}  // namespace simboard

#endif  // VTTEL_SIMBOARD_SIM_LINE_H_
