// Random files as the window-position file "FormPos.dat": loaded, the
// window's place read from it, stored back, saved and loaded again. What
// was saved must load as the same keys and values.
#include <cstddef>
#include <cstdint>

#include "frame/form_pos.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz_support::WriteInput(frame::kFormPosFile, data, size);
  if (path.empty()) return 0;
  frame::TagMapCfg cfg(path);
  frame::FormPos pos;
  frame::ReadFormPos(cfg, &pos);
  frame::StoreFormPos(pos, &cfg);
  const std::string saved = fuzz_support::PathOf("FormPos.saved");
  if (cfg.SaveTo(saved) < 0) return 0;
  frame::TagMapCfg again(saved);
  // Keys and values the reader cannot give back (a blank, '=' or "//" in
  // them) come only from lines the reader itself took apart, so every
  // saved pair comes back unchanged, unless its saved line "key = value"
  // is longer than a line the reader takes (a damaged file's line of up to
  // the limit without blanks): that pair is ignored whole.
  auto fits = [](const std::string& key, const std::string& value) {
    return key.size() + 3 + value.size() <= frame::kMapCfgLineMax;
  };
  size_t expected = 0;
  for (const auto& [key, value] : cfg.values()) {
    if (!fits(key, value)) continue;
    auto it = again.values().find(key);
    if (it == again.values().end() || it->second != value) __builtin_trap();
    ++expected;
  }
  if (again.values().size() != expected) __builtin_trap();
  return 0;
}
