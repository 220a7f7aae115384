// The simulated board driven end to end through its control socket: the
// board's own server, tools/simboard.py as a real process, and the system's
// side of the same circuit seen through the board's entries.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "simboard/control_client.h"
#include "simboard/sim_board.h"
#include "tests/platform/spawned_program.h"
#include "tests/test_support.h"

namespace simboard {
namespace {

const std::string kTool = std::string(VTTEL_SOURCE_DIR) + "/tools/simboard.py";

class ControlBoardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(board_.StartControl(error)) << error;
  }

  // Runs the tool on the board's socket; its exit status and output.
  int Tool(const std::vector<std::string>& words, std::string* out) {
    std::vector<std::string> args{"--socket", board_.config().SocketPath()};
    args.insert(args.end(), words.begin(), words.end());
    testing_support::SpawnedProgram tool;
    if (!tool.Start(kTool, args)) return testing_support::SpawnedProgram::kTimedOut;
    int status = tool.Wait(10000);
    *out = tool.stdout_text();
    return status;
  }

  testing_support::TempDir dir_;
  SimBoard board_{SimBoard::LoadConfig(dir_.path())};
};

TEST_F(ControlBoardTest, ACallPlacedByTheToolIsOfferedOnTheCircuit) {
  std::string out;
  EXPECT_EQ(Tool({"call", "E3", "13900000000", "8001"}, &out), 0);
  EXPECT_EQ(out, "OK\n");
  EXPECT_EQ(Tool({"state", "E3"}, &out), 0);
  EXPECT_TRUE(out.starts_with("OK state=8 ")) << out;

  // The system sees the offered call on E1 port 0, time slot 3.
  EXPECT_EQ(board_.TupCircuitState(0, 3), 8);
  std::string called;
  board_.TupCalledNumber(0, 3, called);
  EXPECT_EQ(called, "8001");

  // A second offer on a busy circuit is the board's refusal.
  EXPECT_EQ(Tool({"call", "E3", "1", "2"}, &out), 1);
  EXPECT_TRUE(out.starts_with("ERR ")) << out;
  EXPECT_EQ(Tool({"state", "E99"}, &out), 1);
}

TEST_F(ControlBoardTest, WaitSeesWhatTheSystemDidOnTheLine) {
  ControlClient client;
  ASSERT_TRUE(client.Connect(board_.config().SocketPath(), 2000));
  ASSERT_EQ(client.Call("E3", "13900000000", "8001"), "OK");
  board_.TupSendMessage(0, 3, 4, 37);  // the system charges the call
  std::optional<std::string> charge = client.Wait("CHARGE", "E3", 2000);
  ASSERT_TRUE(charge.has_value());
  EXPECT_TRUE(charge->starts_with("EV ")) << *charge;
  EXPECT_TRUE(charge->ends_with(" CHARGE E3 37")) << *charge;
}

TEST_F(ControlBoardTest, StoppingTheBoardsControlRemovesItsSocket) {
  const std::string path = board_.config().SocketPath();
  ASSERT_TRUE(testing_support::FileExists(path));
  board_.StopControl();
  EXPECT_FALSE(testing_support::FileExists(path));
  std::string out;
  EXPECT_EQ(Tool({"ping"}, &out), 2);
}

}  // namespace
}  // namespace simboard
