#include "simboard/sim_config.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>

#include "platform/gbk.h"
#include "platform/text_trim.h"

namespace simboard {
namespace {

std::string_view Trim(std::string_view s) {
  return platform::TrimmedView(s, platform::kBlanksAndLineEnds);
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = platform::AsciiLower(c);
  return out;
}

// A whole decimal integer (optional sign); false for anything else.
template <typename T>
bool ParseInt(std::string_view text, T& value) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  T v{};
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return false;
  value = v;
  return true;
}

// The text of a warning about a value, empty when the value was taken as
// written.
std::string OutOfRange(int64_t lo, int64_t hi, int64_t took) {
  return "out of range " + std::to_string(lo) + ".." + std::to_string(hi) + ", took " +
         std::to_string(took);
}

template <typename T>
std::string Unreadable(const T& kept) {
  return "not a number in range, kept " + std::to_string(kept);
}

template <typename T>
std::string SetClamped(std::string_view text, T& field, int64_t lo, int64_t hi) {
  int64_t v;
  if (!ParseInt(text, v)) return Unreadable(field);
  field = static_cast<T>(std::clamp<int64_t>(v, lo, hi));
  return v < lo || v > hi ? OutOfRange(lo, hi, field) : "";
}

std::string SetInt(std::string_view text, int32_t& field) {
  return SetClamped(text, field, INT32_MIN, INT32_MAX);
}

std::string SetPorts(std::string_view text, std::vector<int32_t>& ports) {
  std::vector<int32_t> parsed;
  text = Trim(text);
  while (!text.empty()) {
    if (parsed.size() == kMaxAnalogPorts) {
      ports = std::move(parsed);
      return "more than " + std::to_string(kMaxAnalogPorts) + " ports, took the first ones";
    }
    size_t comma = text.find(',');
    int32_t type;
    if (!ParseInt(text.substr(0, comma), type)) return "not a list of port types, kept the old one";
    parsed.push_back(type);
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  ports = std::move(parsed);
  return "";
}

std::string SetConference(std::string_view text, ConferenceKind& kind) {
  std::string v = Lower(text);
  if (v == "none") {
    kind = ConferenceKind::kNone;
  } else if (v == "older") {
    kind = ConferenceKind::kOlder;
  } else if (v == "newer") {
    kind = ConferenceKind::kNewer;
  } else {
    return "not none, older or newer, kept the old one";
  }
  return "";
}

std::string SetJournal(std::string_view text, size_t& entries) {
  int64_t v;
  if (!ParseInt(text, v)) return Unreadable(entries);
  if (v > kMaxJournalEntries) {
    return "more than " + std::to_string(kMaxJournalEntries) + " entries refused, kept " +
           std::to_string(entries);
  }
  entries = static_cast<size_t>(std::max<int64_t>(v, 0));
  return v < 0 ? OutOfRange(0, kMaxJournalEntries, 0) : "";
}

// A flag: 0 off, any other number on.
std::string SetFlag(std::string_view text, bool& flag) {
  int32_t v;
  if (!ParseInt(text, v)) return "not a number, kept " + std::to_string(flag ? 1 : 0);
  flag = v != 0;
  return "";
}

// Applies one key; what was wrong with its value, empty when nothing was.
std::string ApplyKey(SimConfig& c, const std::string& key, std::string_view value) {
  if (key == "trunks") return SetClamped(value, c.trunks, 0, kMaxTrunks);
  if (key == "analogports") return SetPorts(value, c.analog_ports);
  if (key == "openresult") return SetInt(value, c.open_result);
  if (key == "serialno") return SetClamped(value, c.serial_no, INT64_MIN, INT64_MAX);
  if (key == "conference") return SetConference(value, c.conference);
  if (key == "confgroups") return SetClamped(value, c.conf_groups, 0, kMaxConfGroups);
  if (key == "faxresources") return SetClamped(value, c.fax_resources, 0, kMaxFaxResources);
  if (key == "faxinit") return SetInt(value, c.fax_init);
  if (key == "faxms") return SetClamped(value, c.fax_ms, 0, kMaxFaxMs);
  if (key == "dtmfdigitms") return SetClamped(value, c.dtmf_digit_ms, 0, kMaxDtmfDigitMs);
  if (key == "fskinit") return SetInt(value, c.fsk_init);
  if (key == "socket") {
    if (value.empty()) return "empty, kept " + c.socket;
    c.socket = std::string(value);
    return "";
  }
  if (key == "journal") return SetJournal(value, c.journal);
  if (key == "strict") return SetFlag(value, c.strict);
  if (key == "changewait") return SetFlag(value, c.change_wait);
  return "unknown key, skipped";
}

std::string JoinFolder(const std::string& folder, std::string_view path) {
  if (!path.empty() && path.front() == '/') return std::string(path);
  return folder + "/" + std::string(path);
}

}  // namespace

void SimConfig::ApplyIni(std::string_view text) {
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = Trim(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.front() == '#' || line.front() == ';') continue;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      warnings.push_back(std::string(kSimBoardIni) + ": " + std::string(line) +
                         ": not key=value, skipped");
      continue;
    }
    std::string_view key = Trim(line.substr(0, eq));
    std::string_view value = Trim(line.substr(eq + 1));
    std::string wrong = ApplyKey(*this, Lower(key), value);
    if (!wrong.empty()) {
      warnings.push_back(std::string(kSimBoardIni) + ": " + std::string(key) + "=" +
                         std::string(value) + ": " + wrong);
    }
  }
}

std::string SimConfig::SocketPath() const { return JoinFolder(folder, socket); }

std::string SimConfig::FolderPath(std::string_view path) const {
  return JoinFolder(folder, path);
}

SimConfig LoadSimConfig(const std::string& folder) {
  SimConfig config;
  config.folder = folder.empty() ? "." : folder;
  std::ifstream in(config.folder + "/" + kSimBoardIni, std::ios::binary);
  if (in) {
    std::ostringstream text;
    text << in.rdbuf();
    config.ApplyIni(text.str());
  }
  return config;
}

}  // namespace simboard
