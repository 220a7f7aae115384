// The voice-file operations: recordings turned into WAV, voices appended to
// a play file, samples read for editing, and the G.711 conversions. sox
// makes the voices and checks every file the system writes; python3's
// audioop is the G.711 reference.
#include "telephony/voice/voice_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "tests/platform/spawned_program.h"
#include "tests/telephony/voice_scratch_fixture.h"
#include "tests/test_support.h"

namespace telephony {
namespace {

using testing_support::FileExists;
using testing_support::ReadFile;
using testing_support::RunProgram;
using testing_support::SpawnedProgram;
using testing_support::WriteFile;

// Runs a program to its end; its stdout without the final newline, empty
// when it failed.
std::string Output(const char* program, const std::vector<std::string>& args) {
  SpawnedProgram p;
  if (!p.Start(program, args) || p.Wait(10000) != 0) return "";
  std::string out = p.stdout_text();
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

struct FileCloser {
  void operator()(FILE* f) const { fclose(f); }
};
using UniqueFile = std::unique_ptr<FILE, FileCloser>;

// The scratch folder and log of the voice tests, with sox voices.
class VoiceFileTest : public VoiceScratchTest {
 protected:
  // A tone of the given number of samples made by sox; format holds its
  // encoding options; the file's bytes.
  std::string Sox(const std::string& name, int samples, const std::vector<std::string>& format,
                  const std::string& rate = "8000") {
    // The rate before "-n" too: synth counts samples at the input's rate.
    std::vector<std::string> args = {"-r", rate, "-n", "-r", rate, "-c", "1"};
    args.insert(args.end(), format.begin(), format.end());
    args.insert(args.end(), {name, "synth", std::to_string(samples) + "s", "sine", "440"});
    std::string err;
    EXPECT_EQ(RunProgram(kSox, args, &err), 0) << err;
    return ReadFile(name).value_or("");
  }
  std::string AlawWav(const std::string& name, int samples) {
    return Sox(name, samples, {"-e", "a-law"});
  }
  // The samples sox finds in a file, as headerless bytes of its encoding.
  std::string SoxSamples(const std::string& name, const std::string& raw_type = "al") {
    const std::string out = "samples." + raw_type;
    std::string err;
    EXPECT_EQ(RunProgram(kSox, {name, "-t", raw_type, out}, &err), 0) << err;
    return ReadFile(out).value_or("");
  }
  std::string SoxInfo(const std::string& name, const std::string& flag) {
    return Output(kSox, {"--i", flag, name});
  }

  // Appends the voices to a play file that starts empty; the results.
  std::vector<int> AppendAll(const std::string& play, const std::vector<std::string>& voices) {
    UniqueFile f(fopen(play.c_str(), "w+b"));
    std::vector<int> results;
    for (const std::string& v : voices) results.push_back(AppendVoiceFile(f.get(), v));
    return results;
  }

};

TEST_F(VoiceFileTest, RecordingBecomesA46ByteHeaderAlawWav) {
  const std::string raw = Sox("rec.al", 1000, {"-t", "al"});
  ASSERT_EQ(raw.size(), 1000u);
  ASSERT_EQ(RawAlawToWav("rec.al", "rec.wav"), kRawToWavDone);
  const std::string wav = ReadFile("rec.wav").value_or("");
  ASSERT_EQ(wav.size(), 1046u);
  EXPECT_EQ(Le32At(wav, 4), 1038u);
  EXPECT_EQ(Le32At(wav, 16), 18u);
  EXPECT_EQ(Le16At(wav, 20), 6);
  EXPECT_EQ(Le32At(wav, 42), 1000u);
  EXPECT_EQ(SoxInfo("rec.wav", "-s"), "1000");
  EXPECT_EQ(SoxInfo("rec.wav", "-e"), "A-law");
  EXPECT_EQ(SoxSamples("rec.wav"), raw);
}

TEST_F(VoiceFileTest, RecordingConversionFailures) {
  EXPECT_EQ(RawAlawToWav("missing.al", "out.wav"), kRawToWavNoSource);
  EXPECT_FALSE(FileExists("out.wav"));
  WriteFile("rec.al", std::string(10, '\xD5'));
  EXPECT_EQ(RawAlawToWav("rec.al", "no_such_dir\\out.wav"), kRawToWavNoTarget);
}

TEST_F(VoiceFileTest, TwoWavVoicesMakeOneWavFileOfTheFirstFormat) {
  const std::string first = AlawWav("a800.wav", 800);  // sox: fmt 18 and a fact chunk
  // The second with a 48-byte header and another byte rate: its format
  // fields are not taken.
  const std::string sox_second = AlawWav("b.wav", 1200);
  std::string second = sox_second.substr(0, 16) + std::string("\x14\0\0\0", 4) +
                       sox_second.substr(20, 18) + std::string(2, '\0') + sox_second.substr(50);
  second[28] = '\x41';
  WriteFile("b1200.WAV", second);
  ASSERT_EQ(AppendAll("t12.WAV", {"a800.wav", "b1200.WAV"}), (std::vector<int>{0, 0}));
  const std::string play = ReadFile("t12.WAV").value_or("");
  ASSERT_EQ(play.size(), 2046u);
  EXPECT_EQ(Le32At(play, 4), 2038u);
  EXPECT_EQ(Le32At(play, 42), 2000u);
  EXPECT_EQ(play.substr(0, 38).substr(20), first.substr(20, 18));
  EXPECT_EQ(play.substr(38, 4), "data");
  EXPECT_EQ(play.substr(46), first.substr(58) + sox_second.substr(58));
  EXPECT_EQ(SoxInfo("t12.WAV", "-s"), "2000");
  EXPECT_EQ(SoxInfo("t12.WAV", "-e"), "A-law");
}

// Only ".wav" and ".WAV" are looked at as WAV: "x.Wav" is appended whole.
// A headerless voice added to a WAV play file is appended as bytes and
// leaves the header as it was.
TEST_F(VoiceFileTest, HeaderlessVoicesAreAppendedAsBytes) {
  const std::string mixed = AlawWav("x.Wav", 100);
  const std::string wav = AlawWav("a.wav", 200);
  const std::string raw = Sox("r.al", 300, {"-t", "al"});
  ASSERT_EQ(AppendAll("p1.wav", {"x.Wav"}), (std::vector<int>{0}));
  EXPECT_EQ(ReadFile("p1.wav"), mixed);
  ASSERT_EQ(AppendAll("p2.wav", {"a.wav", "r.al"}), (std::vector<int>{0, 0}));
  const std::string play = ReadFile("p2.wav").value_or("");
  ASSERT_EQ(play.size(), 46u + 200 + 300);
  EXPECT_EQ(Le32At(play, 42), 200u);
  EXPECT_EQ(play.substr(46), wav.substr(58) + raw);
  EXPECT_EQ(SoxInfo("p2.wav", "-s"), "200");
}

// A play file that began with a headerless voice stays headerless: a WAV
// voice gives it its samples only.
TEST_F(VoiceFileTest, HeaderlessPlayFileTakesOnlyTheSamplesOfAWavVoice) {
  const std::string raw = Sox("r.al", 300, {"-t", "al"});
  const std::string wav = AlawWav("a.wav", 200);
  ASSERT_EQ(AppendAll("p.wav", {"r.al", "a.wav", "a.wav"}), (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(ReadFile("p.wav"), raw + wav.substr(58) + wav.substr(58));
}

TEST_F(VoiceFileTest, AVoiceOfAnotherFormatIsRefusedAndLogged) {
  const std::string first = AlawWav("a.wav", 200);
  struct FormatCase {
    const char* name;
    std::vector<std::string> format;
    const char* rate;
    const char* logged;
  };
  const FormatCase cases[] = {
      {"mu.wav", {"-e", "u-law"}, "8000", "tag 7 8-bit 8000 Hz"},
      {"pcm.wav", {"-e", "signed", "-b", "16"}, "8000", "tag 1 16-bit 8000 Hz"},
      {"fast.wav", {"-e", "a-law"}, "16000", "tag 6 8-bit 16000 Hz"},
  };
  for (const FormatCase& c : cases) {
    Sox(c.name, 100, c.format, c.rate);
    UniqueFile f(fopen("p.wav", "w+b"));
    ASSERT_EQ(AppendVoiceFile(f.get(), "a.wav"), kAppendDone);
    const std::string before = ReadFile("p.wav").value_or("");
    EXPECT_EQ(AppendVoiceFile(f.get(), c.name), kAppendFormatDiffers) << c.name;
    f.reset();
    EXPECT_EQ(ReadFile("p.wav"), before) << c.name;
    const std::string log = Log();
    EXPECT_NE(log.find(std::string("Voice format differs from play file: ") + c.name + " " +
                       c.logged + ", play file tag 6 8-bit 8000 Hz"),
              std::string::npos)
        << log;
  }
}

TEST_F(VoiceFileTest, UnreadableVoicesLeaveThePlayFileAlone) {
  AlawWav("a.wav", 200);
  WriteFile("bad.wav", "RIFF\x10\0\0\0WAVEfmt " + std::string(4, '\0') + "junk");
  UniqueFile f(fopen("p.wav", "w+b"));
  ASSERT_EQ(AppendVoiceFile(f.get(), "a.wav"), kAppendDone);
  EXPECT_EQ(AppendVoiceFile(f.get(), "missing.wav"), kAppendNoVoice);
  EXPECT_EQ(AppendVoiceFile(f.get(), "bad.wav"), kAppendBadWav);
  f.reset();
  EXPECT_EQ(ReadFile("p.wav").value_or("").size(), 246u);
  const std::string log = Log();
  EXPECT_NE(log.find("[Open file error: missing.wav]"), std::string::npos) << log;
  EXPECT_NE(log.find("bad.wav"), std::string::npos) << log;
}

TEST_F(VoiceFileTest, SamplesAreReadWithTheirType) {
  struct ReadCase {
    const char* name;
    std::vector<std::string> format;
    VoiceSampleType type;
    const char* raw_type;
  };
  const ReadCase cases[] = {
      {"a.wav", {"-e", "a-law"}, VoiceSampleType::kAlaw, "al"},
      {"u.wav", {"-e", "u-law"}, VoiceSampleType::kUlaw, "ul"},
      {"p.wav", {"-e", "signed", "-b", "16"}, VoiceSampleType::kPcm16, "s16"},
      {"r.al", {"-t", "al"}, VoiceSampleType::kAlaw, "al"},
  };
  for (const ReadCase& c : cases) {
    const std::string file = Sox(c.name, 300, c.format);
    const std::string samples = SoxSamples(c.name, c.raw_type);
    std::vector<char> buffer(2000);
    UniqueFile f(fopen(c.name, "rb"));
    VoiceSampleType type = VoiceSampleType::kPcm16;
    const size_t n = ReadVoiceData(f.get(), buffer.data(), buffer.size(), &type);
    EXPECT_EQ(type, c.type) << c.name;
    EXPECT_EQ(std::string(buffer.data(), n), samples) << c.name;
    // A smaller buffer takes the first samples.
    EXPECT_EQ(ReadVoiceData(f.get(), buffer.data(), 100, &type), 100u);
    EXPECT_EQ(std::string(buffer.data(), 100), samples.substr(0, 100)) << c.name;
  }
  EXPECT_NE(Log().find("[不是Wave文件]"), std::string::npos);
}

TEST_F(VoiceFileTest, UnusableVoicesReadNothing) {
  struct RefusedCase {
    const char* name;
    std::vector<std::string> format;
    const char* rate;
    const char* logged;
  };
  const RefusedCase cases[] = {
      {"fast.wav", {"-e", "a-law"}, "16000", "[采样率不是8000]"},
      {"a16.wav", {"-e", "a-law"}, "8000", "[数据位不是8Bit]"},
      {"p8.wav", {"-e", "unsigned", "-b", "8"}, "8000", "[PCM数据位不是16Bit]"},
      {"cut.wav", {"-e", "a-law"}, "8000", "[Wave文件头损坏]"},
  };
  for (const RefusedCase& c : cases) {
    std::string bytes = Sox(c.name, 100, c.format, c.rate);
    if (std::string(c.name) == "a16.wav") bytes[34] = 16;  // A-law claiming 16 bits
    if (std::string(c.name) == "cut.wav") bytes.resize(30);
    WriteFile(c.name, bytes);
    std::vector<char> buffer(1000);
    UniqueFile f(fopen(c.name, "rb"));
    VoiceSampleType type = VoiceSampleType::kPcm16;
    EXPECT_EQ(ReadVoiceData(f.get(), buffer.data(), buffer.size(), &type), 0u) << c.name;
    EXPECT_EQ(type, VoiceSampleType::kAlaw) << c.name;
    EXPECT_NE(Log().find(c.logged), std::string::npos) << c.name;
  }
  VoiceSampleType type = VoiceSampleType::kPcm16;
  char byte = 0;
  EXPECT_EQ(ReadVoiceData(nullptr, &byte, 1, &type), 0u);
  EXPECT_NE(Log().find("[File not open!]"), std::string::npos);
}

// The editing code's conversions are G.711 (A-law too: the code 0xC5 is
// 264, not the 132 a plain bit inversion would give), checked against
// python3's audioop.
TEST(VoiceG711Test, ConversionsMatchAudioop) {
  constexpr int kStep = 7;  // every 7th 16-bit sample: 9363 samples
  const std::string program =
      "import audioop, struct, sys\n"
      "codes = bytes(range(256))\n"
      "pcm = struct.pack('<9363h', *range(-32768, 32768, 7))\n"
      "for data in (audioop.alaw2lin(codes, 2), audioop.ulaw2lin(codes, 2),\n"
      "             audioop.lin2alaw(pcm, 2)):\n"
      "    sys.stdout.write(data.hex() + '\\n')\n";
  const std::string out = Output("/usr/bin/python3", {"-W", "ignore", "-c", program});
  ASSERT_FALSE(out.empty()) << "python3 audioop failed";
  std::vector<std::string> lines;
  for (size_t at = 0; at <= out.size();) {
    const size_t nl = std::min(out.find('\n', at), out.size());
    lines.push_back(out.substr(at, nl - at));
    at = nl + 1;
  }
  ASSERT_EQ(lines.size(), 3u);
  auto byte_at = [](const std::string& hex, size_t i) {
    return static_cast<uint8_t>(std::stoi(hex.substr(2 * i, 2), nullptr, 16));
  };
  auto sample_at = [&](const std::string& hex, size_t i) {
    return static_cast<int16_t>(byte_at(hex, 2 * i) | byte_at(hex, 2 * i + 1) << 8);
  };
  for (int code = 0; code < 256; ++code) {
    const auto c = static_cast<uint8_t>(code);
    EXPECT_EQ(ExpandG711(c, true), sample_at(lines[0], code)) << "A-law " << code;
    EXPECT_EQ(ExpandG711(c, false), sample_at(lines[1], code)) << "mu-law " << code;
  }
  for (int v = -32768, i = 0; v < 32768; v += kStep, ++i) {
    ASSERT_EQ(CompressAlaw(static_cast<int16_t>(v)), byte_at(lines[2], i)) << v;
  }
  EXPECT_EQ(ExpandG711(0xC5, true), 264);
  EXPECT_EQ(ExpandG711(0xFF, false), 0);
  EXPECT_EQ(ExpandG711(0x00, false), -32124);
  EXPECT_EQ(CompressAlaw(0), 0xD5);
}

}  // namespace
}  // namespace telephony
