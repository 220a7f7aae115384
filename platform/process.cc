#include "platform/process.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/clock.h"
#include "platform/gbk.h"
#include "platform/host_path.h"
#include "platform/shared_library.h"
#include "platform/text_trim.h"

extern char** environ;

namespace platform {

namespace {

constexpr std::string_view kExeEnding = ".exe";
// The exit code reported when the wait for the child itself failed.
constexpr int kWaitFailedExitCode = -1;

// The program word at the start of *rest, which is left after it.
std::string ProgramWord(std::string_view* rest) {
  const std::string_view line = *rest;
  std::string word;
  bool quoted = false;
  size_t i = 0;
  for (; i < line.size() && (quoted || !IsAsciiBlank(line[i])); ++i) {
    if (line[i] == '"') {
      quoted = !quoted;
    } else {
      word.push_back(line[i]);
    }
  }
  *rest = line.substr(i);
  return word;
}

// One argument word at the start of *rest (not a blank), which is left
// after it.
std::string ArgumentWord(std::string_view* rest) {
  const std::string_view line = *rest;
  std::string word;
  bool quoted = false;
  size_t i = 0;
  while (i < line.size() && (quoted || !IsAsciiBlank(line[i]))) {
    if (line[i] == '\\') {
      size_t n = 0;
      while (i < line.size() && line[i] == '\\') ++n, ++i;
      if (i < line.size() && line[i] == '"') {
        word.append(n / 2, '\\');
        if (n % 2 == 1) {
          word.push_back('"');
          ++i;
        }
      } else {
        word.append(n, '\\');
      }
      continue;
    }
    if (line[i] == '"') {
      if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
        word.push_back('"');
        i += 2;
        continue;
      }
      quoted = !quoted;
      ++i;
      continue;
    }
    word.push_back(line[i++]);
  }
  *rest = line.substr(i);
  return word;
}

bool IsExecutableFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

bool EndsWithExe(std::string_view name) {
  return name.size() > kExeEnding.size() && EndsWithIgnoreCaseGbk(name, kExeEnding);
}

std::vector<std::string> SearchFolders() {
  std::vector<std::string> folders = {ProgramFolder(), "."};
  const char* path = std::getenv("PATH");
  std::string_view rest = path != nullptr ? path : "";
  while (!rest.empty()) {
    const size_t colon = rest.find(':');
    const std::string_view dir = rest.substr(0, colon);
    folders.emplace_back(dir.empty() ? "." : dir);
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
  }
  return folders;
}

std::optional<std::string> FindExactly(std::string_view program) {
  if (program.find_first_of("/\\") != std::string_view::npos) {
    std::optional<std::string> host = ToHostPath(program);
    if (host && IsExecutableFile(*host)) return host;
    return std::nullopt;
  }
  for (const std::string& folder : SearchFolders()) {
    const std::string candidate = folder + "/" + std::string(program);
    if (IsExecutableFile(candidate)) return candidate;
  }
  return std::nullopt;
}

int ExitCodeOf(const siginfo_t& info) {
  if (info.si_code == CLD_EXITED) return info.si_status;
  return kSignalExitBase + info.si_status;
}

// Collects a child left running: waits for it on a thread of its own.
void ReapLater(pid_t pid, int pidfd) {
  std::thread([pid, pidfd] {
    siginfo_t info{};
    while (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED) != 0 && errno == EINTR) {
    }
    if (pidfd >= 0) close(pidfd);
  }).detach();
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view command_line) {
  std::vector<std::string> words;
  std::string_view rest = TrimmedViewLeft(command_line);
  if (rest.empty()) return words;
  words.push_back(ProgramWord(&rest));
  for (rest = TrimmedViewLeft(rest); !rest.empty(); rest = TrimmedViewLeft(rest)) {
    words.push_back(ArgumentWord(&rest));
  }
  return words;
}

std::optional<std::string> FindProgram(std::string_view program) {
  if (program.empty()) return std::nullopt;
  if (std::optional<std::string> found = FindExactly(program)) return found;
  if (EndsWithExe(program)) return FindExactly(program.substr(0, program.size() - kExeEnding.size()));
  return std::nullopt;
}

std::unique_ptr<ChildProcess> ChildProcess::Start(std::string_view command_line) {
  std::vector<std::string> words = SplitCommandLine(command_line);
  if (words.empty()) return nullptr;
  const std::optional<std::string> program = FindProgram(words[0]);
  if (!program) return nullptr;
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, program->c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return nullptr;
  return Adopt(pid);
}

std::unique_ptr<ChildProcess> ChildProcess::Fork(int (*body)(void*), void* context) {
  const pid_t pid = fork();
  if (pid < 0) return nullptr;
  if (pid == 0) {
    setsid();
    // Registered last, so run first when body calls exit(): the copy ends
    // before any handler of the process runs twice.
    atexit(+[] { _exit(kForkExitCalled); });
    _exit(body(context));
  }
  return Adopt(pid);
}

std::unique_ptr<ChildProcess> ChildProcess::Adopt(pid_t pid) {
  const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  return std::unique_ptr<ChildProcess>(new ChildProcess(pid, pidfd));
}

ChildProcess::~ChildProcess() {
  if (!reaped_) {
    ReapLater(pid_, pidfd_);
  } else if (pidfd_ >= 0) {
    close(pidfd_);
  }
}

bool ChildProcess::TryReap(int* exit_code) {
  siginfo_t info{};
  if (waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG) != 0) {
    if (errno == EINTR) return false;
    // The child is not ours to wait for any more: the wait failed.
    reaped_ = true;
    *exit_code = kWaitFailedExitCode;
    return true;
  }
  if (info.si_pid == 0) return false;
  reaped_ = true;
  *exit_code = ExitCodeOf(info);
  return true;
}

ChildProcess::WaitEnd ChildProcess::Wait(uint32_t ms, const std::atomic<uint8_t>* stop,
                                         int* exit_code) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    if (TryReap(exit_code)) return WaitEnd::kEnded;
    if (stop != nullptr && stop->load(std::memory_order_relaxed) != 0) return WaitEnd::kStopped;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return WaitEnd::kTimedOut;
    const int step = static_cast<int>(std::min<int64_t>(left.count(), kStopCheckMs));
    if (pidfd_ >= 0) {
      pollfd p{pidfd_, POLLIN, 0};
      poll(&p, 1, step);  // readable as soon as the child has ended
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(step));
    }
  }
}

void ChildProcess::Kill() {
  if (reaped_) return;
  // Not reaped yet, so both numbers are still the child's: its group, and
  // itself for a copy that has not made its group yet.
  kill(-pid_, SIGKILL);
  kill(pid_, SIGKILL);
  siginfo_t info{};
  while (waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED) != 0 && errno == EINTR) {
  }
  reaped_ = true;
}

}  // namespace platform
