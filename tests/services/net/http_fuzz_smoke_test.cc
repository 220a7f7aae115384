// A short smoke run of the HTTP fuzz target (fuzz/http_fuzz_body.h): its
// seed corpus (fuzz/corpus/http) as it stands, then valid responses,
// requests and chunked bodies and the seeds with random bytes changed, cut
// short or repeated, and random bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "fuzz/http_fuzz_body.h"
#include "tests/test_support.h"

namespace {

// Inputs of the run (a few seconds under the sanitizers).
constexpr int kInputs = 6000;

// The inputs of the seed corpus, in the order of their file names.
std::vector<std::string> CorpusSeeds() {
  const std::filesystem::path corpus =
      std::filesystem::path(VTTEL_SOURCE_DIR) / "fuzz" / "corpus" / "http";
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) files.push_back(entry);
  std::sort(files.begin(), files.end());
  std::vector<std::string> seeds;
  for (const auto& file : files) {
    const std::optional<std::string> bytes = testing_support::ReadFile(file.string());
    if (bytes.has_value() && bytes->size() > 1) seeds.push_back(*bytes);
  }
  return seeds;
}

TEST(FuzzSmoke, HttpMessages) {
  const std::vector<std::string> corpus = CorpusSeeds();
  EXPECT_GE(corpus.size(), 11u);
  for (const std::string& seed : corpus) {
    http_fuzz::OneInput(reinterpret_cast<const uint8_t*>(seed.data()), seed.size());
  }
  std::vector<std::string> seeds = {
      std::string(1, '\0') +
          "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 "
          "OK\r\nContent-Length: 5\r\n\r\nhello",
      std::string(1, '\0') +
          "HTTP/1.1 200 OK\r\nTransfer-Encoding: "
          "chunked\r\n\r\n5;x=y\r\nhello\r\n0\r\n\r\n",
      std::string(1, '\1') + "POST /a HTTP/1.1\r\nContent-Length: 3\r\n\r\nabcX: 1\r\n\r\n",
      std::string(1, '\2') +
          "\x03"
          "5\r\nhello\r\na\r\n0123456789\r\n0\r\n\r\n",
  };
  seeds.insert(seeds.end(), corpus.begin(), corpus.end());
  std::mt19937 rng(20261211);
  for (int i = 0; i < kInputs; ++i) {
    std::string input = seeds[i % seeds.size()];
    if (i % 10 == 0) {
      input.resize(1 + rng() % 300);
      for (size_t k = 1; k < input.size(); ++k) input[k] = static_cast<char>(rng());
    } else {
      const int changes = 1 + static_cast<int>(rng() % 4);
      for (int k = 0; k < changes; ++k) {
        input[1 + rng() % (input.size() - 1)] =
            static_cast<char>(rng() % 2 ? rng() : "0\r\n:9f"[rng() % 6]);
      }
      if (i % 7 == 0) input.resize(1 + rng() % input.size());
      if (i % 13 == 0) input += input.substr(1);
    }
    http_fuzz::OneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
  }
}

}  // namespace
