// The processes of the machine as /proc shows them, for the tests of
// programs started by scripts: the children of this test process, and the
// members of a process group.
#ifndef VTTEL_TESTS_SERVICES_CHILD_PROCESSES_H_
#define VTTEL_TESTS_SERVICES_CHILD_PROCESSES_H_

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace services_test {

struct ChildProcessInfo {
  pid_t pid;
  std::string name;  // the kernel's command name
  char state;        // 'Z' for a zombie
  pid_t ppid;
  pid_t pgrp;        // its process group
};

// Every process /proc lists.
inline std::vector<ChildProcessInfo> AllProcesses() {
  std::vector<ChildProcessInfo> found;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
    const std::string pid_text = entry.path().filename().string();
    if (pid_text.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream in(entry.path() / "stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t open = stat.find('('), close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos) continue;
    std::istringstream rest(stat.substr(close + 2));
    ChildProcessInfo p{static_cast<pid_t>(std::atoi(pid_text.c_str())),
                       stat.substr(open + 1, close - open - 1), '?', 0, 0};
    rest >> p.state >> p.ppid >> p.pgrp;
    found.push_back(p);
  }
  return found;
}

// The children of this process whose command name is name.
inline std::vector<ChildProcessInfo> ChildrenNamed(const std::string& name) {
  std::vector<ChildProcessInfo> found;
  for (const ChildProcessInfo& p : AllProcesses()) {
    if (p.ppid == getpid() && p.name == name) found.push_back(p);
  }
  return found;
}

// The members of process group pgrp that still run (zombies, which only
// wait to be collected, left out).
inline std::vector<ChildProcessInfo> RunningInGroup(pid_t pgrp) {
  std::vector<ChildProcessInfo> found;
  for (const ChildProcessInfo& p : AllProcesses()) {
    if (p.pgrp == pgrp && p.state != 'Z') found.push_back(p);
  }
  return found;
}

// The kernel's command name of this process, which the copies it makes
// with fork have too.
inline std::string OwnCommandName() {
  std::ifstream in("/proc/self/comm");
  std::string name;
  std::getline(in, name);
  return name;
}

// Kills the children named name (a test's own programs left running).
inline void KillChildrenNamed(const std::string& name) {
  for (const ChildProcessInfo& c : ChildrenNamed(name)) kill(c.pid, SIGKILL);
}

}  // namespace services_test

#endif  // VTTEL_TESTS_SERVICES_CHILD_PROCESSES_H_
