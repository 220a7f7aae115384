// Append files under concurrent use: two lines (main scripts of their own,
// each on a thread) appending 10,000 lines each to one file, and the idle
// scan closing streams while writers hold them.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "services/files/txt_append.h"
#include "tests/services/tcp_script_fixture.h"

namespace {

using testing_support::ReadFile;

// The lines of a CR LF file; false when a line is not one of the written.
size_t CountWholeLines(const std::string& bytes, const std::string& body, bool* all_whole) {
  size_t lines = 0, start = 0;
  *all_whole = true;
  while (start < bytes.size()) {
    const size_t end = bytes.find("\r\n", start);
    if (end == std::string::npos) {
      *all_whole = false;
      break;
    }
    const std::string line = bytes.substr(start, end - start);
    if (line.size() != body.size() + 1 || line.compare(1, std::string::npos, body) != 0) {
      *all_whole = false;
    }
    ++lines;
    start = end + 2;
  }
  return lines;
}

class TxtAppendConcurrencyTest : public services_test::TcpScriptTest {};

TEST_F(TxtAppendConcurrencyTest, TwoLinesAppendingLeaveOnlyWholeLines) {
  constexpr int kLines = 10000;
  const std::string body = "-0123456789abcdefghijklmnopqrstuvwxyz";
  engine::LineCallBase calls[2];
  std::unique_ptr<engine::TagTelBasic> scripts[2];
  for (int i = 0; i < 2; ++i) {
    calls[i].lineNo = 2 + i;
    scripts[i] = NewScript("empty.vts", calls[i]);
  }
  std::atomic<int> failures{0};
  std::vector<std::thread> lines;
  for (int i = 0; i < 2; ++i) {
    lines.emplace_back([&, i] {
      engine::TagVar file, text, mode;
      file.SetString("two.txt");
      const std::string line = std::string(1, static_cast<char>('a' + i)) + body;
      text.SetBytes(line.data(), line.size());
      mode.SetInt(1);
      for (int n = 0; n < kLines; ++n) {
        if (Exec(scripts[i].get(), "TextFileAppend(", {&file, &text, &mode}) != 0) ++failures;
      }
    });
  }
  for (std::thread& t : lines) t.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(Exec("TextFileClose(", {Val("two.txt")}), 0);
  bool whole = false;
  EXPECT_EQ(CountWholeLines(ReadFile("two.txt").value_or(""), body, &whole), 2u * kLines);
  EXPECT_TRUE(whole);
}

// Writers append while another thread keeps moving the clock past the idle
// limit and scanning: no append fails and every record reaches the file.
TEST_F(TxtAppendConcurrencyTest, IdleScanNeverClosesAStreamAWriterHolds) {
  constexpr int kWriters = 4;
  constexpr int kAppends = 2000;
  platform::FakeClock clock;
  platform::ScopedClock use(&clock);
  services::TTxtAppend appender;
  std::atomic<bool> done{false};
  std::atomic<int> failures{0};
  std::thread scanner([&] {
    while (!done.load()) {
      clock.Advance(services::kIdleCloseMs);
      appender.CloseIdle();
      std::this_thread::yield();
    }
  });
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&, w] {
      const std::string file = w % 2 == 0 ? "even.txt" : "odd.txt";
      for (int n = 0; n < kAppends; ++n) {
        if (appender.Append(file, w, "xrecordx", 1) != 0) ++failures;
      }
    });
  }
  for (std::thread& t : writers) t.join();
  done = true;
  scanner.join();
  EXPECT_EQ(failures.load(), 0);
  for (const char* file : {"even.txt", "odd.txt"}) {
    bool whole = false;
    EXPECT_EQ(CountWholeLines(ReadFile(file).value_or(""), "recordx", &whole),
              static_cast<size_t>(kWriters / 2 * kAppends))
        << file;
    EXPECT_TRUE(whole) << file;
  }
}

}  // namespace
