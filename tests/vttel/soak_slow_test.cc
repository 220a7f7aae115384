// The soak in its short form: tools/soak.py keeps the 60 lines of two E1
// trunks busy for three minutes, in two waves, with calls that answer,
// play a prompt, take keys, record 30 s of the caller's voice and hang up,
// and checks every call, the recordings, the log, the process's
// descriptors, threads and memory between the waves, the monitor client
// and the quit. The hour-long form runs by hand: ./vttel.sh soak.
#include <string>

#include "gtest/gtest.h"
#include "tests/vttel/vttel_fixture.h"

namespace vttel_test {
namespace {

const std::string kSoakPy = std::string(VTTEL_SOURCE_DIR) + "/tools/soak.py";
// The soak's own bound plus its start-up, drains and quit.
constexpr int kSoakMs = 540000;

TEST(Soak, SixtyCallsForThreeMinutes) {
  TempDir folder;
  // A small quarantine keeps freed memory from counting as growth; the 10 %
  // the resident memory may grow between the waves is less than 180 calls
  // would add if each kept half of its recording.
  ScopedEnv asan("ASAN_OPTIONS", std::string("quarantine_size_mb=8:detect_leaks=1"));
  std::string out;
  const int status = RunToEnd(kPython,
                              {kSoakPy, "--program", kVttel, "--vttelctl", kVttelctl,
                               "--trunks", "2", "--minutes", "3", "--wave-seconds", "90",
                               "--warmup-minutes", "0", "--idle-seconds", "10",
                               "--rss-growth-limit", "10", "--folder", folder.File("home")},
                              &out, kSoakMs);
  EXPECT_EQ(status, 0) << out;
}

}  // namespace
}  // namespace vttel_test
