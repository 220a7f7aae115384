// Many line threads log while another thread flushes, as the display pass
// does: every line must arrive once, whole, and in its thread's own order.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "frame/log.h"
#include "frame/log_writer.h"
#include "frame/settings.h"
#include "tests/test_support.h"

namespace frame {
namespace {

using testing_support::ReadFile;
using testing_support::ScopedChdir;
using testing_support::TempDir;

// Parses "... 0x<tid> [T<thread>#<seq>]" into thread and sequence numbers.
bool ParseLine(const std::string& line, int* thread, int* seq) {
  size_t open = line.find(" [T");
  if (open == std::string::npos || line.back() != ']') return false;
  return std::sscanf(line.c_str() + open, " [T%d#%d]", thread, seq) == 2;
}

void CheckOrder(const std::string& text, int threads, int per_thread) {
  std::map<int, int> next;
  size_t start = 0, lines = 0;
  for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1) {
    std::string line = text.substr(start, nl - start);
    int t, s;
    if (!ParseLine(line, &t, &s)) continue;
    ASSERT_EQ(s, next[t]) << "thread " << t << " out of order: " << line;
    next[t] = s + 1;
    ++lines;
  }
  EXPECT_EQ(lines, static_cast<size_t>(threads * per_thread));
}

void RunWriters(int threads, int per_thread, const std::function<void(const std::string&)>& log,
                const std::function<void()>& flush) {
  std::atomic<bool> done{false};
  std::thread flusher([&] {
    while (!done.load()) {
      flush();
      std::this_thread::yield();
    }
  });
  std::vector<std::thread> writers;
  for (int t = 0; t < threads; ++t) {
    writers.emplace_back([&, t] {
      for (int s = 0; s < per_thread; ++s) log("T" + std::to_string(t) + "#" + std::to_string(s));
    });
  }
  for (auto& w : writers) w.join();
  done = true;
  flusher.join();
}

TEST(LogConcurrency, PerThreadOrderHoldsUnderConcurrentFlushes) {
  TempDir dir;
  const int kThreads = 8, kLines = 2000;
  {
    TagWriteLog log(dir.File("msg_log.txt"), 0, /*immediate=*/false, /*single_file=*/true);
    RunWriters(kThreads, kLines, [&](const std::string& s) { log.Write(s); },
               [&] { log.Flush(); });
  }
  CheckOrder(*ReadFile(dir.File("msg_log.txt")), kThreads, kLines);
}

TEST(LogConcurrency, ImmediateModeAndTheFrontEnds) {
  TempDir dir;
  ScopedChdir cd(dir.path());
  GetSettings().log_level = 1;
  OpenProcessLog(std::make_unique<TagWriteLog>("msg_log.txt", 0, true, true));
  const int kThreads = 6, kLines = 500;
  RunWriters(kThreads, kLines, [](const std::string& s) { LogMsg(s); },
             [] { FlushProcessLog(); });
  CloseProcessLog();
  GetSettings().log_level = 0;
  CheckOrder(*ReadFile("msg_log.txt"), kThreads, kLines);
}

TEST(LogConcurrency, LoggingWhileTheLogIsReplacedAndClosed) {
  TempDir dir;
  ScopedChdir cd(dir.path());
  std::atomic<bool> stop{false};
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t) {
    writers.emplace_back([&] {
      while (!stop.load()) LogAlways("busy line");
    });
  }
  for (int i = 0; i < 20; ++i) {
    OpenProcessLog(std::make_unique<TagWriteLog>("msg_log.txt", 0, false, true));
    FlushProcessLog();
    CloseProcessLog();
  }
  stop = true;
  for (auto& w : writers) w.join();
  EXPECT_FALSE(HasProcessLog());
}

}  // namespace
}  // namespace frame
