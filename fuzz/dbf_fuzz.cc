// Random files as dBASE tables: opened, every field of every record read
// (by index and by name), a record appended and read back. Nothing may read
// or write past a buffer, whatever the header claims, and the append adds
// one record at most: a header's count never makes the file grow further.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "fuzz/fuzz_support.h"
#include "services/db/data_set.h"
#include "services/db/dbf_data.h"

namespace {

// Records read per input: a header may claim billions.
constexpr int32_t kMaxRecords = 64;
// What an append may add to a file: the longest record (its length is 16
// bits) and the end byte, after a header whose terminator lies past the end.
constexpr uintmax_t kMaxGrowth = 0xFFFF + 2;

void ReadAll(services::TagDbfData& d) {
  char value[services::kDbValueBytes];
  char name[services::kDbColNameBytes];
  const int32_t rows = std::min(d.Rows(), kMaxRecords);
  for (int32_t row = 0; row <= rows + 1; ++row) {
    for (int32_t c = -1; c <= d.Cols(); ++c) {
      d.GetValByIndex(value, c, row);
      if (c >= 0 && d.ColName(c, name) == c) {
        d.GetValByName(value, name, row);
        if (d.ColIndex(name) < 0) __builtin_trap();
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz_support::WriteInput("fuzz.dbf", data, size);
  if (path.empty()) return 0;
  {
    services::TagDbfData d(path);
    if (d.state == 0) {
      ReadAll(d);
      d.SetValByIndex("fuzz", 0, -1);
      d.SetValByIndex(std::string(1000, 'x'), 0, 1);
      ReadAll(d);
    }
  }
  std::error_code ec;
  if (std::filesystem::file_size(path, ec) > size + kMaxGrowth && !ec) __builtin_trap();
  return 0;
}
