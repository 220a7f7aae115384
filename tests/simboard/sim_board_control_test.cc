// The simulated board's control socket, started by the board on its
// configured path, driven through the control client as a test would.
#include <gtest/gtest.h>

#include "simboard/control_client.h"
#include "simboard/sim_board.h"
#include "tests/simboard/sim_board_fixture.h"

namespace simboard {
namespace {

TEST_F(SimBoardTest, ControlSocketDrivesTheFarEnd) {
  Make("Trunks=1\nSocket=ctl.sock");
  std::string error;
  ASSERT_TRUE(b().StartControl(error)) << error;
  ASSERT_TRUE(testing_support::FileExists(Path("ctl.sock")));
  ControlClient client;
  ASSERT_TRUE(client.Connect(Path("ctl.sock")));
  EXPECT_EQ(client.Call("E2", "13900000000", "8000"), "OK");
  EXPECT_EQ(b().TupCircuitState(0, 2), 8);
  b().TupSendMessage(0, 2, 6, 1);
  auto state = client.State("E2");
  ASSERT_TRUE(state.has_value());
  EXPECT_EQ((*state)["state"], "9");
  EXPECT_EQ(client.Call("E2", "1", "2").rfind("ERR", 0), 0u);
  b().StopControl();
  EXPECT_FALSE(testing_support::FileExists(Path("ctl.sock")));
}

TEST_F(SimBoardTest, ControlSocketThatCannotBeMade) {
  Make("Socket=no/such/dir/ctl.sock");
  std::string error;
  EXPECT_FALSE(b().StartControl(error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace simboard
