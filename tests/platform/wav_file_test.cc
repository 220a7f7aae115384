// The chunk walker of WAV files, in memory and on disk: the header the
// writer makes walks as its fmt and data chunks, and sizes that run past the
// end (up to the largest a header can say) end the walk without a read past
// the bytes.
#include "platform/wav_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/byte_order.h"

namespace platform {
namespace {

struct Found {
  std::string id;
  uint32_t size;
  uint64_t offset;
  bool operator==(const Found&) const = default;
};

std::string Chunk(std::string_view id, uint32_t size, std::string_view body = "") {
  std::string out(id);
  AppendLe32(&out, size);
  return out.append(body);
}

std::vector<Found> Walk(WavChunkWalker walk) {
  std::vector<Found> found;
  WavChunk chunk;
  while (walk.Next(&chunk)) found.push_back({std::string(chunk.id, 4), chunk.size, chunk.offset});
  // The end of a walk stays its end.
  EXPECT_FALSE(walk.Next(&chunk));
  return found;
}

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

TEST(WavChunkWalkerTest, WalksWhatLiesWithinTheBytesInMemoryAndOnDisk) {
  const std::string riff = "RIFF" + std::string(4, '\0') + "WAVE";
  const struct Case {
    const char* name;
    std::string bytes;
    std::vector<Found> found;
  } kCases[] = {
      {"a written header and its samples",
       WavHeaderBytes(AlawVoiceFormat(), 4, WavHeaderForm::k46) + "abcd",
       {{"fmt ", 18, 12}, {"data", 4, 38}}},
      {"a chunk before the data",
       riff + Chunk("fmt ", 16, std::string(16, '\0')) + Chunk("fact", 4, "1234") +
           Chunk("data", 0),
       {{"fmt ", 16, 12}, {"fact", 4, 36}, {"data", 0, 48}}},
      {"a body that runs past the end", riff + Chunk("LIST", 9, "short"), {{"LIST", 9, 12}}},
      {"the largest size", riff + Chunk("LIST", 0xFFFFFFFFu, "x") + Chunk("data", 1, "y"),
       {{"LIST", 0xFFFFFFFFu, 12}}},
      {"a header cut short", riff + std::string("data\x01\x00", 6), {}},
      {"no chunk", riff, {}},
      {"less than the RIFF header", "RIFF", {}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    // In memory: a copy of exactly the bytes, so a read past them is caught.
    const std::vector<char> exact(c.bytes.begin(), c.bytes.end());
    EXPECT_EQ(Walk(WavChunkWalker(std::string_view(exact.data(), exact.size()))), c.found);
    std::unique_ptr<FILE, FileCloser> file(std::tmpfile());
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fwrite(c.bytes.data(), 1, c.bytes.size(), file.get()), c.bytes.size());
    EXPECT_EQ(Walk(WavChunkWalker(file.get(), c.bytes.size())), c.found);
  }
}

}  // namespace
}  // namespace platform
