// SimConfig: the settings of the simulated board, read from "SimBoard.ini"
// in the board's folder. One "key=value" a line; blanks around key and value
// are ignored, keys are case-insensitive, lines starting with '#' or ';' are
// comments, malformed lines and unknown keys are skipped. A value out of
// range is held to its range; an unreadable one leaves the key as it was. Each
// of these is noted in SimConfig::warnings (file, key, value and what was
// done) for the program's log. Every key is optional:
//
//   Trunks        E1 trunks of 30 channels each (default 1, held to 0..16)
//   AnalogPorts   comma-separated analog port types: 0 phone port, 1 trunk
//                 port, other numbers other port kinds ("0,1,5"); default
//                 none; at most kMaxAnalogPorts entries
//   OpenResult    result of opening the board (default 0 = ready)
//   SerialNo      board serial number (default 20061101)
//   Conference    none | older | newer: which conference interface the board
//                 has (default newer)
//   ConfGroups    conference groups reported (default 64, held to 0..4096)
//   FaxResources  fax resources reported (default 4, held to 0..64)
//   FaxInit       result of the fax initialisation (default 0 = ready)
//   FaxMs         duration of one fax transfer in ms (default 2000)
//   DtmfDigitMs   time to send one DTMF digit in ms (default 100)
//   FskInit       result of the FSK initialisation (default 0)
//   Socket        control socket path, relative to the folder unless
//                 absolute (default "simboard.sock")
//   Journal       journal entries kept (default 100000; 0 = no journal; more
//                 than kMaxJournalEntries is refused)
//   Strict        1: record the call rule violations (default 0)
//   ChangeWait    1: the board offers the wait for a change of a channel's
//                 state (binding.h), so idle lines sleep (default 1); 0: a
//                 board without it, whose lines poll
#ifndef VTTEL_SIMBOARD_SIM_CONFIG_H_
#define VTTEL_SIMBOARD_SIM_CONFIG_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace simboard {

inline constexpr int32_t kChannelsPerTrunk = 30;
inline constexpr int32_t kMaxTrunks = 16;
inline constexpr size_t kMaxAnalogPorts = 256;
inline constexpr int32_t kMaxConfGroups = 4096;
inline constexpr int32_t kMaxFaxResources = 64;
inline constexpr int32_t kMaxFaxMs = 3600000;
inline constexpr int32_t kMaxDtmfDigitMs = 60000;
// A journal entry takes a few hundred bytes: a million of them is the most
// the board keeps in memory.
inline constexpr int64_t kMaxJournalEntries = 1000000;
inline constexpr char kSimBoardIni[] = "SimBoard.ini";

// Analog port types as the board reports them.
inline constexpr int32_t kPortPhone = 0;
inline constexpr int32_t kPortTrunk = 1;

enum class ConferenceKind { kNone, kOlder, kNewer };

struct SimConfig {
  std::string folder = ".";  // base of relative control paths
  int32_t trunks = 1;
  std::vector<int32_t> analog_ports;
  int32_t open_result = 0;
  int64_t serial_no = 20061101;
  ConferenceKind conference = ConferenceKind::kNewer;
  int32_t conf_groups = 64;
  int32_t fax_resources = 4;
  int32_t fax_init = 0;
  int32_t fax_ms = 2000;
  int32_t dtmf_digit_ms = 100;
  int32_t fsk_init = 0;
  std::string socket = "simboard.sock";
  size_t journal = 100000;
  bool strict = false;
  bool change_wait = true;
  // What reading the settings refused or changed: "SimBoard.ini: Trunks=-1:
  // out of range 0..16, took 0".
  std::vector<std::string> warnings;

  // Applies the lines of an ini text (SimBoard.ini's) over the current values.
  void ApplyIni(std::string_view text);
  // The socket path made absolute against folder when it is relative.
  std::string SocketPath() const;
  // A far-end file path made absolute against folder when it is relative.
  std::string FolderPath(std::string_view path) const;
};

// Reads folder + "/SimBoard.ini" over the defaults; a missing file leaves
// the defaults. folder becomes SimConfig::folder.
SimConfig LoadSimConfig(const std::string& folder);

}  // namespace simboard

#endif  // VTTEL_SIMBOARD_SIM_CONFIG_H_
