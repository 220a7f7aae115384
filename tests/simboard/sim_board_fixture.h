// Helpers of the simulated board's tests: a board made from ini lines in a
// temporary folder, its events, and bounded waits.
#ifndef VTTEL_TESTS_SIMBOARD_SIM_BOARD_FIXTURE_H_
#define VTTEL_TESTS_SIMBOARD_SIM_BOARD_FIXTURE_H_

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "simboard/sim_board.h"
#include "tests/test_support.h"

namespace simboard {

inline std::unique_ptr<SimBoard> MakeBoard(const std::string& folder, const std::string& ini) {
  SimConfig config;
  config.folder = folder;
  config.ApplyIni(ini);
  return std::make_unique<SimBoard>(config);
}

// "addr args" of every event of that type, oldest first.
inline std::vector<std::string> EventsOf(SimBoard& board, const std::string& type) {
  std::vector<std::string> out;
  for (const Event& e : board.events().Since(0)) {
    if (e.type == type) out.push_back(e.args.empty() ? e.addr : e.addr + " " + e.args);
  }
  return out;
}

// Polls until done() or the timeout; returns done().
inline bool WaitUntil(const std::function<bool()>& done, int timeout_ms = 2000) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return done();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

inline Address E(int32_t ch) { return Address{Address::Kind::kE1, ch}; }
inline Address A(int32_t port) { return Address{Address::Kind::kAnalog, port}; }

inline std::string StateOf(SimBoard& board, Address line) {
  std::string fields;
  std::string error = board.State(line, fields);
  return error.empty() ? fields : "ERR " + error;
}

// A board in a temporary folder, with `ini` applied.
class SimBoardTest : public ::testing::Test {
 protected:
  void Make(const std::string& ini) { board_ = MakeBoard(dir_.path(), ini); }
  std::string Path(const std::string& name) const { return dir_.File(name); }
  void Write(const std::string& name, const std::string& bytes) {
    testing_support::WriteFile(dir_.File(name), bytes);
  }
  std::string Read(const std::string& name) const {
    return testing_support::ReadFile(dir_.File(name)).value_or("<missing>");
  }
  SimBoard& b() { return *board_; }

  testing_support::TempDir dir_;
  std::unique_ptr<SimBoard> board_;
};

}  // namespace simboard

#endif  // VTTEL_TESTS_SIMBOARD_SIM_BOARD_FIXTURE_H_
