// Random server pages as "MspToVts(" takes them: read as a text-mode file
// reads them, converted to a script, the script written in text mode. A
// page that holds no "<%" must be one raw piece, the raw pieces must come
// from the page, and the written script must read back as it was made.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text_mode.h"
#include "services/files/server_page.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string page;
  platform::ReadTextMode(std::string_view(reinterpret_cast<const char*>(data), size),
                         /*more_follows=*/false, &page);
  std::string script;
  std::vector<std::string> pieces;
  services::ConvertServerPage(page, &script, &pieces);
  if (page.find("<%") == std::string::npos && (pieces.size() != 1 || pieces[0] != page)) {
    __builtin_trap();
  }
  size_t raw_bytes = 0;
  for (const std::string& piece : pieces) raw_bytes += piece.size();
  if (raw_bytes > page.size()) __builtin_trap();
  std::string written;
  platform::AppendTextMode(script, &written);
  std::string read_back;
  platform::ReadTextMode(written, /*more_follows=*/false, &read_back);
  // A CR before a line end of the page's code reads back as a line end.
  if (script.find('\r') == std::string::npos && read_back != script) __builtin_trap();
  return 0;
}
