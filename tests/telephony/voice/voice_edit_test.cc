// Voice-file editing: trimming the silence of a recording and mixing two
// voice files. python3 (audioop, struct) and sox make every voice the
// tests feed in and decode every file the editing writes; sox must accept
// each written file, and the header fields are checked byte by byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "telephony/voice/voc_file.h"
#include "telephony/voice/voice_mix.h"
#include "telephony/voice/voice_trim.h"
#include "tests/platform/spawned_program.h"
#include "tests/telephony/voice_scratch_fixture.h"
#include "tests/test_support.h"
#include "tests/vtsrun_runner.h"

namespace telephony {
namespace {

using testing_support::FileExists;
using testing_support::ReadFile;
using testing_support::RunProgram;
using testing_support::SpawnedProgram;
using testing_support::WriteFile;

constexpr const char* kPython = "/usr/bin/python3";

// The voices of the tests, made and read by python3. Each argument is one
// job:
//   "make NAME ENC SEG..."  ENC pcm, alaw, ulaw (a WAV file with a 44-byte
//                           header) or raw (headerless A-law); SEG is
//                           VALUExCOUNT: COUNT samples of the 16-bit VALUE,
//                           encoded by audioop.
//   "decode NAME"           prints the samples of a WAV file (tag 1, 6 or 7)
//                           as runs "VALUExCOUNT ...".
//   "q ENC VALUE..."        prints what each 16-bit value becomes through
//                           ENC (alaw or ulaw) and back.
constexpr const char* kVoiceTool = R"(
import audioop, struct, sys
CODEC = {'alaw': (audioop.lin2alaw, audioop.alaw2lin, 6),
         'ulaw': (audioop.lin2ulaw, audioop.ulaw2lin, 7)}
def wav(tag, bits, data):
    align = bits // 8
    fmt = struct.pack('<HHIIHH', tag, 1, 8000, 8000 * align, align, bits)
    return (b'RIFF' + struct.pack('<I', 36 + len(data)) + b'WAVEfmt ' +
            struct.pack('<I', 16) + fmt + b'data' + struct.pack('<I', len(data)) + data)
def make(name, enc, segs):
    pcm = b''.join(struct.pack('<h', int(v)) * int(n) for v, n in (s.split('x') for s in segs))
    if enc == 'pcm':
        out = wav(1, 16, pcm)
    elif enc == 'raw':
        out = audioop.lin2alaw(pcm, 2)
    else:
        out = wav(CODEC[enc][2], 8, CODEC[enc][0](pcm, 2))
    open(name, 'wb').write(out)
def decode(name):
    b = open(name, 'rb').read()
    pos, tag = 12, None
    while pos + 8 <= len(b):
        cid, size = b[pos:pos + 4], struct.unpack('<I', b[pos + 4:pos + 8])[0]
        body = b[pos + 8:pos + 8 + size]
        if cid == b'fmt ':
            tag = struct.unpack('<H', body[:2])[0]
        if cid == b'data':
            break
        pos += 8 + size
    pcm = body if tag == 1 else {6: audioop.alaw2lin, 7: audioop.ulaw2lin}[tag](body, 2)
    runs = []
    for v in struct.unpack('<%dh' % (len(pcm) // 2), pcm):
        if runs and runs[-1][0] == v:
            runs[-1][1] += 1
        else:
            runs.append([v, 1])
    print(' '.join('%dx%d' % (v, n) for v, n in runs))
def q(enc, values):
    pcm = struct.pack('<%dh' % len(values), *(int(v) for v in values))
    back = CODEC[enc][1](CODEC[enc][0](pcm, 2), 2)
    print(' '.join(str(v) for v in struct.unpack('<%dh' % len(values), back)))
for job in sys.argv[1:]:
    w = job.split()
    {'make': lambda: make(w[1], w[2], w[3:]), 'decode': lambda: decode(w[1]),
     'q': lambda: q(w[1], w[2:])}[w[0]]()
)";

// Runs a program to its end; its stdout, or "" (and a test failure) when
// it failed.
std::string Output(const std::string& program, const std::vector<std::string>& args) {
  SpawnedProgram p;
  EXPECT_TRUE(p.Start(program, args)) << program;
  const int status = p.Wait(20000);
  EXPECT_EQ(status, 0) << program << ": " << p.stderr_text();
  return status == 0 ? p.stdout_text() : "";
}

// The lines the voice tool printed for its jobs.
std::vector<std::string> VoiceTool(const std::vector<std::string>& jobs) {
  std::vector<std::string> args = {"-W", "ignore", "-c", kVoiceTool};
  args.insert(args.end(), jobs.begin(), jobs.end());
  std::istringstream out(Output(kPython, args));
  std::vector<std::string> lines;
  for (std::string line; std::getline(out, line);) lines.push_back(line);
  return lines;
}

// The runs of the samples of a WAV file, as python3 decodes them.
std::string Decoded(const std::string& name) {
  const std::vector<std::string> lines = VoiceTool({"decode " + name});
  return lines.empty() ? "" : lines.front();
}

// What 16-bit values become through a codec and back.
std::vector<int> Through(const std::string& codec, const std::vector<int>& values) {
  std::string job = "q " + codec;
  for (int v : values) job += " " + std::to_string(v);
  std::vector<int> back;
  const std::vector<std::string> lines = VoiceTool({job});
  if (lines.empty()) return back;
  std::istringstream in(lines.front());
  for (int v; in >> v;) back.push_back(v);
  return back;
}

// The header a written file must have: length 44 or 46, the format of the
// tag, sizes agreeing with the file's length.
void ExpectHeader(const std::string& file, size_t header_length, uint16_t tag,
                  const std::string& label) {
  SCOPED_TRACE(label);
  ASSERT_GE(file.size(), header_length);
  const uint32_t fmt_size = static_cast<uint32_t>(header_length) - 28;
  const uint16_t bits = tag == 1 ? 16 : 8;
  EXPECT_EQ(file.substr(0, 4), "RIFF");
  EXPECT_EQ(Le32At(file, 4), file.size() - 8);
  EXPECT_EQ(file.substr(8, 8), "WAVEfmt ");
  EXPECT_EQ(Le32At(file, 16), fmt_size);
  EXPECT_EQ(Le16At(file, 20), tag);
  EXPECT_EQ(Le16At(file, 22), 1);
  EXPECT_EQ(Le32At(file, 24), 8000u);
  EXPECT_EQ(Le32At(file, 28), 8000u * bits / 8);
  EXPECT_EQ(Le16At(file, 32), bits / 8);
  EXPECT_EQ(Le16At(file, 34), bits);
  if (fmt_size == 18) {
    EXPECT_EQ(Le16At(file, 36), 0);
  }
  EXPECT_EQ(file.substr(header_length - 8, 4), "data");
  EXPECT_EQ(Le32At(file, header_length - 4), file.size() - header_length);
}

// The scratch folder and log of the voice tests.
class VoiceEditTest : public VoiceScratchTest {
 protected:
  // sox accepts the file, with this many samples of this encoding.
  void ExpectSoxReads(const std::string& name, size_t samples, const std::string& encoding) {
    EXPECT_EQ(Output(kSox, {"--i", "-s", name}), std::to_string(samples) + "\n") << name;
    EXPECT_EQ(Output(kSox, {"--i", "-e", name}), encoding + "\n") << name;
  }

};

// ---------------------------------------------------------------------------
// Trimming.

struct TrimCase {
  const char* label;
  const char* encoding;  // of the voice tool
  const char* segments;
  int result;
  // The samples kept (when the result is 0 or more).
  size_t keep_from;
  size_t keep_to;
};

// Loud frames have a level of 2000, silence 0 (levels at and above 450 are
// loud); a frame is 20 samples.
TEST_F(VoiceEditTest, TrimKeepsFromTheFirstToTheLastStretchOfSpeech) {
  const TrimCase cases[] = {
      // The start of 0 counts as unset: the stretch takes its second
      // frame's start, and its end lies one frame further on.
      {"speech from the first frame", "alaw", "2000x600 0x2000", 0, 20, 620},
      {"one stretch, A-law", "alaw", "0x1000 2000x440 0x1000", 0, 1000, 1440},
      {"two stretches keep the silence between", "alaw", "0x1000 2000x600 0x800 2000x500 0x1000",
       1, 1000, 2900},
      {"two stretches, mu-law", "ulaw", "0x1000 2000x600 0x800 2000x500 0x1000", 1, 1000, 2900},
      {"two stretches, PCM", "pcm", "0x1000 -2000x600 0x800 2000x500 0x1000", 1, 1000, 2900},
      {"level 450 is loud", "pcm", "0x1000 450x440 0x1000", 0, 1000, 1440},
      {"a headerless file", "raw", "0x1000 2000x440 0x1000", 0, 1000, 1440},
      // The end of a stretch from the first frame lies one frame past it.
      {"speech to the end from the first frame", "alaw", "2000x1200", kTrimOutside, 0, 0},
      {"20 loud frames are a click", "alaw", "0x1000 2000x400 0x1000", kTrimNoSpeech, 0, 0},
      {"level 449 is quiet", "pcm", "0x1000 449x600 0x1000", kTrimNoSpeech, 0, 0},
      {"under 1000 bytes", "alaw", "0x300 2000x600", kTrimNoSpeech, 0, 0},
  };
  std::vector<std::string> jobs;
  for (size_t i = 0; i < std::size(cases); ++i) {
    jobs.push_back("make t" + std::to_string(i) + ".wav " + cases[i].encoding + " " +
                   cases[i].segments);
  }
  VoiceTool(jobs);
  for (size_t i = 0; i < std::size(cases); ++i) {
    const TrimCase& c = cases[i];
    SCOPED_TRACE(c.label);
    const std::string name = "t" + std::to_string(i) + ".wav";
    const std::string before = ReadFile(name).value_or("");
    ASSERT_FALSE(before.empty());
    EXPECT_EQ(TrimVocFile(name), c.result);
    EXPECT_FALSE(FileExists(name + ".tmp"));
    const std::string after = ReadFile(name).value_or("");
    if (c.result < 0) {
      EXPECT_EQ(after, before);
      continue;
    }
    const bool pcm = std::string(c.encoding) == "pcm";
    const size_t bytes_per_sample = pcm ? 2 : 1;
    const size_t header = std::string(c.encoding) == "raw" ? 0 : 44;
    const uint16_t tag = pcm ? 1 : std::string(c.encoding) == "ulaw" ? 7 : 6;
    ExpectHeader(after, 46, tag, c.label);
    EXPECT_EQ(after.substr(46), before.substr(header + c.keep_from * bytes_per_sample,
                                              (c.keep_to - c.keep_from) * bytes_per_sample));
    ExpectSoxReads(name, c.keep_to - c.keep_from,
                   pcm ? "Signed Integer PCM" : tag == 7 ? "u-law" : "A-law");
  }
}

TEST_F(VoiceEditTest, TrimLeavesFilesItCannotUse) {
  VoiceTool({"make speech.wav alaw 0x1000 2000x600 0x1000"});
  const std::string speech = ReadFile("speech.wav").value_or("");
  WriteFile("rec.vox", speech.substr(44));   // 4-bit ADPCM, as its name says
  WriteFile("REC2.Vox", speech.substr(44));
  struct Refused {
    const char* name;
    std::vector<std::string> sox_format;  // empty: written above
  } refused[] = {
      {"ima.wav", {"-e", "ima-adpcm"}},
      {"float.wav", {"-e", "floating-point", "-b", "32"}},
      {"stereo.wav", {"-e", "a-law"}},
      {"rec.vox", {}},
      {"REC2.Vox", {}},
  };
  for (const Refused& r : refused) {
    SCOPED_TRACE(r.name);
    if (!r.sox_format.empty()) {
      // A tone with speech in it: it would be trimmed if it were read.
      std::vector<std::string> args = {"-r", "8000", "-n", "-r", "8000", "-c", "1"};
      args.insert(args.end(), r.sox_format.begin(), r.sox_format.end());
      args.insert(args.end(), {r.name, "synth", "0.5", "sine", "440", "pad", "0.2", "0.2"});
      if (std::string(r.name) == "stereo.wav") args[6] = "2";
      std::string err;
      ASSERT_EQ(RunProgram(kSox, args, &err), 0) << err;
    }
    const std::string before = ReadFile(r.name).value_or("");
    ASSERT_FALSE(before.empty());
    EXPECT_EQ(TrimVocFile(r.name), kTrimNoSpeech);
    EXPECT_EQ(ReadFile(r.name).value_or(""), before);
    EXPECT_FALSE(FileExists(std::string(r.name) + ".tmp"));
    EXPECT_EQ(MixVocFiles("speech.wav", 1.0f, 0, r.name, 1.0f, "mix.wav"), kMixBadInput);
    EXPECT_FALSE(FileExists("mix.wav"));
  }
  EXPECT_NE(Log().find("'ima.wav' not edited: format tag 17, 1 channels"), std::string::npos);
  EXPECT_NE(Log().find("'stereo.wav' not edited: format tag 6, 2 channels"), std::string::npos);
  EXPECT_NE(Log().find("'rec.vox' not edited: 4-bit ADPCM"), std::string::npos);
  EXPECT_EQ(TrimVocFile("missing.wav"), kTrimNoSpeech);
  EXPECT_NE(Log().find("Open 'missing.wav' Error!"), std::string::npos);
}

// The rename that puts the trimmed file in place fails (CI runs as root:
// folder permissions cannot make it fail); the ".tmp" output cannot be
// created (a folder stands in its place).
TEST_F(VoiceEditTest, TrimThatCannotReplaceKeepsTheRecording) {
  const TrimRename failing = [](const std::string& from, const std::string&) {
    return !FileExists(from);  // the trimmed file is there, and cannot be moved
  };
  const struct {
    const char* label;
    bool tmp_folder;
    TrimRename rename;
    const char* logged;
  } cases[] = {
      {"the rename fails", false, failing, "'rec0.wav' not trimmed"},
      {"the output cannot be created", true, platform::RenameHostFile, ""},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].label);
    const std::string name = "rec" + std::to_string(i) + ".wav";
    VoiceTool({"make " + name + " alaw 0x1000 2000x600 0x1000"});
    if (cases[i].tmp_folder) {
      ASSERT_TRUE(std::filesystem::create_directory(name + ".tmp"));
    }
    const std::string before = ReadFile(name).value_or("");
    EXPECT_EQ(TrimVocFile(name, cases[i].rename), kTrimNotWritten);
    EXPECT_EQ(ReadFile(name).value_or(""), before);
    EXPECT_EQ(std::filesystem::is_directory(name + ".tmp"), cases[i].tmp_folder);
    EXPECT_EQ(FileExists(name + ".tmp"), cases[i].tmp_folder);
    EXPECT_NE(Log().find(cases[i].logged), std::string::npos);
  }
}

// ---------------------------------------------------------------------------
// Mixing.

struct MixCase {
  const char* label;
  const char* first;  // segments of the voice tool
  float first_gain;
  int32_t offset_ms;
  const char* second;
  float second_gain;
  const char* mixed;  // the runs of the output, 16-bit PCM
};

// 16-bit PCM voices: the sums are exact.
TEST_F(VoiceEditTest, MixAddsTheSecondFileAtItsOffset) {
  const MixCase cases[] = {
      {"a 3 s sound at 1000 ms into a 5 s prompt", "1000x40000", 1, 1000, "7x24000", 1,
       "1000x8000 1007x24000 1000x8000"},
      {"past the prompt's end the adding stops", "1000x40000", 1, 4000, "7x24000", 1,
       "1000x32000 1007x8000"},
      {"a longer second file ignores the offset", "1000x20000", 1, 1000, "7x30000", 1,
       "1007x20000 7x10000"},
      {"a second file above 80000 samples loses 6000", "1000x120000", 1, 0, "7x100000", 1,
       "1007x94000 1000x26000"},
      {"a longer first file above 80000 loses 6000", "1000x90000", 1, 0, "7x100000", 1,
       "1007x84000 7x16000"},
      {"a negative offset starts inside the second file", "1000x40000", 1, -500,
       "50x4000 7x20000", 1, "1007x20000 1000x20000"},
      {"an offset far past the end adds nothing", "1000x40000", 1, 1 << 30, "7x24000", 1,
       "1000x40000"},
      {"an offset far before the start adds nothing", "1000x40000", 1, -(1 << 30), "7x24000", 1,
       "1000x40000"},
      {"sums are held within 32467", "30000x1000 -30000x1000", 1, 0,
       "10000x500 0x500 -10000x500", 1, "32467x500 30000x500 -32467x500 -30000x500"},
      {"PCM is mixed unscaled, gain 3 or 0", "1000x40000", 3, 0, "7x24000", 0,
       "1007x24000 1000x16000"},
  };
  std::vector<std::string> jobs;
  for (size_t i = 0; i < std::size(cases); ++i) {
    const std::string n = std::to_string(i);
    jobs.push_back("make a" + n + ".wav pcm " + cases[i].first);
    jobs.push_back("make b" + n + ".wav pcm " + cases[i].second);
  }
  VoiceTool(jobs);
  for (size_t i = 0; i < std::size(cases); ++i) {
    const MixCase& c = cases[i];
    SCOPED_TRACE(c.label);
    const std::string n = std::to_string(i);
    const std::string out = "m" + n + ".wav";
    ASSERT_EQ(MixVocFiles("a" + n + ".wav", c.first_gain, c.offset_ms, "b" + n + ".wav",
                          c.second_gain, out),
              kMixDone);
    EXPECT_EQ(Decoded(out), c.mixed);
    const std::string bytes = ReadFile(out).value_or("");
    ExpectHeader(bytes, 44, 1, c.label);
    ExpectSoxReads(out, (bytes.size() - 44) / 2, "Signed Integer PCM");
  }
}

// Runs of the expected output of an A-law mix: each {value, count} as
// python3 finds the value after A-law coding.
std::string AlawRuns(const std::vector<std::pair<int, int>>& runs) {
  std::vector<int> values;
  for (const auto& r : runs) values.push_back(r.first);
  const std::vector<int> coded = Through("alaw", values);
  std::string out;
  for (size_t i = 0; i < runs.size() && i < coded.size(); ++i) {
    out += (i == 0 ? "" : " ") + std::to_string(coded[i]) + "x" + std::to_string(runs[i].second);
  }
  return out;
}

// 8-bit voices: gains, automatic gain, clipping. The second file is a
// short PCM silence, so the first file (A-law or mu-law) is the result and
// comes back as A-law.
TEST_F(VoiceEditTest, GainsScaleEightBitVoices) {
  // What the 8-bit fixtures decode to.
  const std::vector<int> mu = Through("ulaw", {1000, 12000, 5000});
  const std::vector<int> al = Through("alaw", {1000, 20000});
  ASSERT_EQ(mu.size(), 3u);
  ASSERT_EQ(al.size(), 2u);
  // Passages of 20 frames of 160 samples, each followed by 30 quiet frames:
  // the loudest frame's mean 988 (sum about 160 x 1000) is multiplied by 6,
  // 11900 (above 9829) made 2/3 as loud, 5116 (160 x 5000) left alone. The
  // quiet frames give the noise threshold its floor of 200.
  const char* passages = "0x1600 1000x3200 0x4800 12000x3200 0x4800 5000x3200 0x4800";
  struct GainCase {
    const char* label;
    std::string encoding;
    std::string segments;
    float gain;
    std::string mixed;
  } cases[] = {
      {"gain 1 keeps the samples", "alaw", "1000x2000 -1000x2000", 1,
       AlawRuns({{al[0], 2000}, {-al[0], 2000}})},
      {"gain 2 doubles each sample", "alaw", "1000x2000 -1000x2000", 2,
       AlawRuns({{2 * al[0], 2000}, {-2 * al[0], 2000}})},
      {"gain 0.3 scales down", "ulaw", "1000x2000 -1000x2000", 0.3f,
       AlawRuns({{mu[0] * 3 / 10, 2000}, {-mu[0] * 3 / 10, 2000}})},
      {"gain 8 clips a loud sample instead of wrapping", "alaw", "20000x2000 -20000x2000", 8,
       AlawRuns({{32467, 2000}, {-32467, 2000}})},
      {"a huge gain clips too", "ulaw", "20000x2000 0x2000", 1e30f,
       AlawRuns({{32467, 2000}, {0, 2000}})},
      {"gain 0 is automatic gain", "ulaw", passages, 0,
       AlawRuns({{0, 1600}, {6 * mu[0], 3200}, {0, 4800}, {mu[1] * 2 / 3, 3200}, {0, 4800},
                 {mu[2], 3200}, {0, 4800}})},
      {"a negative gain is automatic gain", "ulaw", passages, -1,
       AlawRuns({{0, 1600}, {6 * mu[0], 3200}, {0, 4800}, {mu[1] * 2 / 3, 3200}, {0, 4800},
                 {mu[2], 3200}, {0, 4800}})},
      // The passage is still open at the end: left alone.
      {"no quiet end, no automatic gain", "ulaw", "0x1600 1000x3200 0x4000", 0,
       AlawRuns({{0, 1600}, {mu[0], 3200}, {0, 4000}})},
  };
  std::vector<std::string> jobs = {"make silence.wav pcm 0x200"};
  for (size_t i = 0; i < std::size(cases); ++i) {
    jobs.push_back("make g" + std::to_string(i) + ".wav " + cases[i].encoding + " " +
                   cases[i].segments);
  }
  VoiceTool(jobs);
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].label);
    const std::string n = std::to_string(i);
    ASSERT_EQ(MixVocFiles("g" + n + ".wav", cases[i].gain, 0, "silence.wav", 1, "o" + n + ".wav"),
              kMixDone);
    EXPECT_EQ(Decoded("o" + n + ".wav"), cases[i].mixed);
    const std::string bytes = ReadFile("o" + n + ".wav").value_or("");
    ExpectHeader(bytes, 44, 6, cases[i].label);
    ExpectSoxReads("o" + n + ".wav", bytes.size() - 44, "A-law");
  }
  EXPECT_NE(Log().find("AutoGainCount=2: g5.wav"), std::string::npos);
}

TEST(AutoGainFactorTest, LoudestFrameGivesThePassageGain) {
  const struct {
    int64_t peak;
    int32_t factor;
  } cases[] = {
      {160 * 1000, 6},  {160 * 10000, kAutoGainSoften}, {160 * 5000, 1},
      {0, 1},           {159, 1},                       {160 * 100, 10},
      {160 * 3276, 2},  {160 * 3277, 1},                {160 * 9829 + 159, 1},
      {160 * 9830, kAutoGainSoften},
  };
  for (const auto& c : cases) EXPECT_EQ(AutoGainFactor(c.peak), c.factor) << c.peak;
}

TEST_F(VoiceEditTest, MixFailuresAreReported) {
  VoiceTool({"make a.wav pcm 1000x2000", "make tiny.wav pcm 1x50"});
  EXPECT_EQ(MixVocFiles("a.wav", 1, 0, "missing.wav", 1, "out.wav"), kMixBadInput);
  EXPECT_EQ(MixVocFiles("missing.wav", 1, 0, "a.wav", 1, "out.wav"), kMixBadInput);
  EXPECT_EQ(MixVocFiles("a.wav", 1, 0, "tiny.wav", 1, "out.wav"), kMixBadInput);
  EXPECT_FALSE(FileExists("out.wav"));
  EXPECT_EQ(MixVocFiles("a.wav", 1, 0, "a.wav", 1, "no_such_dir\\out.wav"), kMixNoOutput);
  const std::string log = Log();
  for (const char* line : {"'missing.wav' open err", "'tiny.wav' 太小!",
                           "Mix: 至少有一个文件不正确.", "'no_such_dir\\out.wav' 无法创建!"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line;
  }
}

// ---------------------------------------------------------------------------
// The statements, run from a script by the real vtsrun.

TEST_F(VoiceEditTest, ScriptsTrimAndMixThroughVtsrun) {
  VoiceTool({"make rec.wav alaw 0x1000 2000x600 0x800 2000x500 0x1000",
             "make music.wav pcm 7x24000", "make prompt.wav pcm 1000x40000"});
  WriteFile("s.vts",
            "SetPrintTo(\"\")\n"
            "r = TrimVocFile(\"rec\")\nPrint(r)\n"
            "r = TrimVocFile(\"missing\")\nPrint(r)\n"
            "r = MixVocFile(\"prompt\", 1.0, 1000, \"music\", 1.0, \"mixed\")\nPrint(r)\n"
            "r = MixVocFile(\"prompt\", 1.0, 0, \"missing\", 1.0, \"mixed2\")\nPrint(r)\n"
            "return(0)\n");
  const testing_support::VtsrunOutcome o = testing_support::RunVtsrun(dir_.path(), {"s.vts"});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "0 : 1\n0 : -2\n0 : 1\n0 : -1\n");
  EXPECT_EQ(ReadFile("rec.wav").value_or("").size(), 46u + 1900u);
  EXPECT_EQ(Decoded("mixed.WAV"), "1000x8000 1007x24000 1000x8000");
}

}  // namespace
}  // namespace telephony
