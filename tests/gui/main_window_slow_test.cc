// The real program's main window on an X server of the test's own (Xvfb):
// the demo's lines, a call answered through the simulated board, and a
// picture of the screen saved for people to look at.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QColor>
#include <QImage>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "gtest/gtest.h"
#include "tests/platform/spawned_program.h"
#include "tests/test_support.h"

namespace {

using testing_support::FileExists;
using testing_support::ReadFile;
using testing_support::ScopedEnv;
using testing_support::SpawnedProgram;
using testing_support::TempDir;
using testing_support::WriteFile;

const std::string kXvfb = "/usr/bin/Xvfb";
const std::string kVttel = std::string(VTTEL_PROGRAM_DIR) + "/vttel";
const std::string kVttelctl = std::string(VTTEL_TOOLS_DIR) + "/vttelctl";
const std::string kGrab = std::string(VTTEL_TEST_TOOLS_DIR) + "/screen_grab";
const std::string kSimboardPy = std::string(VTTEL_SOURCE_DIR) + "/tools/simboard.py";
const std::string kDemo = std::string(VTTEL_SOURCE_DIR) + "/demo";
const std::string kPicture = std::string(VTTEL_ARTIFACTS_DIR) + "/main_window.png";
const std::string kPagePicture = std::string(VTTEL_ARTIFACTS_DIR) + "/debugger_page.png";
// Display numbers tried for the test's X server.
constexpr int kFirstDisplay = 91;
constexpr int kLastDisplay = 199;
constexpr int kQuitMs = 20000;
// A picture of a window with its grid, panels and menus has many colours;
// an empty or failed screen has one or two.
constexpr size_t kFewColours = 8;

bool WaitFor(const std::function<bool()>& done, int ms) {
  for (int waited = 0; waited < ms; waited += 50) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return done();
}

int RunToEnd(const std::string& program, const std::vector<std::string>& args,
             std::string* out = nullptr, int ms = 15000) {
  SpawnedProgram p;
  if (!p.Start(program, args)) return SpawnedProgram::kTimedOut;
  const int status = p.Wait(ms);
  if (out != nullptr) *out = p.stdout_text() + p.stderr_text();
  return status;
}

std::string SocketOf(int display) { return "/tmp/.X11-unix/X" + std::to_string(display); }

// A display number no X server uses.
int FreeDisplay() {
  for (int n = kFirstDisplay; n <= kLastDisplay; ++n) {
    if (!FileExists(SocketOf(n)) && !FileExists("/tmp/.X" + std::to_string(n) + "-lock")) return n;
  }
  return -1;
}

// The demo's files with Chinese captions, the raw trace on and the monitor
// server on a port of its own (other tests may hold the demo's).
void MakeDemoFolder(const std::string& dir) {
  for (const char* name : {"SimBoard.ini", "Card.ini", "demo.vts"}) {
    std::filesystem::copy_file(kDemo + "/" + name, dir + "/" + name);
  }
  std::string cfg = ReadFile(kDemo + "/VtTelRun.cfg").value_or("");
  cfg += "\nLANGUAGE_TYPE=CN\nIS_WRITE_LOG=2\nMONITOR_MAX_CONN=3\nMONITOR_PORT=" +
         std::to_string(testing_support::FreeLoopbackPort()) + "\nIS_SHOW_FORM=yes\n";
  WriteFile(dir + "/VtTelRun.cfg", cfg);
}

// Every dated file of the demo's main log.
std::string MainLogOf(const std::string& dir) {
  std::string all;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().filename().string().rfind("msg_log", 0) == 0) {
      all += ReadFile(entry.path().string()).value_or("");
    }
  }
  return all;
}

size_t ColourCount(const QImage& image) {
  std::set<QRgb> colours;
  for (int y = 0; y < image.height(); y += 2) {
    for (int x = 0; x < image.width(); x += 2) colours.insert(image.pixel(x, y));
  }
  return colours.size();
}

// An X server of the test's own on a free display (its number in *display).
bool StartXvfb(SpawnedProgram* xvfb, int* display) {
  *display = FreeDisplay();
  if (*display < 0) return false;
  if (!xvfb->Start(kXvfb, {":" + std::to_string(*display), "-screen", "0", "1280x800x24",
                           "-nolisten", "tcp"})) {
    return false;
  }
  return WaitFor([&] { return FileExists(SocketOf(*display)); }, 10000);
}

// Checks a picture the grab tool saved: a PNG of the whole screen with
// more than a few colours.
void ExpectScreenPicture(const std::string& path) {
  const std::string png = ReadFile(path).value_or("");
  ASSERT_GT(png.size(), 1000u);
  EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  QImage image;
  ASSERT_TRUE(image.load(QString::fromStdString(path), "PNG"));
  EXPECT_EQ(image.size(), QSize(1280, 800));
  EXPECT_GT(ColourCount(image), kFewColours);
  std::printf("window picture: %s\n", path.c_str());
}

TEST(MainWindowPictureTest, DemoWindowWithAConnectedLine) {
  if (!FileExists(kXvfb)) GTEST_SKIP() << "Xvfb is not installed: no picture of the window";
  int display = -1;
  SpawnedProgram xvfb;
  ASSERT_TRUE(StartXvfb(&xvfb, &display)) << xvfb.stderr_text();

  TempDir home, runtime;
  MakeDemoFolder(home.path());
  ScopedEnv display_env("DISPLAY", ":" + std::to_string(display));
  ScopedEnv headless_env("VTTEL_HEADLESS", std::nullopt);
  ScopedEnv home_env("VTTEL_HOME", home.path());
  ScopedEnv runtime_env("XDG_RUNTIME_DIR", runtime.path());
  SpawnedProgram vttel;
  ASSERT_TRUE(vttel.Start(kVttel, {}));
  ASSERT_TRUE(WaitFor(
      [&] {
        return ReadFile(home.File("RawLog.txt")).value_or("").find("29 Loaded.") !=
               std::string::npos;
      },
      30000));

  // The board's control socket lives in the program folder.
  const std::string socket = "--socket=" + home.File("simboard.sock");
  std::string out;
  ASSERT_EQ(RunToEnd("/usr/bin/python3", {kSimboardPy, socket, "call", "E0", "13900000000", "8001"}, &out),
            0)
      << out;
  // The window's count text, which the log also gets, shows the answered call.
  ASSERT_TRUE(WaitFor([&] { return MainLogOf(home.path()).find("连通数:1") != std::string::npos; },
                      15000));
  // Two display periods for the grid to show "连通".
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));

  std::filesystem::create_directories(VTTEL_ARTIFACTS_DIR);
  std::filesystem::remove(kPicture);
  EXPECT_EQ(RunToEnd(kGrab, {kPicture}, &out), 0) << out;

  EXPECT_EQ(RunToEnd(kVttelctl, {"quit"}), 0);
  EXPECT_EQ(vttel.Wait(kQuitMs), 0) << vttel.stderr_text();
  xvfb.Kill(SIGTERM);
  xvfb.Wait(5000);

  ExpectScreenPicture(kPicture);
}

// A debugger page of a line paused in a function, on the window of the
// debugger's own test run on the X server.
TEST(MainWindowPictureTest, PausedDebuggerPage) {
  if (!FileExists(kXvfb)) GTEST_SKIP() << "Xvfb is not installed: no picture of the window";
  int display = -1;
  SpawnedProgram xvfb;
  ASSERT_TRUE(StartXvfb(&xvfb, &display)) << xvfb.stderr_text();
  TempDir runtime, work;
  const std::string ready = work.File("page_shown");
  ScopedEnv display_env("DISPLAY", ":" + std::to_string(display));
  ScopedEnv platform_env("QT_QPA_PLATFORM", "xcb");
  ScopedEnv runtime_env("XDG_RUNTIME_DIR", runtime.path());
  ScopedEnv ready_env("VTTEL_PICTURE_READY", ready);
  SpawnedProgram pages;
  ASSERT_TRUE(pages.Start(VTTEL_GUI_TESTS, {"--gtest_filter=DebugPagesTest.PausedPageForAPicture"}));
  ASSERT_TRUE(WaitFor([&] { return FileExists(ready); }, 30000)) << pages.stdout_text();
  std::filesystem::create_directories(VTTEL_ARTIFACTS_DIR);
  std::filesystem::remove(kPagePicture);
  std::string out;
  EXPECT_EQ(RunToEnd(kGrab, {kPagePicture}, &out), 0) << out;
  std::filesystem::remove(ready);
  EXPECT_EQ(pages.Wait(kQuitMs), 0) << pages.stdout_text();
  xvfb.Kill(SIGTERM);
  xvfb.Wait(5000);
  ExpectScreenPicture(kPagePicture);
}

}  // namespace
