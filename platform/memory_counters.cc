#include "platform/memory_counters.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace platform {

namespace {

// The value in kB of the field "name:" of a status text, 0 without it.
int64_t FieldKib(std::string_view status, std::string_view name) {
  size_t at = 0;
  while (at < status.size()) {
    const size_t end = std::min(status.find('\n', at), status.size());
    const std::string_view line = status.substr(at, end - at);
    if (line.size() > name.size() && line.substr(0, name.size()) == name &&
        line[name.size()] == ':') {
      return std::strtoll(std::string(line.substr(name.size() + 1)).c_str(), nullptr, 10);
    }
    at = end + 1;
  }
  return 0;
}

std::atomic<int64_t>& PeakPageFile() {
  static std::atomic<int64_t> peak{0};
  return peak;
}

}  // namespace

MemoryCounters ParseMemoryStatus(std::string_view status) {
  MemoryCounters c;
  c.workingSetKib = FieldKib(status, "VmRSS");
  c.peakWorkingSetKib = FieldKib(status, "VmHWM");
  c.pageFileKib = FieldKib(status, "RssAnon") + FieldKib(status, "VmSwap");
  c.peakPageFileKib = c.pageFileKib;
  return c;
}

MemoryCounters ReadMemoryCounters() {
  std::ifstream in("/proc/self/status");
  std::stringstream text;
  text << in.rdbuf();
  MemoryCounters c = ParseMemoryStatus(text.str());
  std::atomic<int64_t>& peak = PeakPageFile();
  int64_t seen = peak.load();
  while (c.pageFileKib > seen && !peak.compare_exchange_weak(seen, c.pageFileKib)) {
  }
  c.peakPageFileKib = std::max(seen, c.pageFileKib);
  return c;
}

}  // namespace platform
