#include "platform/pipe_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/process_signals.h"
#include "platform/unique_fd.h"

extern char** environ;

namespace platform {
namespace {

constexpr size_t kReadChunk = 16384;

// Feeds input and drains output until both are done and the child has
// exited (or a stop was asked for); true when stopped.
bool Exchange(int pidfd, UniqueFd* in, std::string_view input, UniqueFd* out,
              std::string* output, const std::function<bool()>& should_stop) {
  size_t written = 0;
  if (input.empty()) in->Close();
  char buffer[kReadChunk];
  bool exited = pidfd < 0;  // without a pidfd the end of the output stands for the exit
  while (out->get() >= 0 || !exited) {
    pollfd fds[3];
    nfds_t n = 0;
    const int in_at = in->get() >= 0 ? static_cast<int>(n) : -1;
    if (in_at >= 0) fds[n++] = {in->get(), POLLOUT, 0};
    const int out_at = out->get() >= 0 ? static_cast<int>(n) : -1;
    if (out_at >= 0) fds[n++] = {out->get(), POLLIN, 0};
    const int pid_at = !exited ? static_cast<int>(n) : -1;
    if (pid_at >= 0) fds[n++] = {pidfd, POLLIN, 0};
    const int ready = ::poll(fds, n, should_stop ? kProcessStopCheckMs : -1);
    if (ready < 0 && errno != EINTR) return false;
    if (ready <= 0) {
      if (should_stop && should_stop()) return true;
      continue;
    }
    if (in_at >= 0 && fds[in_at].revents != 0) {
      const ssize_t w = ::write(in->get(), input.data() + written, input.size() - written);
      if (w > 0) written += static_cast<size_t>(w);
      if ((w < 0 && errno != EAGAIN && errno != EINTR) || written == input.size()) in->Close();
    }
    if (out_at >= 0 && fds[out_at].revents != 0) {
      const ssize_t r = ::read(out->get(), buffer, sizeof buffer);
      if (r > 0 && output != nullptr) output->append(buffer, static_cast<size_t>(r));
      if (r == 0 || (r < 0 && errno != EINTR)) out->Close();
    }
    if (pid_at >= 0 && fds[pid_at].revents != 0) {
      exited = true;
      in->Close();  // a child gone reads no more
    }
    if (should_stop && should_stop()) return true;
  }
  return false;
}

}  // namespace

std::string FindProgramOnPath(const std::string& name) {
  if (name.empty()) return {};
  if (name.find('/') != std::string::npos) return ::access(name.c_str(), X_OK) == 0 ? name : "";
  const char* path = std::getenv("PATH");
  const std::string dirs = path ? path : "/usr/bin:/bin";
  size_t pos = 0;
  while (pos <= dirs.size()) {
    size_t end = dirs.find(':', pos);
    if (end == std::string::npos) end = dirs.size();
    const std::string candidate = dirs.substr(pos, end - pos) + "/" + name;
    if (end > pos && ::access(candidate.c_str(), X_OK) == 0) return candidate;
    pos = end + 1;
  }
  return {};
}

ProcessResult RunProcess(const std::vector<std::string>& argv, std::string_view input,
                         std::string* output, const std::function<bool()>& should_stop) {
  ProcessResult result;
  const std::string program = argv.empty() ? std::string() : FindProgramOnPath(argv[0]);
  if (program.empty()) {
    result.error = ENOENT;
    return result;
  }
  UniqueFd in_read, in_write, out_read, out_write;
  if (!MakePipe(&in_read, &in_write) || !MakePipe(&out_read, &out_write)) {
    result.error = errno;
    return result;
  }
  // The pipes are close-on-exec; dup2 onto 0 and 1 clears that flag there,
  // so the child holds 0-2 and nothing else of ours.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in_read.get(), STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out_write.get(), STDOUT_FILENO);
  posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  in_read.Close();
  out_write.Close();
  // A write must never block while the child waits for its output to be read.
  ::fcntl(in_write.get(), F_SETFL, ::fcntl(in_write.get(), F_GETFL) | O_NONBLOCK);
  if (spawned != 0) {
    result.error = spawned;
    return result;
  }
  result.started = true;
  IgnoreBrokenPipe();  // a child that stops reading must not end the program
  UniqueFd pidfd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
  const bool stopped = Exchange(pidfd.get(), &in_write, input, &out_read, output, should_stop);
  if (stopped) {
    ::kill(pid, SIGKILL);  // not reaped yet, so the pid is still the child's
    result.stopped = true;
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!stopped && WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
  return result;
}

}  // namespace platform
