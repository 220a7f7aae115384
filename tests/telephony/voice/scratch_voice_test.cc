// The scratch file of a voice from memory: where it lies, how it is named
// after the voice's form, that it goes with its object, and what a play from
// memory gives when there is no private runtime folder to write it in.
#include "telephony/voice/scratch_voice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "telephony/vt_call.h"
#include "tests/test_support.h"

namespace telephony {
namespace {

using testing_support::FolderNames;
using testing_support::ReadFile;

constexpr int32_t kLine = 7;

struct NameCase {
  std::string bytes;
  std::string extension;
};

TEST(ScratchVoice, LiesInTheRuntimeFolderNamedAfterItsFormUntilItGoes) {
  testing_support::TempDir runtime;
  testing_support::ScopedEnv env("XDG_RUNTIME_DIR", runtime.path());
  const std::string folder = runtime.path() + "/vttel/";
  const std::vector<NameCase> cases = {
      {"RIFF....WAVEfmt ", ".WAV"},
      {std::string(300, '\xD5'), ".ALW"},
      {"riff in lower case is no header", ".ALW"},
  };
  for (const NameCase& c : cases) {
    SCOPED_TRACE(c.extension + " " + c.bytes.substr(0, 8));
    std::string host;
    {
      const ScratchVoice voice(kLine, c.bytes);
      ASSERT_TRUE(voice.written());
      host = voice.host();
      EXPECT_EQ(host.rfind(folder + "memvoc-L7-", 0), 0u) << host;
      EXPECT_TRUE(host.ends_with(c.extension)) << host;
      EXPECT_EQ(voice.scriptPath(), host);
      EXPECT_EQ(ReadFile(host), c.bytes);
    }
    EXPECT_FALSE(testing_support::FileExists(host));
  }
  EXPECT_EQ(FolderNames(folder), std::vector<std::string>{});
}

// A call whose log lines the test reads.
class LoggedCall : public TagVtCall {
 public:
  void ErrorLog(std::string_view text) override { errors.emplace_back(text); }
  std::vector<std::string> errors;
};

TEST(ScratchVoice, WithoutARuntimeFolderAPlayFromMemoryFailsAndSaysWhy) {
  testing_support::TempDir base;
  // XDG_RUNTIME_DIR must exist: a missing one gives no runtime folder.
  testing_support::ScopedEnv env("XDG_RUNTIME_DIR", base.File("missing"));
  EXPECT_FALSE(ScratchVoice(kLine, "RIFF").written());
  LoggedCall call;
  EXPECT_EQ(call.PlayMemVoc("\x55\xD5", 0, 2, 0, 1), -1);
  EXPECT_EQ(call.errors, std::vector<std::string>{"PlayMemVoc: no private runtime folder"});
}

}  // namespace
}  // namespace telephony
