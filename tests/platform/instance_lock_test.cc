#include "platform/instance_lock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "platform/named_event.h"
#include "platform/runtime_dir.h"
#include "tests/platform/spawned_program.h"
#include "tests/test_support.h"

namespace platform {
namespace {

using testing_support::FileExists;
using testing_support::RunProgram;
using testing_support::ScopedEnv;
using testing_support::SpawnedProgram;
using testing_support::TempDir;

const std::string kVttelctl = std::string(VTTEL_TOOLS_DIR) + "/vttelctl";
const std::string kHolder = std::string(VTTEL_TEST_TOOLS_DIR) + "/instance_holder";
constexpr int kWaitMs = 10000;

class InstanceLockTest : public ::testing::Test {
 protected:
  // Starts the holder and waits until it owns the lock and "VtTel Show".
  void StartHolder(SpawnedProgram* holder) {
    ASSERT_TRUE(holder->Start(kHolder, {}));
    ASSERT_TRUE(holder->WaitForLine("ready", kWaitMs))
        << "holder ended with " << holder->Wait(kWaitMs) << ": " << holder->stderr_text();
  }

  TempDir tmp_;
  ScopedEnv env_{"XDG_RUNTIME_DIR", tmp_.path()};
};

TEST_F(InstanceLockTest, SecondProcessIsTurnedAwayUntilTheFirstEnds) {
  SpawnedProgram holder;
  StartHolder(&holder);
  InstanceLock mine;
  EXPECT_FALSE(mine.TryAcquire());
  EXPECT_FALSE(mine.held());
  EXPECT_TRUE(NamedEventExists(kShowEventName));

  std::string err;
  EXPECT_EQ(RunProgram(kVttelctl, {"show"}, &err), 0) << err;
  EXPECT_EQ(holder.Wait(kWaitMs), 0) << "the holder did not see \"VtTel Show\"";

  EXPECT_TRUE(mine.TryAcquire());
  EXPECT_TRUE(mine.held());
  EXPECT_FALSE(FileExists(RuntimeDir() + "/" + kShowEventName));
}

TEST_F(InstanceLockTest, HolderStartedSecondGivesUp) {
  InstanceLock mine;
  ASSERT_TRUE(mine.TryAcquire());
  EXPECT_EQ(RunProgram(kHolder, {}), 4);
}

TEST_F(InstanceLockTest, KilledHolderLeavesNothingHeld) {
  SpawnedProgram holder;
  StartHolder(&holder);
  holder.Kill(SIGKILL);
  ASSERT_EQ(holder.Wait(kWaitMs), 128 + SIGKILL);
  ASSERT_TRUE(FileExists(RuntimeDir() + "/" + kShowEventName)) << "a stale socket remains";

  InstanceLock mine;
  EXPECT_TRUE(mine.TryAcquire());
  NamedEvent show;
  ASSERT_TRUE(show.Create(kShowEventName));
  EXPECT_EQ(RunProgram(kVttelctl, {"show"}), 0);
  EXPECT_TRUE(show.IsSet());
}

TEST_F(InstanceLockTest, OneHolderWithinAProcess) {
  InstanceLock second;
  {
    InstanceLock first;
    ASSERT_TRUE(first.TryAcquire());
    EXPECT_TRUE(first.TryAcquire()) << "acquiring again keeps it";
    EXPECT_FALSE(second.TryAcquire());
  }
  EXPECT_TRUE(second.TryAcquire()) << "released when its object dies";
}

TEST_F(InstanceLockTest, StartedProgramsDoNotKeepTheLock) {
  SpawnedProgram sleeper;
  {
    InstanceLock mine;
    ASSERT_TRUE(mine.TryAcquire());
    ASSERT_TRUE(sleeper.Start("/bin/sleep", {"30"}));
  }
  InstanceLock again;
  EXPECT_TRUE(again.TryAcquire()) << "the lock file leaked into a child";
}

TEST_F(InstanceLockTest, UnusableRuntimeFolderGivesNoLock) {
  ASSERT_EQ(chmod(RuntimeDir().c_str(), 0755), 0);
  InstanceLock mine;
  EXPECT_FALSE(mine.TryAcquire());
}

// RuntimeDir: where the lock and the events live.

TEST(RuntimeDirTest, CreatesAPrivateFolderWhateverTheUmask) {
  for (mode_t mask : {mode_t{022}, mode_t{0777}}) {
    SCOPED_TRACE(mask);
    TempDir tmp;
    ScopedEnv env("XDG_RUNTIME_DIR", tmp.path());
    mode_t old = umask(mask);
    std::string dir = RuntimeDir();
    umask(old);
    ASSERT_EQ(dir, tmp.path() + "/vttel");
    struct stat st;
    ASSERT_EQ(lstat(dir.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    EXPECT_EQ(RuntimeDir(), dir) << "an existing good folder is used";
  }
}

TEST(RuntimeDirTest, FollowsTheEnvironmentAtEveryCall) {
  TempDir a, b;
  ScopedEnv env("XDG_RUNTIME_DIR", a.path());
  EXPECT_EQ(RuntimeDir(), a.path() + "/vttel");
  setenv("XDG_RUNTIME_DIR", b.path().c_str(), 1);
  EXPECT_EQ(RuntimeDir(), b.path() + "/vttel");
}

TEST(RuntimeDirTest, RefusesAFolderSomeoneElseMayControl) {
  struct Case {
    const char* what;
    std::function<void(const std::string& tmp)> prepare;
  };
  const Case cases[] = {
      {"mode 0755",
       [](const std::string& t) {
         ASSERT_EQ(mkdir((t + "/vttel").c_str(), 0700), 0);
         ASSERT_EQ(chmod((t + "/vttel").c_str(), 0755), 0);
       }},
      {"mode 0701",
       [](const std::string& t) {
         ASSERT_EQ(mkdir((t + "/vttel").c_str(), 0700), 0);
         ASSERT_EQ(chmod((t + "/vttel").c_str(), 0701), 0);
       }},
      {"symlink to a private folder",
       [](const std::string& t) {
         ASSERT_EQ(mkdir((t + "/real").c_str(), 0700), 0);
         ASSERT_EQ(symlink((t + "/real").c_str(), (t + "/vttel").c_str()), 0);
       }},
      {"dangling symlink",
       [](const std::string& t) {
         ASSERT_EQ(symlink((t + "/nowhere").c_str(), (t + "/vttel").c_str()), 0);
       }},
      {"regular file", [](const std::string& t) { testing_support::WriteFile(t + "/vttel", ""); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir tmp;
    ScopedEnv env("XDG_RUNTIME_DIR", tmp.path());
    c.prepare(tmp.path());
    EXPECT_EQ(RuntimeDir(), "");
  }
}

TEST(RuntimeDirTest, MissingXdgFolderIsNotCreated) {
  TempDir tmp;
  ScopedEnv env("XDG_RUNTIME_DIR", tmp.path() + "/missing");
  EXPECT_EQ(RuntimeDir(), "");
  EXPECT_FALSE(FileExists(tmp.path() + "/missing"));
}

}  // namespace
}  // namespace platform
