// Random files as the simulated board's "SimBoard.ini": read over the
// defaults; every value must end inside its range, and the paths made from
// the socket setting must be whole.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "simboard/sim_config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (fuzz_support::WriteInput(simboard::kSimBoardIni, data, size).empty()) return 0;
  const simboard::SimConfig c = simboard::LoadSimConfig(fuzz_support::Folder());
  if (c.trunks < 0 || c.trunks > simboard::kMaxTrunks ||
      c.analog_ports.size() > simboard::kMaxAnalogPorts || c.conf_groups < 0 ||
      c.conf_groups > simboard::kMaxConfGroups || c.fax_resources < 0 ||
      c.fax_resources > simboard::kMaxFaxResources ||
      static_cast<int64_t>(c.journal) > simboard::kMaxJournalEntries) {
    __builtin_trap();
  }
  if (c.SocketPath().empty()) __builtin_trap();
  return 0;
}
