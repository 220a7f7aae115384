// Random files as the run configuration "VtTelRun.cfg": read into a fresh
// record, and every line of the input also through the line-list parser.
// No input may crash or give a list longer than its limit.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "frame/line_list.h"
#include "frame/run_cfg.h"
#include "frame/settings.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_support::SilenceMessages();
  fuzz_support::WorkInFolder();
  const std::string path = fuzz_support::WriteInput("VtTelRun.cfg", data, size);
  if (path.empty()) return 0;
  frame::TagRunCfg cfg;
  frame::ReadCfgFile(path, &cfg);
  // The file sets the process's log level; the next input starts quiet, so
  // that the trace is written only while one file asks for it.
  frame::GetSettings().log_level.store(0, std::memory_order_relaxed);
  if (cfg.load_delay < 5 || cfg.disp_delay < 100 || cfg.disp_delay > 15000 ||
      cfg.column_groups < 1 || cfg.column_groups > 10) {
    __builtin_trap();
  }
  std::string_view text(reinterpret_cast<const char*>(data), size);
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    if (frame::ParseLineList(line).size() > frame::kMaxLineListNumbers) __builtin_trap();
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
  }
  return 0;
}
