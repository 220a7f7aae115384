#include "telephony/board/card_options.h"

#include <string>

#include "platform/gbk.h"
#include "platform/line_reader.h"
#include "platform/text_trim.h"

namespace telephony {
namespace {

// The longest piece of a line that is read at once.
constexpr size_t kCardLineMax = 79;

// YES/TRUE/1 and NO/FALSE/0 set the option; anything else leaves it.
void SetSwitch(std::string_view value, uint8_t& option) {
  if (value == "YES" || value == "TRUE" || value == "1") option = 1;
  if (value == "NO" || value == "FALSE" || value == "0") option = 0;
}

}  // namespace

CardOptions ReadCardOptions(std::string_view path) {
  CardOptions options;
  platform::LineReader reader = platform::LineReader::Open(path);
  if (!reader.is_open()) return options;
  std::string line;
  while (reader.ReadLine(&line, kCardLineMax)) {
    line.resize(line.find('\0') == std::string::npos ? line.size() : line.find('\0'));
    platform::RemoveAllBlanks(line);
    if (line.empty()) continue;
    platform::UpperGbkInPlace(line);
    size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    std::string_view key(line.data(), equals);
    std::string_view value = std::string_view(line).substr(equals + 1);
    if (key == "CONF") SetSwitch(value, options.conf);
    if (key == "FAX") SetSwitch(value, options.fax);
  }
  return options;
}

}  // namespace telephony
