// A script on a phone port of the simulated board, as a user runs it: the
// script rings the set with the caller's number, the far end (python and
// tools/simboard.py) lifts it, hears the prompt, presses keys and puts it
// down, which sends the script to its disconnect handler.
#include <ctime>
#include <string>

#include "gtest/gtest.h"
#include "tests/vttel/vttel_fixture.h"

namespace vttel_test {
namespace {

// The text of a caller-identification message given as hex, "" when its
// length byte or checksum is wrong.
std::string CallerIdText(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  unsigned sum = 0;
  for (unsigned char c : bytes) sum += c;
  if (bytes.size() < 3 || bytes[0] != 4 || sum % 256 != 0) return "";
  if (static_cast<unsigned char>(bytes[1]) != bytes.size() - 3) return "";
  return bytes.substr(2, bytes.size() - 3);
}

// The value printed after "name " on a line of out.
std::string Printed(const std::string& out, const std::string& name) {
  const size_t at = out.find(name + " ");
  if (at == std::string::npos) return "";
  const size_t end = out.find('\n', at);
  return out.substr(at + name.size() + 1, end - at - name.size() - 1);
}

TEST_F(VttelTest, PhonePortScriptRingsPlaysTakesKeysAndSeesTheSetPutDown) {
  WriteProgramFolder("30=phone.vts\n");
  WriteFile(home_.File("SimBoard.ini"), "Trunks=1\nAnalogPorts=0\nStrict=1\n");
  std::string prompt;
  for (int i = 0; i < 2400; ++i) prompt.push_back(static_cast<char>(0x20 + i % 91));
  WriteFile(home_.File("prompt.WAV"), prompt);
  // A phone port is "released" while its set is on hook, so the script
  // lives in its disconnect handler: the first look at the hook enters it,
  // it rings (stage 1; the look after the ring enters it again), waits for
  // the set to be lifted, plays, takes keys and waits for the set to be
  // put down (stage 2), which enters the handler once more: it rings with
  // the keys as the number.
  WriteFile(home_.File("phone.vts"),
            "stage = 0\nk = \"\"\nh = GetHookState()\nSleep(30)\n"
            "OnDisconn()\n"
            "if (stage == 2)\n{\nMakeRing(k)\nSleep(30)\n}\n"
            // The far end connects meanwhile: it sees the events from then on.
            "if (stage == 0)\n{\nstage = 1\nSleep(2)\nMakeRing(\"12345\")\n}\n"
            "h = GetHookState()\nwhile (h == 0)\n{\nSleep(0.1)\nh = GetHookState()\n}\n"
            "stage = 2\n"
            "Play(\"" + home_.File("prompt.WAV") + "\")\n"
            "GetKeys(k, 2, 20)\n"
            "while (h != 0)\n{\nSleep(0.1)\nh = GetHookState()\n}\n"
            "Sleep(30)\n");
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitForRun(30)) << MainLog();
  const time_t before = time(nullptr);
  std::string out;
  ASSERT_EQ(FarEnd("need(c.wait('RING', 'A0', 20000), 'ring')\n"
                   "fsk = c.wait('FSK', 'A0', 10000)\n"
                   "need(fsk, 'fsk')\n"
                   "print('FIRST ' + fsk.split()[-1])\n"
                   "c.capture_start('A0', 'heard.raw')\n"
                   "c.lift('A0')\n"
                   "need(c.wait('PLAYEND', 'A0', 10000), 'playend')\n"
                   "c.capture_stop('A0')\n"
                   "c.keys('A0', '42')\n"
                   "time.sleep(1.0)\n"
                   "c.drop('A0')\n"
                   "need(c.wait('RING', 'A0', 10000), 'second ring')\n"
                   "fsk = c.wait('FSK', 'A0', 10000)\n"
                   "need(fsk, 'second fsk')\n"
                   "print('SECOND ' + fsk.split()[-1])\n",
                   &out),
            0)
      << out << MainLog();
  // Month, day, hour and minute of the ring, then the number.
  const std::string first = CallerIdText(Printed(out, "FIRST"));
  ASSERT_EQ(first.size(), 13u) << out;
  EXPECT_EQ(first.substr(8), "12345");
  bool within_a_minute = false;
  for (time_t t = before - 60; t <= before + 60; t += 60) {
    struct tm local;
    localtime_r(&t, &local);
    char stamp[16];
    strftime(stamp, sizeof stamp, "%m%d%H%M", &local);
    within_a_minute = within_a_minute || first.substr(0, 8) == stamp;
  }
  EXPECT_TRUE(within_a_minute) << first;
  // The prompt was heard from its 90th byte; the disconnect handler rang
  // again with the keys taken.
  const std::string heard = ReadFile(home_.File("heard.raw")).value_or("");
  EXPECT_NE(heard.find(prompt.substr(90, 1000)), std::string::npos);
  EXPECT_EQ(CallerIdText(Printed(out, "SECOND")).substr(8), "42");
  EXPECT_EQ(Ctl("quit"), 0);
  EXPECT_EQ(vttel_.Wait(kQuitMs), 0);
}

}  // namespace
}  // namespace vttel_test
