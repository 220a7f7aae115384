// A smoke run of the dBASE fuzz target: its seeds, valid tables with
// random bytes of their header and descriptors changed, cut short or
// grown, and random bytes.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>

#include "tests/services/db/dbf_fixture.h"
#include "tests/test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace services_test {
namespace {

// Inputs of the run (about 7 s under the sanitizers).
constexpr int kInputs = 100000;

// Every seed of the fuzzer (tables whose header claims records that are
// not there among them).
TEST(FuzzSmoke, DbaseSeeds) {
  int seeds = 0;
  for (const auto& entry :
       std::filesystem::directory_iterator(std::string(VTTEL_SOURCE_DIR) + "/fuzz/corpus/dbf")) {
    SCOPED_TRACE(entry.path().string());
    const std::string input = testing_support::ReadFile(entry.path().string()).value_or("");
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
    ++seeds;
  }
  EXPECT_GE(seeds, 5);
}

TEST(FuzzSmoke, DbaseTables) {
  const std::string table = DbfBytes({{"NAME", 'C', 6}, {"CITY", 'C', 10}, {"AGE", 'N', 3}},
                                     {{"Ann", "北京", "30"}, {"Bob", "X", "41"}});
  std::mt19937 rng(20261211);
  for (int i = 0; i < kInputs; ++i) {
    std::string input = table;
    if (i % 10 == 0) {
      input.resize(rng() % 300);
      for (char& c : input) c = static_cast<char>(rng());
    } else {
      const int changes = 1 + static_cast<int>(rng() % 4);
      for (int k = 0; k < changes; ++k) {
        // Mostly the header and the descriptors, where the layout is.
        const size_t at = rng() % (k == 0 ? 130 : input.size());
        input[at] = static_cast<char>(rng() % 3 == 0 ? rng() % 4 : rng());
      }
      if (i % 7 == 0) input.resize(rng() % input.size());
      if (i % 11 == 0) input.append(rng() % 200, ' ');
    }
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
  }
}

}  // namespace
}  // namespace services_test
