// Voices loaded by "LoadVocFile(" and played from memory on the virtual line
// of the real vtsrun, whose sound card is the file sound device: each plays
// in the form its file had, as sox reads the capture (headerless A-law as
// A-law without its last 90 bytes, as the file itself plays; WAV voices in
// their own format), and the scratch files of the plays are gone afterwards,
// neither in the program folder nor in the runtime folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/platform/spawned_program.h"
#include "tests/telephony/voice_scratch_fixture.h"
#include "tests/test_support.h"
#include "tests/vtsrun_runner.h"

namespace telephony {
namespace {

using testing_support::FolderNames;
using testing_support::ReadFile;
using testing_support::RunProgram;
using testing_support::TempDir;

struct MemVoiceCase {
  std::string file;                 // the voice, made by sox
  std::vector<std::string> format;  // sox's options for it
  std::string rawType;              // sox's headerless type of its samples
  std::string encoding;             // what sox says the capture holds
  bool headerless;                  // its bytes are its samples
};

// A headerless voice plays without these bytes at its end.
constexpr size_t kUnplayedTail = 90;

// The samples sox reads from a file, as headerless bytes of raw_type.
std::string SoxSamples(const TempDir& dir, const std::string& file, const std::string& raw_type) {
  const std::string out = dir.File("samples." + raw_type);
  std::string err;
  EXPECT_EQ(RunProgram(kSox, {dir.File(file), "-t", raw_type, out}, &err), 0) << file << err;
  return ReadFile(out).value_or("");
}

std::string SoxEncoding(const TempDir& dir, const std::string& file) {
  testing_support::SpawnedProgram sox;
  if (!sox.Start(kSox, {"--i", "-e", dir.File(file)}) || sox.Wait(10000) != 0) return "";
  return sox.stdout_text();
}

TEST(MemVoiceVtsrun, AVoiceFromMemoryPlaysInItsFilesForm) {
  const std::vector<MemVoiceCase> cases = {
      {"tone.alw", {"-t", "al"}, "al", "A-law\n", true},
      {"alaw.WAV", {"-e", "a-law"}, "al", "A-law\n", false},
      {"pcm.wav", {"-e", "signed", "-b", "16"}, "s16", "Signed Integer PCM\n", false},
  };
  TempDir dir, runtime;
  std::filesystem::create_directory(dir.File("moved"));
  // Each voice is loaded, moved away (only the memory copy can play) and
  // played.
  std::string script = "SetPrintTo(\"\")\n";
  for (const MemVoiceCase& c : cases) {
    std::vector<std::string> args = {"-r", "8000", "-n", "-r", "8000", "-c", "1"};
    args.insert(args.end(), c.format.begin(), c.format.end());
    args.insert(args.end(), {dir.File(c.file), "synth", "4000s", "sine", "440"});
    std::string err;
    ASSERT_EQ(RunProgram(kSox, args, &err), 0) << err;
    script += "LoadVocFile(\"" + c.file + "\", 0)\nFileMove(\"" + c.file + "\", \"moved\\\\" +
              c.file + "\")\nr = Play(\"" + c.file + "\")\nPrint(r)\n";
  }
  testing_support::WriteFile(dir.File("s.vts"), script + "return(0)\n");
  testing_support::ScopedEnv sound("VTTEL_SOUND", "file:" + dir.path());
  testing_support::ScopedEnv runtime_env("XDG_RUNTIME_DIR", runtime.path());
  const testing_support::VtsrunOutcome o = testing_support::RunVtsrun(dir.path(), {"s.vts"});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "0 : 0\n0 : 0\n0 : 0\n");  // each play ended

  for (size_t i = 0; i < cases.size(); ++i) {
    const MemVoiceCase& c = cases[i];
    SCOPED_TRACE(c.file);
    const std::string capture = "out-L0-" + std::to_string(i + 1) + ".wav";
    EXPECT_EQ(SoxEncoding(dir, capture), c.encoding);
    const std::string moved = "moved/" + c.file;
    std::string voice = c.headerless ? ReadFile(dir.File(moved)).value_or("")
                                     : SoxSamples(dir, moved, c.rawType);
    if (c.headerless) voice.resize(voice.size() - std::min(voice.size(), kUnplayedTail));
    const std::string played = SoxSamples(dir, capture, c.rawType);
    EXPECT_EQ(played.size(), voice.size());
    EXPECT_TRUE(played == voice) << "the samples differ";
  }
  // Nothing but the script, the voices moved away, the captures and the
  // log is in the program folder; the runtime folder holds no voice.
  for (const std::string& name : FolderNames(dir.path())) {
    const bool known = name == "s.vts" || name == "moved" || name.starts_with("out-L0-") ||
                       name.starts_with("samples.") || name.ends_with(".txt");
    EXPECT_TRUE(known) << name;
  }
  for (const std::string& name : FolderNames(runtime.path() + "/vttel")) {
    EXPECT_FALSE(name.starts_with("memvoc")) << name;
  }
}

}  // namespace
}  // namespace telephony
