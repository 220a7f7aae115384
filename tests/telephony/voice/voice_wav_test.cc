// The WAV header reader and writer: files made by sox (A-law and μ-law
// carry a "fact" chunk before the data), the three header forms written
// here and checked with soxi, and malformed headers that must be refused
// or clipped without reading past the file.
#include "telephony/voice/voice_wav.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "tests/platform/spawned_program.h"
#include "tests/test_support.h"

namespace telephony {
namespace {

using testing_support::ReadFile;
using testing_support::RunProgram;
using testing_support::SpawnedProgram;
using testing_support::TempDir;
using testing_support::WriteFile;

constexpr const char* kSox = "/usr/bin/sox";

std::string Le32(uint32_t v) {
  return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
          static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
}
uint32_t Le32At(const std::string& s, size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(s[at])) |
         static_cast<uint32_t>(static_cast<uint8_t>(s[at + 1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(s[at + 2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(s[at + 3])) << 24;
}

// What soxi says about a file ("-s" sample count, "-e" encoding), empty
// when it refuses the file.
std::string Soxi(const std::string& path, const std::string& flag) {
  SpawnedProgram p;
  if (!p.Start(kSox, {"--i", flag, path}) || p.Wait(10000) != 0) return "";
  std::string out = p.stdout_text();
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

struct FileCloser {
  void operator()(FILE* f) const { fclose(f); }
};

class WavReadTest : public ::testing::Test {
 protected:
  // The header of the file with these bytes, and where the reader left it.
  WavReadResult Read(const std::string& bytes, WavHeader* header, long* position = nullptr) {
    const std::string path = dir_.File("in.wav");
    WriteFile(path, bytes);
    std::unique_ptr<FILE, FileCloser> f(fopen(path.c_str(), "rb"));
    EXPECT_TRUE(f);
    const WavReadResult r = ReadWavHeader(f.get(), header);
    if (position != nullptr) *position = ftell(f.get());
    return r;
  }
  // A file made by sox: 800 samples of a tone.
  std::string Sox(const std::string& name, const std::vector<std::string>& format) {
    // The rate before "-n" too: synth counts samples at the input's rate.
    std::vector<std::string> args = {"-r", "8000", "-n", "-r", "8000", "-c", "1"};
    args.insert(args.end(), format.begin(), format.end());
    args.insert(args.end(), {dir_.File(name), "synth", "800s", "sine", "440"});
    std::string err;
    EXPECT_EQ(RunProgram(kSox, args, &err), 0) << err;
    return ReadFile(dir_.File(name)).value_or("");
  }

  TempDir dir_;
};

TEST_F(WavReadTest, SoxFilesWithAndWithoutAFactChunk) {
  struct SoxCase {
    std::vector<std::string> format;
    uint16_t tag;
    uint16_t bits;
    uint32_t data_offset;
    uint32_t data_size;
  };
  const SoxCase cases[] = {
      {{"-e", "a-law"}, platform::kWaveTagAlaw, 8, 58, 800},
      {{"-e", "u-law"}, platform::kWaveTagUlaw, 8, 58, 800},
      {{"-e", "signed", "-b", "16"}, platform::kWaveTagPcm, 16, 44, 1600},
  };
  for (const SoxCase& c : cases) {
    const std::string bytes = Sox("sox.wav", c.format);
    if (c.tag != platform::kWaveTagPcm) {
      ASSERT_EQ(bytes.substr(38, 4), "fact") << "sox layout changed";
    }
    WavHeader h;
    long position = 0;
    ASSERT_EQ(Read(bytes, &h, &position), WavReadResult::kOk) << c.tag;
    EXPECT_EQ(h.format.tag, c.tag);
    EXPECT_EQ(h.format.bits_per_sample, c.bits);
    EXPECT_EQ(h.format.samples_per_sec, 8000u);
    EXPECT_EQ(h.data_offset, c.data_offset);
    EXPECT_EQ(h.data_size, c.data_size);
    EXPECT_EQ(position, static_cast<long>(c.data_offset));
    EXPECT_EQ(h.data_offset + h.data_size, bytes.size());
  }
}

// A second chunk before "data" is not looked for: its header is taken as
// the data header.
TEST_F(WavReadTest, TwoChunksBeforeTheDataAreNotFollowed) {
  std::string bytes = Sox("two.wav", {"-e", "a-law"});
  const std::string list = "LIST" + Le32(6) + "abcdef";
  bytes.insert(50, list);  // after the fact chunk (38 + 8 + 4)
  WavHeader h;
  ASSERT_EQ(Read(bytes, &h), WavReadResult::kOk);
  EXPECT_EQ(h.data_offset, 58u);
  EXPECT_EQ(h.data_size, 6u);
}

TEST_F(WavReadTest, HeaderFormsAreReadBackAndAcceptedBySoxi) {
  struct FormCase {
    platform::WavHeaderForm form;
    size_t length;
  };
  const FormCase forms[] = {{platform::WavHeaderForm::k44, 44},
                            {platform::WavHeaderForm::k46, 46},
                            {platform::WavHeaderForm::k48, 48}};
  const struct {
    uint16_t tag;
    const char* encoding;
  } tags[] = {{platform::kWaveTagAlaw, "A-law"},
              {platform::kWaveTagUlaw, "u-law"},
              {platform::kWaveTagPcm, "Signed Integer PCM"}};
  constexpr uint32_t kData = 320;
  for (const FormCase& f : forms) {
    for (const auto& t : tags) {
      const platform::WaveFormat format = platform::VoiceFormat(t.tag);
      const std::string header = platform::WavHeaderBytes(format, kData, f.form);
      ASSERT_EQ(header.size(), f.length);
      ASSERT_EQ(platform::WavHeaderLength(f.form), f.length);
      const std::string bytes = header + std::string(kData, '\x55');
      EXPECT_EQ(Le32At(bytes, 4), bytes.size() - 8);
      WavHeader h;
      ASSERT_EQ(Read(bytes, &h), WavReadResult::kOk);
      EXPECT_EQ(h.data_offset, f.length);
      EXPECT_EQ(h.data_size, kData);
      EXPECT_TRUE(SameSampleFormat(h.format, format));
      EXPECT_EQ(h.format.bytes_per_sec, 8000u * format.block_align);
      const std::string path = dir_.File("form.wav");
      WriteFile(path, bytes);
      const std::string samples = std::to_string(kData / format.block_align);
      EXPECT_EQ(Soxi(path, "-s"), samples) << f.length << " " << t.tag;
      EXPECT_EQ(Soxi(path, "-e"), t.encoding) << f.length << " " << t.tag;
    }
  }
}

// Sizes are never trusted: what runs past the end is refused, a data size
// past the end is cut to what is there.
TEST_F(WavReadTest, MalformedHeadersAreRefusedOrClipped) {
  const std::string good = platform::WavHeaderBytes(platform::VoiceFormat(platform::kWaveTagAlaw),
                                                    100, platform::WavHeaderForm::k46) +
                           std::string(100, '\xD5');
  auto with = [&](size_t at, const std::string& bytes) {
    std::string s = good;
    s.replace(at, bytes.size(), bytes);
    return s;
  };
  struct BadCase {
    const char* what;
    std::string bytes;
    WavReadResult result;
    uint32_t data_size;
  };
  const BadCase cases[] = {
      {"empty", "", WavReadResult::kNotRiff, 0},
      {"three bytes", "RIF", WavReadResult::kNotRiff, 0},
      {"RIFX", with(0, "RIFX"), WavReadResult::kNotRiff, 0},
      {"cut in the preamble", good.substr(0, 12), WavReadResult::kMalformed, 0},
      {"cut in the fmt chunk", good.substr(0, 30), WavReadResult::kMalformed, 0},
      {"no data header", good.substr(0, 40), WavReadResult::kMalformed, 0},
      {"fmt size 0", with(16, Le32(0)), WavReadResult::kMalformed, 0},
      {"fmt size 15", with(16, Le32(15)), WavReadResult::kMalformed, 0},
      {"fmt size huge", with(16, Le32(0xFFFFFFFF)), WavReadResult::kMalformed, 0},
      {"fmt size past the end", with(16, Le32(140)), WavReadResult::kMalformed, 0},
      {"extra chunk past the end", with(38, "fact" + Le32(0xFFFFFFF0)), WavReadResult::kMalformed,
       0},
      {"data size past the end", with(42, Le32(0xFFFFFFFF)), WavReadResult::kOk, 100},
      {"data size short", with(42, Le32(10)), WavReadResult::kOk, 10},
  };
  for (const BadCase& c : cases) {
    WavHeader h;
    EXPECT_EQ(Read(c.bytes, &h), c.result) << c.what;
    if (c.result == WavReadResult::kOk) {
      EXPECT_EQ(h.data_size, c.data_size) << c.what;
    }
  }
}

// A longer fmt chunk (extensible formats) keeps its first fields and is
// stepped over by its size.
TEST_F(WavReadTest, LongFmtChunkIsSkippedBySize) {
  const std::string h46 = platform::WavHeaderBytes(platform::VoiceFormat(platform::kWaveTagUlaw), 4,
                                                   platform::WavHeaderForm::k46);
  std::string bytes = h46.substr(0, 16) + Le32(40) + h46.substr(20, 18) + std::string(22, '\x01') +
                      "data" + Le32(4) + "abcd";
  WavHeader h;
  long position = 0;
  ASSERT_EQ(Read(bytes, &h, &position), WavReadResult::kOk);
  EXPECT_EQ(h.fmt_size, 40u);
  EXPECT_EQ(h.format.tag, platform::kWaveTagUlaw);
  EXPECT_EQ(h.data_offset, 68u);
  EXPECT_EQ(position, 68);
}

TEST(WavWriteTest, SizesAreRewrittenInPlace) {
  TempDir dir;
  const std::string path = dir.File("s.wav");
  WriteFile(path, platform::WavHeaderBytes(platform::VoiceFormat(platform::kWaveTagAlaw), 0,
                                           platform::WavHeaderForm::k48) +
                      "xyz");
  {
    std::unique_ptr<FILE, FileCloser> f(fopen(path.c_str(), "r+b"));
    ASSERT_TRUE(WriteWavSizes(f.get(), 48, 3));
  }
  const std::string bytes = ReadFile(path).value_or("");
  EXPECT_EQ(Le32At(bytes, 4), 43u);
  EXPECT_EQ(Le32At(bytes, 44), 3u);
  EXPECT_EQ(Soxi(path, "-s"), "3");
}

}  // namespace
}  // namespace telephony
