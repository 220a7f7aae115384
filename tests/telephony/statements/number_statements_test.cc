// "PlayNumber(" and "PcPlayNumber(" built by the statement registry and run
// for a script whose call object records what it is asked to play: the
// pieces joined through the line's play file or from the voice caches, byte
// for byte by their WAV headers, and the readings that play nothing. Then
// one reading played on a real E1 line of the simulated board and heard at
// the far end.
#include "telephony/statements/number_statements.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/keyword_table.h"
#include "engine/statement_registry.h"
#include "engine/tel_basic.h"
#include "frame/log.h"
#include "frame/settings.h"
#include "platform/host_path.h"
#include "telephony/line_settings.h"
#include "telephony/voice/voc_cache.h"
#include "telephony/voice/voice_play.h"
#include "telephony/vt_call.h"
#include "tests/platform/spawned_program.h"
#include "tests/telephony/tup_call_fixture.h"
#include "tests/test_support.h"

namespace telephony {
namespace {

using testing_support::FileExists;
using testing_support::ReadFile;
using testing_support::WriteFile;

constexpr const char* kLogName = "number_log.txt";
constexpr int32_t kLine = 4;
constexpr size_t kHeader46 = 46;

uint32_t Le32At(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) {
    v |= static_cast<uint32_t>(static_cast<uint8_t>(s.at(at + i))) << (8 * i);
  }
  return v;
}

std::string Le32(uint32_t v) { return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }
std::string Le16(uint16_t v) { return {char(v), char(v >> 8)}; }

// Samples that tell the pieces apart.
std::string Samples(size_t count, int seed) {
  std::string s;
  for (size_t i = 0; i < count; ++i) s.push_back(static_cast<char>(seed * 31 + i * 7 + 1));
  return s;
}

// An A-law WAV voice with a fmt chunk of fmt_size bytes (16, 18 or 20) and,
// when fact, a "fact" chunk before its data.
std::string AlawWav(const std::string& samples, uint32_t fmt_size = 18, bool fact = false) {
  std::string fmt = Le16(6) + Le16(1) + Le32(8000) + Le32(8000) + Le16(1) + Le16(8);
  fmt += std::string(fmt_size - 16, '\0');
  std::string body = "WAVEfmt " + Le32(fmt_size) + fmt;
  if (fact) body += "fact" + Le32(4) + Le32(static_cast<uint32_t>(samples.size()));
  body += "data" + Le32(static_cast<uint32_t>(samples.size())) + samples;
  return "RIFF" + Le32(static_cast<uint32_t>(body.size())) + body;
}

// The 46-byte-header voice the pieces join into.
std::string Joined(const std::string& samples) { return AlawWav(samples); }

// A call object that records the plays it is asked for.
class RecordingCall : public TagVtCall {
 public:
  struct FilePlay {
    std::string file;
    std::string bytes;  // the file as it was when played
    int32_t breakOnKey;
    int32_t onPc;
  };
  struct MemoryPlay {
    std::string bytes;
    int32_t breakOnKey;
  };

  int32_t Play(std::string_view file, int32_t break_on_key, int32_t on_pc) override {
    const auto host = platform::ToHostPath(file);
    filePlays.push_back({std::string(file), host ? ReadFile(*host).value_or("") : "",
                         break_on_key, on_pc});
    return 1;
  }
  int32_t PlayMemVoc(const char* buffer, int32_t start, int32_t length, int32_t,
                     int32_t break_on_key) override {
    memoryPlays.push_back({std::string(buffer + start, static_cast<size_t>(length)), break_on_key});
    return 0;
  }

  std::vector<FilePlay> filePlays;
  std::vector<MemoryPlay> memoryPlays;
};

// A script of line kLine in a scratch folder (the working directory), its
// Chinese voices in "voc\", English ones in "en\", the process log at
// level 1 in a file there.
class NumberStatementsTest : public ::testing::Test {
 protected:
  NumberStatementsTest() : chdir_(dir_.path()) {
    saved_level_ = frame::GetSettings().log_level.load();
    frame::GetSettings().log_level = 1;
    frame::OpenProcessLog(std::make_unique<frame::TagWriteLog>(kLogName, 1 << 20, true, true));
    RegisterNumberStatements();
    WriteFile("empty.vts", "\n");
    call_.lineNo = kLine;
    script_ = std::make_unique<engine::TagTelBasic>("empty.vts", kLine, &call_, 0, nullptr);
    LineSettingsOf(*script_).voice.voiceDirs[0] = "voc\\";
    LineSettingsOf(*script_).voice.voiceDirs[2] = "en\\";
    std::filesystem::create_directory("voc");
    std::filesystem::create_directory("en");
  }
  ~NumberStatementsTest() override {
    telephony::GlobalVocCache().Clear();
    script_.reset();
    frame::CloseProcessLog();
    frame::GetSettings().log_level = saved_level_;
  }

  std::string Log() {
    frame::FlushProcessLog();
    return ReadFile(kLogName).value_or("");
  }

  // Runs keyword on the number (a string value) and the mode.
  int32_t Run(const char* keyword, const std::string& number, int32_t mode, bool pc_line = false) {
    engine::TagVar text;
    text.SetBytes(number.data(), number.size());
    engine::TagVar m;
    m.SetInt(mode);
    return Run(keyword, &text, &m, pc_line);
  }
  int32_t Run(const char* keyword, engine::TagVar* number, engine::TagVar* mode, bool pc_line) {
    engine::StatementBuild build;
    build.row = engine::Keywords().FindKeyword(keyword);
    build.args = {number, mode};
    build.script = script_.get();
    build.pcMode = pc_line || std::string(keyword) == "PcPlayNumber(";
    std::string error;
    std::unique_ptr<engine::TagOper> s(engine::Statements().Build(build, &error));
    EXPECT_NE(s, nullptr) << error;
    return s ? s->Execute() : INT32_MIN;
  }

  // Writes voice "voc/<name>.WAV" and returns its samples.
  std::string Voice(const std::string& name, size_t count, int seed, uint32_t fmt_size = 18,
                    bool fact = false) {
    const std::string samples = Samples(count, seed);
    WriteFile("voc/" + name + ".WAV", AlawWav(samples, fmt_size, fact));
    return samples;
  }

  // The voices of "105" (1 bai 0 5) in three header forms; their samples.
  std::string VoicesOf105() {
    return Voice("1", 300, 1, 18) + Voice("bai", 410, 2, 16) + Voice("0", 120, 3, 20, true) +
           Voice("5", 257, 4, 18, true);
  }

  testing_support::TempDir dir_;
  testing_support::ScopedChdir chdir_;
  int32_t saved_level_ = 0;
  RecordingCall call_;
  std::unique_ptr<engine::TagTelBasic> script_;
};

TEST_F(NumberStatementsTest, PlayFileJoinsThePiecesByteForByte) {
  const std::string samples = VoicesOf105();
  EXPECT_EQ(Run("PlayNumber(", "105", 0), kNumberPlayed);
  ASSERT_EQ(call_.filePlays.size(), 1u);
  const RecordingCall::FilePlay& play = call_.filePlays[0];
  EXPECT_EQ(play.file, "voc\\t4.WAV");
  EXPECT_EQ(play.breakOnKey, 1);
  EXPECT_EQ(play.onPc, 0);
  ASSERT_EQ(play.bytes.size(), kHeader46 + samples.size());
  EXPECT_EQ(Le32At(play.bytes, 42), samples.size());  // the sum of the pieces' data sizes
  EXPECT_EQ(Le32At(play.bytes, 4), samples.size() + 38);
  EXPECT_EQ(play.bytes, Joined(samples));
  EXPECT_TRUE(call_.memoryPlays.empty());
  EXPECT_FALSE(FileExists("voc/t4.WAV"));  // deleted after the play
}

TEST_F(NumberStatementsTest, PiecesMadeBySoxJoinByTheirHeaders) {
  // sox writes A-law WAV with a fmt chunk of 18 bytes and a fact chunk.
  std::string samples;
  for (const std::string name : {"shi", "2"}) {
    std::string err;
    ASSERT_EQ(testing_support::RunProgram("/usr/bin/sox",
                                          {"-r", "8000", "-n", "-r", "8000", "-c", "1", "-e",
                                           "a-law", "voc/" + name + ".WAV", "synth", "333s", "sine",
                                           name == "2" ? "880" : "440"},
                                          &err),
              0)
        << err;
    ASSERT_EQ(testing_support::RunProgram("/usr/bin/sox",
                                          {"voc/" + name + ".WAV", "-t", "al", name + ".al"}, &err),
              0)
        << err;
    samples += ReadFile(name + ".al").value_or("");
  }
  ASSERT_EQ(samples.size(), 666u);
  EXPECT_EQ(Run("PlayNumber(", "12", 0), kNumberPlayed);
  ASSERT_EQ(call_.filePlays.size(), 1u);
  EXPECT_EQ(call_.filePlays[0].bytes, Joined(samples));

  // The same pieces joined from memory.
  call_.filePlays.clear();
  ASSERT_GT(LineSettingsOf(*script_).voiceCache.LoadVocFile("voc\\shi.WAV"), 0);
  ASSERT_GT(LineSettingsOf(*script_).voiceCache.LoadVocFile("voc\\2.WAV"), 0);
  EXPECT_EQ(Run("PlayNumber(", "12", 0), kNumberPlayed);
  ASSERT_EQ(call_.memoryPlays.size(), 1u);
  EXPECT_EQ(call_.memoryPlays[0].bytes, Joined(samples));
  EXPECT_TRUE(call_.filePlays.empty());
}

TEST_F(NumberStatementsTest, EveryPieceCachedPlaysFromMemory) {
  const std::string samples = VoicesOf105();
  // The script's cache first, then the process-wide one.
  for (const char* name : {"voc\\1.WAV", "voc\\bai.WAV", "voc\\0.WAV"}) {
    ASSERT_GT(LineSettingsOf(*script_).voiceCache.LoadVocFile(name), 0);
  }
  ASSERT_GT(telephony::GlobalVocCache().LoadVocFile("voc\\5.WAV"), 0);
  LineSettingsOf(*script_).voice.breakOnKey = 0;
  EXPECT_EQ(Run("PlayNumber(", "105", 0), kNumberPlayed);
  ASSERT_EQ(call_.memoryPlays.size(), 1u);
  EXPECT_EQ(call_.memoryPlays[0].bytes, Joined(samples));
  EXPECT_EQ(call_.memoryPlays[0].breakOnKey, 0);
  EXPECT_TRUE(call_.filePlays.empty());
  EXPECT_FALSE(FileExists("voc/t4.WAV"));
}

TEST_F(NumberStatementsTest, APieceNotCachedSendsTheReadingThroughTheFile) {
  const std::string samples = VoicesOf105();
  for (const char* name : {"voc\\1.WAV", "voc\\bai.WAV", "voc\\0.WAV"}) {
    ASSERT_GT(LineSettingsOf(*script_).voiceCache.LoadVocFile(name), 0);
  }
  EXPECT_EQ(Run("PlayNumber(", "105", 0), kNumberPlayed);
  EXPECT_TRUE(call_.memoryPlays.empty());
  ASSERT_EQ(call_.filePlays.size(), 1u);
  EXPECT_EQ(call_.filePlays[0].bytes, Joined(samples));
}

TEST_F(NumberStatementsTest, CachedPiecesWithoutSamples) {
  WriteFile("voc/shi.WAV", AlawWav(""));
  WriteFile("voc/2.WAV", AlawWav(""));
  ASSERT_GT(LineSettingsOf(*script_).voiceCache.LoadVocFile("voc\\shi.WAV"), 0);
  ASSERT_GT(LineSettingsOf(*script_).voiceCache.LoadVocFile("voc\\2.WAV"), 0);
  EXPECT_EQ(Run("PlayNumber(", "12", 0), kNumberNothingCached);
  EXPECT_TRUE(call_.memoryPlays.empty());
  EXPECT_TRUE(call_.filePlays.empty());
  EXPECT_NE(Log().find("TagPlayNumber('12'): size=0"), std::string::npos);
}

TEST_F(NumberStatementsTest, OnThePcThePlayFileIsPlayedEvenWhenCached) {
  const std::string samples = Voice("shi", 100, 1) + Voice("2", 90, 2);
  ASSERT_GT(LineSettingsOf(*script_).voiceCache.LoadVocFile("voc\\shi.WAV"), 0);
  ASSERT_GT(LineSettingsOf(*script_).voiceCache.LoadVocFile("voc\\2.WAV"), 0);
  EXPECT_EQ(Run("PcPlayNumber(", "12", 0), kNumberPlayed);
  EXPECT_EQ(Run("PlayNumber(", "12", 0, /*pc_line=*/true), kNumberPlayed);
  EXPECT_TRUE(call_.memoryPlays.empty());
  ASSERT_EQ(call_.filePlays.size(), 2u);
  for (const auto& play : call_.filePlays) {
    EXPECT_EQ(play.onPc, 1);
    EXPECT_EQ(play.bytes, Joined(samples));
  }
}

TEST_F(NumberStatementsTest, PlayingToTheFileAppendsAndPlaysNothing) {
  const std::string samples = Voice("shi", 100, 1) + Voice("2", 90, 2) + Voice("3", 80, 3);
  ASSERT_GT(LineSettingsOf(*script_).voiceCache.LoadVocFile("voc\\shi.WAV"), 0);
  ASSERT_GT(LineSettingsOf(*script_).voiceCache.LoadVocFile("voc\\2.WAV"), 0);
  ASSERT_EQ(SetPlayToFile(*script_, true), 0);
  EXPECT_EQ(Run("PlayNumber(", "12", 0), kNumberPlayed);
  EXPECT_EQ(Run("PcPlayNumber(", "3", 0), kNumberPlayed);
  EXPECT_TRUE(call_.filePlays.empty());
  EXPECT_TRUE(call_.memoryPlays.empty());
  EXPECT_EQ(ReadFile("voc/t4.WAV").value_or(""), Joined(samples));
}

TEST_F(NumberStatementsTest, AMissingPieceIsLoggedAndLeftOut) {
  const std::string samples = Voice("1", 100, 1) + Voice("bai", 90, 2) + Voice("0", 80, 3);
  EXPECT_EQ(Run("PlayNumber(", "105", 0), kNumberPlayed);
  ASSERT_EQ(call_.filePlays.size(), 1u);
  EXPECT_EQ(call_.filePlays[0].bytes, Joined(samples));
  EXPECT_NE(Log().find("Open file error: voc\\5.WAV"), std::string::npos);
}

TEST_F(NumberStatementsTest, ReadingsThatPlayNothing) {
  struct Refusal {
    const char* text;
    int32_t mode;
    int32_t language;
    const char* log;  // the line logged; "" for none
  };
  const Refusal cases[] = {
      {"-5", 0, 0, "TagPlayNumber('-5'): a minus sign cannot be read"},
      {"-12.5", 1, 0, "TagPlayNumber('-12.5'): a minus sign cannot be read"},
      {"-5", 0, 2, "TagPlayNumber('-5'): a minus sign cannot be read"},
      {"1234567890123", 0, 0, "TagPlayNumber('1234567890123'): more than 12 integer digits"},
      {"0000000000001", 1, 0, "TagPlayNumber('0000000000001'): more than 12 integer digits"},
      {"12", 6, 0, "TagPlayNumber('12'): fCount=0"},
      {"abc", 2, 0, "TagPlayNumber('abc'): fCount=0"},
      {"20240315", 3, 2, "TagPlayNumber('20240315'): fCount=0"},
      {"8:05", 4, 2, "TagPlayNumber('8:05'): fCount=0"},
      {"2024-13-01", 3, 0, ""},
      {"25:00", 4, 0, ""},
      {"1:2:3:4", 5, 0, ""},
  };
  Voice("1", 10, 1);
  Voice("5", 10, 5);
  for (const Refusal& c : cases) {
    SCOPED_TRACE(c.text);
    LineSettingsOf(*script_).voice.voiceDirIndex = c.language;
    EXPECT_EQ(Run("PlayNumber(", c.text, c.mode), kNumberNoReading);
    const std::string log = Log();
    if (*c.log != '\0') {
      EXPECT_NE(log.find(c.log), std::string::npos) << log;
    } else {
      EXPECT_EQ(log.find("TagPlayNumber('" + std::string(c.text) + "')"), std::string::npos);
    }
  }
  EXPECT_TRUE(call_.filePlays.empty());
  EXPECT_TRUE(call_.memoryPlays.empty());
  EXPECT_FALSE(FileExists("voc/t4.WAV"));
}

TEST_F(NumberStatementsTest, APlayFileThatDoesNotOpen) {
  LineSettingsOf(*script_).voice.voiceDirs[0] = "nodir\\";
  EXPECT_EQ(Run("PlayNumber(", "12", 0), kNumberNoPlayFile);
  EXPECT_TRUE(call_.filePlays.empty());
  EXPECT_NE(Log().find("TagPlayNumber('12'): Open File error: nodir\\t4.WAV"), std::string::npos);
}

TEST_F(NumberStatementsTest, ArgumentsAndLanguage) {
  // An integer value is read by its text; the mode by its integer value.
  const std::string chinese = Voice("shi", 100, 1) + Voice("5", 90, 2);
  engine::TagVar number;
  number.SetInt(15);
  engine::TagVar mode;
  mode.SetBytes("0", 1);
  EXPECT_EQ(Run("PlayNumber(", &number, &mode, false), kNumberPlayed);
  ASSERT_EQ(call_.filePlays.size(), 1u);
  EXPECT_EQ(call_.filePlays[0].bytes, Joined(chinese));

  // English voices come from the directory of language 2.
  std::string english;
  int seed = 10;
  for (const std::string name : {"1", "hundred", "and", "15"}) {
    const std::string samples = Samples(50 + seed, seed);
    WriteFile("en/" + name + ".WAV", AlawWav(samples));
    english += samples;
    ++seed;
  }
  LineSettingsOf(*script_).voice.voiceDirIndex = 2;
  EXPECT_EQ(Run("PlayNumber(", "115", 0), kNumberPlayed);
  ASSERT_EQ(call_.filePlays.size(), 2u);
  EXPECT_EQ(call_.filePlays[1].file, "en\\t4.WAV");
  EXPECT_EQ(call_.filePlays[1].bytes, Joined(english));
}

TEST_F(NumberStatementsTest, BothKeywordsAreRegistered) {
  for (const char* keyword : {"PlayNumber(", "PcPlayNumber("}) {
    EXPECT_NE(engine::Statements().Find(engine::Keywords().FindKeyword(keyword)), nullptr)
        << keyword;
  }
}

// --- On the E1 line of the simulated board ---------------------------------

TEST(NumberStatementsE1Test, TheFarEndHearsTheJoinedPieces) {
  RegisterNumberStatements();
  TupLine line;
  ASSERT_EQ(line.far().Call("E3", "13900000000", "8001"), "OK");
  ASSERT_EQ(line.call().WaitRing(1), 0);

  std::filesystem::create_directory(line.File("voc"));
  const std::string samples = Samples(800, 1) + Samples(1200, 2);
  WriteFile(line.File("voc/shi.WAV"), AlawWav(Samples(800, 1)));
  WriteFile(line.File("voc/2.WAV"), AlawWav(Samples(1200, 2), 16));
  WriteFile("empty.vts", "\n");
  engine::TagTelBasic script("empty.vts", kLine, &line.call(), 0, nullptr);
  LineSettingsOf(script).voice.voiceDirs[0] = "voc\\";

  engine::TagVar number, mode;
  number.SetBytes("12", 2);
  mode.SetInt(0);
  engine::StatementBuild build;
  build.row = engine::Keywords().FindKeyword("PlayNumber(");
  build.args = {&number, &mode};
  build.script = &script;
  std::string error;
  std::unique_ptr<engine::TagOper> s(engine::Statements().Build(build, &error));
  ASSERT_NE(s, nullptr) << error;

  ASSERT_EQ(line.far().CaptureStart("E3", "heard.raw"), "OK");
  EXPECT_EQ(s->Execute(), kNumberPlayed);
  ASSERT_EQ(line.far().CaptureStop("E3"), "OK");
  // The board plays a ".WAV" file from 200 bytes in, past its 46-byte
  // header: the far end hears the joined samples from the 155th on.
  const std::string heard = ReadFile(line.File("heard.raw")).value_or("");
  EXPECT_EQ(heard, samples.substr(200 - kHeader46));
  EXPECT_FALSE(FileExists(line.File("voc/t4.WAV")));
  line.call().Hangup();
}

}  // namespace
}  // namespace telephony
