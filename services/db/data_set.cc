#include "services/db/data_set.h"

#include <algorithm>
#include <cstring>

namespace services {

int32_t TagDataSet::ExecToLocal(std::string_view, TagLocalData&) { return 0; }

int32_t TagDataSet::SetValByName(std::string_view, std::string_view, int32_t) { return 0; }

int32_t TagDataSet::SetValByIndex(std::string_view, int32_t, int32_t) { return 0; }

int32_t TagDataSet::SetDebug(int32_t mode) {
  debug = mode;
  return mode;
}

size_t CopyToValue(char* out, std::string_view text) {
  const size_t n = std::min(text.size(), kDbMaxValueChars);
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
  return n;
}

}  // namespace services
