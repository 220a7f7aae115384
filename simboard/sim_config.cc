#include "simboard/sim_config.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>

namespace simboard {
namespace {

std::string_view Trim(std::string_view s) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
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

void SetClamped(std::string_view text, int32_t& field, int32_t lo, int32_t hi) {
  int64_t v;
  if (ParseInt(text, v)) field = static_cast<int32_t>(std::clamp<int64_t>(v, lo, hi));
}

void SetInt(std::string_view text, int32_t& field) {
  SetClamped(text, field, INT32_MIN, INT32_MAX);
}

void SetPorts(std::string_view text, std::vector<int32_t>& ports) {
  std::vector<int32_t> parsed;
  text = Trim(text);
  while (!text.empty() && parsed.size() < kMaxAnalogPorts) {
    size_t comma = text.find(',');
    int32_t type;
    if (!ParseInt(text.substr(0, comma), type)) return;  // malformed: keep the old list
    parsed.push_back(type);
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  ports = std::move(parsed);
}

void ApplyKey(SimConfig& c, const std::string& key, std::string_view value) {
  if (key == "trunks") {
    SetClamped(value, c.trunks, 0, kMaxTrunks);
  } else if (key == "analogports") {
    SetPorts(value, c.analog_ports);
  } else if (key == "openresult") {
    SetInt(value, c.open_result);
  } else if (key == "serialno") {
    ParseInt(value, c.serial_no);
  } else if (key == "conference") {
    std::string v = Lower(value);
    if (v == "none") c.conference = ConferenceKind::kNone;
    if (v == "older") c.conference = ConferenceKind::kOlder;
    if (v == "newer") c.conference = ConferenceKind::kNewer;
  } else if (key == "confgroups") {
    SetClamped(value, c.conf_groups, 0, kMaxConfGroups);
  } else if (key == "faxresources") {
    SetClamped(value, c.fax_resources, 0, kMaxFaxResources);
  } else if (key == "faxinit") {
    SetInt(value, c.fax_init);
  } else if (key == "faxms") {
    SetClamped(value, c.fax_ms, 0, 3600000);
  } else if (key == "dtmfdigitms") {
    SetClamped(value, c.dtmf_digit_ms, 0, 60000);
  } else if (key == "fskinit") {
    SetInt(value, c.fsk_init);
  } else if (key == "socket") {
    if (!value.empty()) c.socket = std::string(value);
  } else if (key == "journal") {
    int64_t v;
    if (ParseInt(value, v)) c.journal = static_cast<size_t>(std::clamp<int64_t>(v, 0, 100000000));
  } else if (key == "strict") {
    int32_t v;
    if (ParseInt(value, v)) c.strict = v != 0;
  }
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
    if (eq == std::string_view::npos) continue;
    ApplyKey(*this, Lower(Trim(line.substr(0, eq))), Trim(line.substr(eq + 1)));
  }
}

std::string SimConfig::SocketPath() const { return JoinFolder(folder, socket); }

std::string SimConfig::FolderPath(std::string_view path) const {
  return JoinFolder(folder, path);
}

SimConfig LoadSimConfig(const std::string& folder) {
  SimConfig config;
  config.folder = folder.empty() ? "." : folder;
  std::ifstream in(config.folder + "/SimBoard.ini", std::ios::binary);
  if (in) {
    std::ostringstream text;
    text << in.rdbuf();
    config.ApplyIni(text.str());
  }
  return config;
}

}  // namespace simboard
