#include "telephony/fax/fax_files.h"

#include "platform/gbk.h"

namespace telephony {

namespace {

// Whether the directory's last character is a single-byte backslash.
bool EndsWithBackslash(std::string_view dir) {
  bool last_is_backslash = false;
  for (size_t i = 0; i < dir.size();) {
    const size_t n = platform::GbkCharLength(dir, i);
    last_is_backslash = n == 1 && dir[i] == '\\';
    i += n;
  }
  return last_is_backslash;
}

}  // namespace

std::string FaxDirFile(std::string_view dir, std::string_view name) {
  std::string path(dir);
  if (!dir.empty() && !EndsWithBackslash(dir)) path += '\\';
  path += name;
  return path;
}

}  // namespace telephony
