#include "platform/library_trial.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include "platform/process.h"
#include "platform/unique_fd.h"

namespace platform {
namespace {

// What the copy writes back in one piece (smaller than a pipe's atomic
// write): the candidate that loaded, or the loader's first message.
struct TrialReport {
  int32_t loaded;
  char error[512];
};
static_assert(sizeof(TrialReport) <= PIPE_BUF);

struct Trial {
  const std::vector<std::string>* candidates;
  int flags;
  int reportFd;
};

// In the copy: the loads, then the report.
int LoadAndReport(void* context) {
  const auto* trial = static_cast<const Trial*>(context);
  TrialReport report{-1, {}};
  for (size_t i = 0; i < trial->candidates->size(); ++i) {
    if (::dlopen((*trial->candidates)[i].c_str(), trial->flags) != nullptr) {
      report.loaded = static_cast<int32_t>(i);
      break;
    }
    const char* text = ::dlerror();
    if (report.error[0] == '\0' && text != nullptr) {
      std::strncpy(report.error, text, sizeof report.error - 1);
    }
  }
  return ::write(trial->reportFd, &report, sizeof report) == sizeof report ? 0 : 1;
}

// How a copy that wrote no report ended.
std::string HowEnded(int exit_code) {
  if (exit_code == ChildProcess::kForkExitCalled) return "called exit()";
  if (exit_code > kSignalExitBase) {
    const char* name = ::sigabbrev_np(exit_code - kSignalExitBase);
    if (name != nullptr) return std::string("ended by SIG") + name;
  }
  return "ended with exit status " + std::to_string(exit_code);
}

LibraryTrial Refused(std::string why) { return LibraryTrial{-1, std::move(why), false}; }

LibraryTrial LoadTimeCodeFailed(std::string why) {
  return LibraryTrial{-1, "its load-time code " + why, true};
}

// A candidate file as a passed trial remembers it. A candidate without a
// folder (for the loader's own search) has no identity of its own.
struct FileIdentity {
  bool operator==(const FileIdentity&) const = default;
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  int64_t modifiedNs = 0;
};

std::vector<FileIdentity> IdentitiesOf(const std::vector<std::string>& candidates) {
  std::vector<FileIdentity> files(candidates.size());
  for (size_t i = 0; i < candidates.size(); ++i) {
    struct stat st;
    if (candidates[i].find('/') == std::string::npos || ::stat(candidates[i].c_str(), &st) != 0) {
      continue;
    }
    files[i] = {true, st.st_dev, st.st_ino, st.st_size,
                int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec};
  }
  return files;
}

// The trials that passed, by their candidates: the one that loaded, while
// every candidate file is the same as before the trial. At most
// kMaxPassed lists are kept (then they are forgotten and tried anew).
class PassedTrials {
 public:
  std::optional<int> Find(const std::vector<std::string>& candidates,
                          const std::vector<FileIdentity>& files) const {
    std::lock_guard<std::mutex> lock(mu_);
    const auto it = passed_.find(candidates);
    if (it == passed_.end() || it->second.files != files) return std::nullopt;
    return it->second.loaded;
  }
  void Add(const std::vector<std::string>& candidates, std::vector<FileIdentity> files,
           int loaded) {
    std::lock_guard<std::mutex> lock(mu_);
    if (passed_.size() >= kMaxPassed) passed_.clear();
    passed_[candidates] = Passed{std::move(files), loaded};
  }

 private:
  static constexpr size_t kMaxPassed = 256;
  struct Passed {
    std::vector<FileIdentity> files;
    int loaded;
  };
  mutable std::mutex mu_;
  std::map<std::vector<std::string>, Passed> passed_;  // guarded by mu_
};

PassedTrials& Passed() {
  static PassedTrials* const passed = new PassedTrials;
  return *passed;
}

LibraryTrial TryLoadInCopy(const std::vector<std::string>& candidates, int flags,
                           uint32_t wait_ms) {
  UniqueFd read_end, write_end;
  if (!MakePipe(&read_end, &write_end, O_NONBLOCK)) {
    return Refused(std::string("no pipe for its trial load: ") + std::strerror(errno));
  }
  Trial trial{&candidates, flags, write_end.get()};
  std::unique_ptr<ChildProcess> copy = ChildProcess::Fork(&LoadAndReport, &trial);
  if (copy == nullptr) {
    return Refused(std::string("no copy of the process for its trial load: ") +
                   std::strerror(errno));
  }
  write_end.Close();  // the copy's end: the report is all that comes
  int exit_code = 0;
  if (copy->Wait(wait_ms, nullptr, &exit_code) != ChildProcess::WaitEnd::kEnded) {
    copy->Kill();
    return LoadTimeCodeFailed("did not end within " + std::to_string(wait_ms) + " ms");
  }
  TrialReport report{};
  if (::read(read_end.get(), &report, sizeof report) != sizeof report || exit_code != 0) {
    return LoadTimeCodeFailed(HowEnded(exit_code));
  }
  if (report.loaded >= 0 && static_cast<size_t>(report.loaded) < candidates.size()) {
    return LibraryTrial{report.loaded, {}, false};
  }
  report.error[sizeof report.error - 1] = '\0';
  return Refused(report.error);
}

}  // namespace

LibraryTrial TrialLoad(const std::vector<std::string>& candidates, int flags, uint32_t wait_ms) {
  // The files as they are before the trial: one changed during it is
  // tried again next time.
  std::vector<FileIdentity> files = IdentitiesOf(candidates);
  if (std::optional<int> loaded = Passed().Find(candidates, files)) {
    return LibraryTrial{*loaded, {}, false};
  }
  LibraryTrial trial = TryLoadInCopy(candidates, flags, wait_ms);
  if (trial.loaded >= 0) Passed().Add(candidates, std::move(files), trial.loaded);
  return trial;
}

}  // namespace platform
