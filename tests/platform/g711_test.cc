// The G.711 codec against python3's audioop (the CPython implementation of
// G.711), run as a real process: every code decoded, every 16-bit sample
// encoded, both laws.
#include "platform/g711.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "tests/platform/spawned_program.h"
#include "tests/test_support.h"

namespace platform {
namespace {

using testing_support::ReadFile;
using testing_support::RunProgram;
using testing_support::TempDir;

constexpr int kCodes = 256;
constexpr int kSamples = 65536;

// audioop's answers, written to files (they are too large for a pipe that
// is read only after the program ends).
struct AudioopAnswers {
  std::string alaw_decoded;  // 256 little-endian 16-bit samples
  std::string ulaw_decoded;
  std::string alaw_encoded;  // the codes of -32768..32767
  std::string ulaw_encoded;
};

std::optional<AudioopAnswers> AskAudioop(const TempDir& dir) {
  // audioop is deprecated since 3.11 but present; -W ignore hides the notice.
  const std::string program =
      "import audioop, struct, sys\n"
      "codes = bytes(range(256))\n"
      "pcm = struct.pack('<65536h', *range(-32768, 32768))\n"
      "out = [audioop.alaw2lin(codes, 2), audioop.ulaw2lin(codes, 2),\n"
      "       audioop.lin2alaw(pcm, 2), audioop.lin2ulaw(pcm, 2)]\n"
      "for name, data in zip(sys.argv[1:], out):\n"
      "    open(name, 'wb').write(data)\n";
  const std::string names[4] = {dir.File("a2l"), dir.File("u2l"), dir.File("l2a"), dir.File("l2u")};
  std::string err;
  if (RunProgram("/usr/bin/python3",
                 {"-W", "ignore", "-c", program, names[0], names[1], names[2], names[3]},
                 &err) != 0) {
    ADD_FAILURE() << "python3 audioop failed: " << err;
    return std::nullopt;
  }
  AudioopAnswers a{ReadFile(names[0]).value_or(""), ReadFile(names[1]).value_or(""),
                   ReadFile(names[2]).value_or(""), ReadFile(names[3]).value_or("")};
  EXPECT_EQ(a.alaw_decoded.size(), 2u * kCodes);
  EXPECT_EQ(a.ulaw_decoded.size(), 2u * kCodes);
  EXPECT_EQ(a.alaw_encoded.size(), 1u * kSamples);
  EXPECT_EQ(a.ulaw_encoded.size(), 1u * kSamples);
  return a;
}

int16_t SampleAt(const std::string& pcm, int index) {
  const auto lo = static_cast<uint8_t>(pcm[2 * index]);
  const auto hi = static_cast<uint8_t>(pcm[2 * index + 1]);
  return static_cast<int16_t>(lo | hi << 8);
}

class G711Test : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    TempDir dir;
    answers_ = AskAudioop(dir);
  }
  static void TearDownTestSuite() { answers_.reset(); }
  void SetUp() override { ASSERT_TRUE(answers_.has_value()); }

  static std::optional<AudioopAnswers> answers_;
};
std::optional<AudioopAnswers> G711Test::answers_;

TEST_F(G711Test, EveryCodeDecodesAsAudioop) {
  for (int code = 0; code < kCodes; ++code) {
    const auto c = static_cast<uint8_t>(code);
    EXPECT_EQ(AlawToLinear(c), SampleAt(answers_->alaw_decoded, code)) << "A-law " << code;
    EXPECT_EQ(UlawToLinear(c), SampleAt(answers_->ulaw_decoded, code)) << "mu-law " << code;
  }
}

TEST_F(G711Test, EverySampleEncodesAsAudioop) {
  int wrong = 0;
  for (int i = 0; i < kSamples && wrong < 10; ++i) {
    const auto sample = static_cast<int16_t>(i - 32768);
    const auto alaw = static_cast<uint8_t>(answers_->alaw_encoded[i]);
    const auto ulaw = static_cast<uint8_t>(answers_->ulaw_encoded[i]);
    if (LinearToAlaw(sample) != alaw || LinearToUlaw(sample) != ulaw) {
      ++wrong;
      ADD_FAILURE() << "sample " << sample << ": A-law " << int{LinearToAlaw(sample)} << " want "
                    << int{alaw} << ", mu-law " << int{LinearToUlaw(sample)} << " want "
                    << int{ulaw};
    }
  }
}

// The values the rest of the program relies on by name.
TEST(G711FixedPointsTest, SilenceAndExtremes) {
  EXPECT_EQ(LinearToAlaw(0), kAlawZero);
  EXPECT_EQ(LinearToUlaw(0), kUlawZero);
  EXPECT_EQ(AlawToLinear(0xC5), 264);
  EXPECT_EQ(LinearToAlaw(-1), 0x55);
  EXPECT_EQ(LinearToAlaw(32767), 0xAA);
  EXPECT_EQ(LinearToAlaw(-32768), 0x2A);
  EXPECT_EQ(AlawToLinear(0xD5), 8);
  EXPECT_EQ(AlawToLinear(0x55), -8);
  EXPECT_EQ(AlawToLinear(0xAA), 32256);
  EXPECT_EQ(UlawToLinear(0xFF), 0);
  EXPECT_EQ(UlawToLinear(0x00), -32124);
  // Decoding then encoding gives every A-law code back.
  for (int code = 0; code < kCodes; ++code) {
    EXPECT_EQ(LinearToAlaw(AlawToLinear(static_cast<uint8_t>(code))), code) << code;
  }
}

}  // namespace
}  // namespace platform
