// Runs a real program for a platform test: started with posix_spawn (no
// shell) in the test's current environment, stdout and stderr piped back.
// A program still running when the object dies is killed and reaped.
#ifndef VTTEL_TESTS_PLATFORM_SPAWNED_PROGRAM_H_
#define VTTEL_TESTS_PLATFORM_SPAWNED_PROGRAM_H_

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

extern char** environ;

namespace testing_support {

class SpawnedProgram {
 public:
  // The exit status when the program did not end in time, and the status
  // of one that died of a signal is 128 + the signal.
  static constexpr int kTimedOut = -1;

  SpawnedProgram() = default;
  ~SpawnedProgram() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    CloseFd(out_);
    CloseFd(err_);
  }
  SpawnedProgram(const SpawnedProgram&) = delete;
  SpawnedProgram& operator=(const SpawnedProgram&) = delete;

  // argv[0] is program itself.
  bool Start(const std::string& program, const std::vector<std::string>& args) {
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0) return false;
    if (pipe2(err, O_CLOEXEC) != 0) {
      close(out[0]);
      close(out[1]);
      return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    int rc = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    out_ = out[0];
    err_ = err[0];
    if (rc != 0) pid_ = -1;
    return rc == 0;
  }

  // Reads stdout until a whole line equal to line arrives; false on end of
  // output or after timeout_ms.
  bool WaitForLine(const std::string& line, int timeout_ms) {
    const auto deadline = Deadline(timeout_ms);
    for (;;) {
      size_t nl;
      while ((nl = stdout_.find('\n')) != std::string::npos) {
        std::string got = stdout_.substr(0, nl);
        stdout_.erase(0, nl + 1);
        if (got == line) return true;
      }
      if (!ReadSome(out_, &stdout_, deadline)) return false;
    }
  }

  // Waits for the program to end; its exit status, or kTimedOut (the
  // program keeps running until Kill or the destructor). Collects the rest
  // of its output.
  int Wait(int timeout_ms) {
    if (pid_ <= 0) return kTimedOut;
    const auto deadline = Deadline(timeout_ms);
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() >= deadline) return kTimedOut;
      timespec step{0, 5 * 1000 * 1000};
      nanosleep(&step, nullptr);
    }
    pid_ = -1;
    while (ReadSome(out_, &stdout_, Deadline(1000))) {
    }
    while (ReadSome(err_, &stderr_, Deadline(1000))) {
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : kTimedOut;
  }

  void Kill(int sig) {
    if (pid_ > 0) kill(pid_, sig);
  }

  const std::string& stdout_text() const { return stdout_; }
  const std::string& stderr_text() const { return stderr_; }

 private:
  static std::chrono::steady_clock::time_point Deadline(int ms) {
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  }

  static void CloseFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
  }

  // Appends what fd has to *to; false at end of output or deadline.
  static bool ReadSome(int fd, std::string* to,
                       std::chrono::steady_clock::time_point deadline) {
    if (fd < 0) return false;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() < 0) return false;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
    char buf[512];
    ssize_t n = read(fd, buf, sizeof(buf));
    if (n <= 0) return false;
    to->append(buf, static_cast<size_t>(n));
    return true;
  }

  pid_t pid_ = -1;
  int out_ = -1;
  int err_ = -1;
  std::string stdout_;
  std::string stderr_;
};

// Runs program to its end (at most timeout_ms) and returns its exit status.
inline int RunProgram(const std::string& program, const std::vector<std::string>& args,
                      std::string* err_text = nullptr, int timeout_ms = 10000) {
  SpawnedProgram p;
  if (!p.Start(program, args)) return SpawnedProgram::kTimedOut;
  int status = p.Wait(timeout_ms);
  if (err_text != nullptr) *err_text = p.stderr_text();
  return status;
}

}  // namespace testing_support

#endif  // VTTEL_TESTS_PLATFORM_SPAWNED_PROGRAM_H_
