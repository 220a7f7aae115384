#include "platform/named_event.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/runtime_dir.h"
#include "tests/platform/spawned_program.h"
#include "tests/test_support.h"

namespace platform {
namespace {

using testing_support::FileExists;
using testing_support::RunProgram;
using testing_support::ScopedEnv;
using testing_support::TempDir;

const std::string kVttelctl = std::string(VTTEL_TOOLS_DIR) + "/vttelctl";

// Every test gets its own runtime folder.
class NamedEventTest : public ::testing::Test {
 protected:
  std::string EventPath(const std::string& name) { return RuntimeDir() + "/" + name; }

  TempDir tmp_;
  ScopedEnv env_{"XDG_RUNTIME_DIR", tmp_.path()};
};

// A socket file as a crashed owner leaves it: bound, listened, closed, not
// removed.
void LeaveStaleSocket(const std::string& path) {
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strcpy(addr.sun_path, path.c_str());
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
  ASSERT_EQ(listen(fd, 1), 0);
  close(fd);
  ASSERT_TRUE(FileExists(path));
}

TEST_F(NamedEventTest, SignalSetsUntilReset) {
  NamedEvent event;
  ASSERT_TRUE(event.Create(kQuitEventName));
  EXPECT_TRUE(FileExists(EventPath(kQuitEventName)));
  EXPECT_FALSE(event.IsSet());

  EXPECT_TRUE(SignalNamedEvent(kQuitEventName));
  EXPECT_TRUE(event.IsSet());
  EXPECT_TRUE(event.IsSet()) << "manual reset: stays set";
  event.Reset();
  EXPECT_FALSE(event.IsSet());

  EXPECT_TRUE(SignalNamedEvent(kQuitEventName));
  EXPECT_TRUE(SignalNamedEvent(kQuitEventName));
  EXPECT_TRUE(event.IsSet());
  event.Reset();
  EXPECT_FALSE(event.IsSet()) << "both signals were taken by one IsSet";

  event.Set();
  EXPECT_TRUE(event.IsSet());
}

TEST_F(NamedEventTest, ProbeDoesNotSet) {
  NamedEvent event;
  ASSERT_TRUE(event.Create(kShowEventName));
  EXPECT_TRUE(NamedEventExists(kShowEventName));
  EXPECT_FALSE(event.IsSet());
  EXPECT_FALSE(NamedEventExists(kQuitEventName));
}

TEST_F(NamedEventTest, NoOwnerMeansNoSignal) {
  EXPECT_FALSE(SignalNamedEvent(kShowEventName));
  {
    NamedEvent event;
    ASSERT_TRUE(event.Create(kShowEventName));
  }
  EXPECT_FALSE(FileExists(EventPath(kShowEventName))) << "destructor removes the socket";
  EXPECT_FALSE(SignalNamedEvent(kShowEventName));
  EXPECT_FALSE(NamedEventExists(kShowEventName));
}

TEST_F(NamedEventTest, StaleSocketIsReplaced) {
  LeaveStaleSocket(EventPath(kAutoRunQuitEventName));
  EXPECT_FALSE(NamedEventExists(kAutoRunQuitEventName));
  EXPECT_FALSE(SignalNamedEvent(kAutoRunQuitEventName));

  NamedEvent event;
  ASSERT_TRUE(event.Create(kAutoRunQuitEventName));
  EXPECT_TRUE(SignalNamedEvent(kAutoRunQuitEventName));
  EXPECT_TRUE(event.IsSet());
}

TEST_F(NamedEventTest, LiveEventCannotBeTakenOver) {
  NamedEvent first;
  ASSERT_TRUE(first.Create(kShowEventName));
  EXPECT_FALSE(first.Create(kQuitEventName)) << "one object owns one event";
  NamedEvent second;
  EXPECT_FALSE(second.Create(kShowEventName));
  EXPECT_FALSE(second.is_open());

  EXPECT_TRUE(SignalNamedEvent(kShowEventName));
  EXPECT_TRUE(first.IsSet()) << "the failed Create left the owner's socket alone";
}

TEST_F(NamedEventTest, CloseLeavesASuccessorsSocketAlone) {
  const std::string path = EventPath(kShowEventName);
  NamedEvent old_owner;
  ASSERT_TRUE(old_owner.Create(kShowEventName));
  ASSERT_EQ(unlink(path.c_str()), 0);  // removed behind its back
  NamedEvent new_owner;
  ASSERT_TRUE(new_owner.Create(kShowEventName));

  old_owner.Close();
  EXPECT_TRUE(FileExists(path));
  EXPECT_TRUE(SignalNamedEvent(kShowEventName));
  EXPECT_TRUE(new_owner.IsSet());
  EXPECT_FALSE(old_owner.IsSet());
}

TEST_F(NamedEventTest, NonSocketInTheWayIsNotRemoved) {
  testing_support::WriteFile(EventPath("VtTel Data"), "keep");
  NamedEvent event;
  EXPECT_FALSE(event.Create("VtTel Data"));
  EXPECT_EQ(testing_support::ReadFile(EventPath("VtTel Data")), "keep");
}

TEST_F(NamedEventTest, BadNamesAreRefused) {
  const std::string too_long(200, 'x');
  const std::vector<std::string> names = {
      "", "a/b", "/abs", ".", "..", "instance.lock", std::string("nul\0x", 5),
      "tab\tname", "\xD6\xD0\xCE\xC4", too_long};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    NamedEvent event;
    EXPECT_FALSE(event.Create(name));
    EXPECT_FALSE(SignalNamedEvent(name));
    EXPECT_FALSE(NamedEventExists(name));
    if (name != too_long) {
      EXPECT_FALSE(IsValidEventName(name));
    }
  }
  EXPECT_TRUE(IsValidEventName(too_long)) << "length depends on the folder";
  EXPECT_TRUE(IsValidEventName("AutoRun Quit"));
}

TEST_F(NamedEventTest, UnsafeRuntimeFolderRefusesEvents) {
  ASSERT_FALSE(RuntimeDir().empty());
  ASSERT_EQ(chmod(RuntimeDir().c_str(), 0755), 0);
  NamedEvent event;
  EXPECT_FALSE(event.Create(kShowEventName));
  EXPECT_FALSE(SignalNamedEvent(kShowEventName));
}

// A connection from another user must not set the event. Needs root to
// become another user; the owner opens folder and socket to that user.
TEST_F(NamedEventTest, SignalFromAnotherUserIsIgnored) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another uid";
  NamedEvent event;
  ASSERT_TRUE(event.Create(kShowEventName));
  const std::string dir = RuntimeDir();
  const std::string path = EventPath(kShowEventName);
  ASSERT_EQ(chmod(tmp_.path().c_str(), 0711), 0);
  ASSERT_EQ(chmod(dir.c_str(), 0711), 0);
  ASSERT_EQ(chmod(path.c_str(), 0777), 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strcpy(addr.sun_path, path.c_str());

  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {  // only async-signal-safe calls from here
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(10);
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) _exit(11);
    const char byte = 1;
    _exit(send(fd, &byte, 1, MSG_NOSIGNAL) == 1 ? 0 : 12);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0) << "the other user could not write";
  EXPECT_FALSE(event.IsSet());
  ASSERT_EQ(chmod(dir.c_str(), 0700), 0);
  EXPECT_TRUE(SignalNamedEvent(kShowEventName));
  EXPECT_TRUE(event.IsSet()) << "the socket still works for us";
}

TEST_F(NamedEventTest, VttelctlSetsTheEvents) {
  struct Case {
    std::vector<std::string> args;
    const char* event;
  };
  const Case cases[] = {{{"show"}, kShowEventName},
                        {{"quit"}, kQuitEventName},
                        {{"signal", "AutoRun Quit"}, kAutoRunQuitEventName}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.event);
    NamedEvent event;
    ASSERT_TRUE(event.Create(c.event));
    std::string err;
    EXPECT_EQ(RunProgram(kVttelctl, c.args, &err), 0) << err;
    EXPECT_TRUE(event.IsSet());
  }
}

TEST_F(NamedEventTest, VttelctlWithoutOwnerExitsOne) {
  std::string err;
  EXPECT_EQ(RunProgram(kVttelctl, {"quit"}, &err), 1);
  EXPECT_EQ(err, "vttelctl: no running instance owns the event \"VtTel Quit\"\n");
  EXPECT_EQ(RunProgram(kVttelctl, {"signal", "AutoRun Quit"}, &err), 1);
  EXPECT_EQ(err, "vttelctl: no running instance owns the event \"AutoRun Quit\"\n");
}

TEST_F(NamedEventTest, VttelctlBadArgumentsExitTwo) {
  const std::vector<std::vector<std::string>> cases = {
      {}, {"bogus"}, {"show", "extra"}, {"signal"}, {"signal", ""}, {"signal", "a/b"},
      {"signal", "a", "b"}};
  NamedEvent show;
  ASSERT_TRUE(show.Create(kShowEventName));
  for (const auto& args : cases) {
    SCOPED_TRACE(::testing::PrintToString(args));
    std::string err;
    EXPECT_EQ(RunProgram(kVttelctl, args, &err), 2);
    EXPECT_NE(err.find("usage: vttelctl"), std::string::npos) << err;
  }
  EXPECT_FALSE(show.IsSet());
}

}  // namespace
}  // namespace platform
