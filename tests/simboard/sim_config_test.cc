#include "simboard/sim_config.h"

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace simboard {
namespace {

TEST(SimConfigTest, DefaultsWhenTheFileIsMissing) {
  testing_support::TempDir dir;
  SimConfig c = LoadSimConfig(dir.path());
  EXPECT_EQ(c.folder, dir.path());
  EXPECT_EQ(c.trunks, 1);
  EXPECT_TRUE(c.analog_ports.empty());
  EXPECT_EQ(c.open_result, 0);
  EXPECT_EQ(c.serial_no, 20061101);
  EXPECT_EQ(c.conference, ConferenceKind::kNewer);
  EXPECT_EQ(c.conf_groups, 64);
  EXPECT_EQ(c.fax_resources, 4);
  EXPECT_EQ(c.fax_ms, 2000);
  EXPECT_EQ(c.dtmf_digit_ms, 100);
  EXPECT_EQ(c.journal, 100000u);
  EXPECT_FALSE(c.strict);
  EXPECT_TRUE(c.change_wait);
  EXPECT_EQ(c.SocketPath(), dir.path() + "/simboard.sock");
}

TEST(SimConfigTest, ReadsEveryKeyCaseInsensitivelyWithBlanks) {
  testing_support::TempDir dir;
  testing_support::WriteFile(dir.File("SimBoard.ini"),
                             "# comment\n; another\n"
                             "  TRUNKS = 2 \r\n"
                             "analogports=0, 1 ,5\n"
                             "OpenResult=3\n"
                             "serialno = 42\n"
                             "Conference = Older\n"
                             "ConfGroups=16\n"
                             "FaxResources=2\nFaxInit=-1\nFaxMs=150\n"
                             "DtmfDigitMs=40\nFskInit=-2\n"
                             "Socket=/tmp/x.sock\nJournal=10\nStrict=1\nChangeWait=0\n");
  SimConfig c = LoadSimConfig(dir.path());
  EXPECT_EQ(c.trunks, 2);
  EXPECT_EQ(c.analog_ports, (std::vector<int32_t>{0, 1, 5}));
  EXPECT_EQ(c.open_result, 3);
  EXPECT_EQ(c.serial_no, 42);
  EXPECT_EQ(c.conference, ConferenceKind::kOlder);
  EXPECT_EQ(c.conf_groups, 16);
  EXPECT_EQ(c.fax_resources, 2);
  EXPECT_EQ(c.fax_init, -1);
  EXPECT_EQ(c.fax_ms, 150);
  EXPECT_EQ(c.dtmf_digit_ms, 40);
  EXPECT_EQ(c.fsk_init, -2);
  EXPECT_EQ(c.SocketPath(), "/tmp/x.sock");
  EXPECT_EQ(c.journal, 10u);
  EXPECT_TRUE(c.strict);
  EXPECT_FALSE(c.change_wait);
}

TEST(SimConfigTest, ClampsAndSkipsMalformedLines) {
  struct Case {
    const char* ini;
    int32_t trunks;
    int32_t groups;
    size_t ports;
  };
  const Case cases[] = {
      {"Trunks=99", 16, 64, 0},
      {"Trunks=-3", 0, 64, 0},
      {"Trunks=abc", 1, 64, 0},
      {"Trunks", 1, 64, 0},
      {"=5\n==\nTrunks==2", 1, 64, 0},
      {"ConfGroups=100000", 1, 4096, 0},
      {"ConfGroups=-1", 1, 0, 0},
      {"AnalogPorts=0,x,1", 1, 64, 0},
      {"AnalogPorts=", 1, 64, 0},
      {"Conference=maybe\nUnknown=1", 1, 64, 0},
      {"Trunks=99999999999999999999999", 1, 64, 0},
  };
  for (const Case& c : cases) {
    SimConfig config;
    config.ApplyIni(c.ini);
    EXPECT_EQ(config.trunks, c.trunks) << c.ini;
    EXPECT_EQ(config.conf_groups, c.groups) << c.ini;
    EXPECT_EQ(config.analog_ports.size(), c.ports) << c.ini;
    EXPECT_EQ(config.conference, ConferenceKind::kNewer) << c.ini;
  }
}

// Values the board cannot take as written are held to their range, or
// refused, and each leaves a warning naming the file, the key and the value.
TEST(SimConfigTest, NotesEveryValueItCouldNotTakeAsWritten) {
  struct Case {
    const char* ini;
    const char* warning;  // "" when none is expected
    int32_t trunks;
    size_t journal;
  };
  const Case cases[] = {
      {"Trunks=2", "", 2, 100000},
      {"Trunks=-1", "SimBoard.ini: Trunks=-1: out of range 0..16, took 0", 0, 100000},
      {"Trunks=1000000000", "SimBoard.ini: Trunks=1000000000: out of range 0..16, took 16", 16,
       100000},
      {"Trunks=99999999999999999999",
       "SimBoard.ini: Trunks=99999999999999999999: not a number in range, kept 1", 1, 100000},
      {"Journal=1000000000",
       "SimBoard.ini: Journal=1000000000: more than 1000000 entries refused, kept 100000", 1,
       100000},
      {"Journal=-5", "SimBoard.ini: Journal=-5: out of range 0..1000000, took 0", 1, 0},
      {"Journal=1000000", "", 1, 1000000},
      {"ConfGroups=5000", "SimBoard.ini: ConfGroups=5000: out of range 0..4096, took 4096", 1,
       100000},
      {"Conference=maybe", "SimBoard.ini: Conference=maybe: not none, older or newer", 1, 100000},
      {"Tranks=2", "SimBoard.ini: Tranks=2: unknown key, skipped", 1, 100000},
  };
  for (const Case& c : cases) {
    SimConfig config;
    config.ApplyIni(c.ini);
    EXPECT_EQ(config.trunks, c.trunks) << c.ini;
    EXPECT_EQ(config.journal, c.journal) << c.ini;
    if (*c.warning == '\0') {
      EXPECT_TRUE(config.warnings.empty()) << c.ini << ": " << config.warnings.front();
      continue;
    }
    ASSERT_EQ(config.warnings.size(), 1u) << c.ini;
    EXPECT_EQ(config.warnings[0].rfind(c.warning, 0), 0u) << config.warnings[0];
  }
}

TEST(SimConfigTest, KeepsAtMost256AnalogPorts) {
  std::string list;
  for (int i = 0; i < 300; ++i) list += (i ? "," : "") + std::to_string(i % 2);
  SimConfig config;
  config.ApplyIni("AnalogPorts=" + list);
  EXPECT_EQ(config.analog_ports.size(), kMaxAnalogPorts);
}

TEST(SimConfigTest, RelativeSocketIsUnderTheFolder) {
  SimConfig config;
  config.folder = "/srv/board";
  config.ApplyIni("Socket=ctl/board.sock");
  EXPECT_EQ(config.SocketPath(), "/srv/board/ctl/board.sock");
  EXPECT_EQ(config.FolderPath("/abs.raw"), "/abs.raw");
}

}  // namespace
}  // namespace simboard
