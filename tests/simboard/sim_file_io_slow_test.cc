// The simulated board's file work and its locks, in real time: no file is
// read, written or closed while the board's own lock is held, and while the
// system holds its board lock only the opens that an entry's result needs
// and the last write of a stopped recording happen. A recording's file is
// complete when its end is told; a play ends after its last byte.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <mutex>

#include "simboard/sim_board.h"
#include "tests/simboard/sim_board_fixture.h"

namespace simboard {
namespace {

using std::chrono::milliseconds;

std::string Pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 13 + i / 160) & 0xFF);
  return s;
}

// Notes every file call with the locks its thread holds.
class LockWatch : public FileIoWatch {
 public:
  LockWatch(const SimBoard& board, const board::BoardLock& drive_lock)
      : board_(board), drive_lock_(drive_lock) {}

  void BeforeFileIo(const char* call) override {
    std::lock_guard<std::mutex> hold(mutex_);
    ++calls_[call];
    if (board_.LockHeldByCurrentThread()) under_board_ += std::string(call) + " ";
    if (drive_lock_.HeldByCurrentThread()) ++under_drive_[call];
  }
  void Clear() {
    std::lock_guard<std::mutex> hold(mutex_);
    calls_.clear();
    under_board_.clear();
    under_drive_.clear();
  }
  std::map<std::string, int> Calls() {
    std::lock_guard<std::mutex> hold(mutex_);
    return calls_;
  }
  std::string UnderBoard() {
    std::lock_guard<std::mutex> hold(mutex_);
    return under_board_;
  }
  std::map<std::string, int> UnderDrive() {
    std::lock_guard<std::mutex> hold(mutex_);
    return under_drive_;
  }

 private:
  const SimBoard& board_;
  const board::BoardLock& drive_lock_;
  std::mutex mutex_;
  std::map<std::string, int> calls_;        // guarded by mutex_
  std::string under_board_;                 // guarded by mutex_
  std::map<std::string, int> under_drive_;  // guarded by mutex_
};

class FileIoTest : public SimBoardTest {
 public:
  using SimBoardTest::b;
  using SimBoardTest::Path;

 protected:
  void SetUp() override {
    Make("Trunks=1\nAnalogPorts=0\nConfGroups=2\nFaxMs=20\nFaxResources=2\nStrict=1");
    b().WatchLock(&lock_);
    watch_ = std::make_unique<LockWatch>(b(), lock_);
    SetFileIoWatch(watch_.get());
    Write("p.raw", Pattern(640));
    Write("doc.tif", "II*\0page");
    System([&] { ASSERT_EQ(b().OpenBoard("", "prompt.ini"), 0); });
  }
  void TearDown() override {
    board_.reset();  // stops the media thread: no file call runs after
    SetFileIoWatch(nullptr);
  }

 public:
  // Runs calls as the system does: under its board lock.
  void System(const std::function<void()>& calls) {
    std::lock_guard<board::BoardLock> hold(lock_);
    calls();
  }
  template <typename F>
  int32_t Call(F f) {
    std::lock_guard<board::BoardLock> hold(lock_);
    return f();
  }
  bool WaitEnded(int32_t id) {
    return WaitUntil([&] { return Call([&] { return b().IsVoiceEnded(id); }) != 0; });
  }
  bool WaitFax(int32_t fax) {
    return WaitUntil([&] { return Call([&] { return b().FaxState(fax); }) != 0; });
  }

 protected:
  board::BoardLock lock_;
  std::unique_ptr<LockWatch> watch_;
};

struct FileIoCase {
  const char* name;
  bool stops_recording;  // the stop's last write happens under the system's lock
  std::function<void(FileIoTest&)> run;
};

// Each case starts its file work through the entries and waits for its end.
const FileIoCase kFileIoCases[] = {
    {"channel play to its end", false,
     [](FileIoTest& t) {
       int32_t id = t.Call([&] { return t.b().ChannelPlay(0, t.Path("p.raw"), 0, -1); });
       ASSERT_GE(id, 0);
       ASSERT_TRUE(t.WaitEnded(t.Call([&] { return t.b().ChannelPlayId(0); })));
     }},
    {"port play stopped", false,
     [](FileIoTest& t) {
       ASSERT_GE(t.Call([&] { return t.b().PortPlay(0, t.Path("p.raw"), 160, -1); }), 0);
       std::this_thread::sleep_for(milliseconds(40));
       t.System([&] { t.b().PortStopPlay(0); });
     }},
    {"conference play to its end", false,
     [](FileIoTest& t) {
       int32_t id = t.Call([&] { return t.b().ConfPlay(1, t.Path("p.raw"), 0, 320); });
       ASSERT_GT(id, 0);
       ASSERT_TRUE(t.WaitEnded(id));
     }},
    {"channel recording to its length", false,
     [](FileIoTest& t) {
       ASSERT_NE(t.Call([&] { return t.b().ChannelRecord(1, t.Path("r.raw"), 0, 480); }), 0);
       ASSERT_TRUE(t.WaitEnded(t.Call([&] { return t.b().ChannelRecordId(1); })));
     }},
    {"channel recording stopped", true,
     [](FileIoTest& t) {
       ASSERT_NE(t.Call([&] { return t.b().ChannelRecord(2, t.Path("r.raw"), 0, 80000); }), 0);
       std::this_thread::sleep_for(milliseconds(60));
       t.System([&] { t.b().StopChannelRecord(2); });
     }},
    {"port recording freed", true,
     [](FileIoTest& t) {
       int32_t id = t.Call([&] { return t.b().PortRecord(0, t.Path("r.raw"), 0, 80000); });
       ASSERT_GE(id, 0);
       std::this_thread::sleep_for(milliseconds(60));
       t.System([&] { t.b().FreeVoice(id); });
     }},
    {"conference recording to its length", false,
     [](FileIoTest& t) {
       int32_t id = t.Call([&] { return t.b().ConfRecord(0, t.Path("g.raw"), 100, 320); });
       ASSERT_GT(id, 0);
       ASSERT_TRUE(t.WaitEnded(id));
     }},
    {"fax send", false,
     [](FileIoTest& t) {
       ASSERT_NE(t.Call([&] { return t.b().FaxAttachChannel(0, 3); }), 0);
       ASSERT_GT(t.Call([&] { return t.b().FaxStartSend(0, t.Path("doc.tif")); }), 0);
       ASSERT_TRUE(t.WaitFax(0));
       t.System([&] { t.b().FaxDetach(0, 3); });
     }},
    {"fax receive", false,
     [](FileIoTest& t) {
       ASSERT_EQ(t.b().Inject(E(4), "doc.tif"), "");
       ASSERT_NE(t.Call([&] { return t.b().FaxAttachChannel(1, 4); }), 0);
       ASSERT_GT(t.Call([&] { return t.b().FaxStartReceive(1, t.Path("got.tif")); }), 0);
       ASSERT_TRUE(t.WaitFax(1));
       EXPECT_EQ(t.Call([&] { return t.b().FaxState(1); }), 1);
       t.System([&] { t.b().FaxDetach(1, 4); });
     }},
    {"board closed while a play and a recording run", true,
     [](FileIoTest& t) {
       t.System([&] {
         ASSERT_GE(t.b().ChannelPlay(5, t.Path("p.raw"), 0, -1), 0);
         ASSERT_NE(t.b().ChannelRecord(6, t.Path("r.raw"), 0, 80000), 0);
       });
       std::this_thread::sleep_for(milliseconds(60));
       t.System([&] { t.b().CloseBoard(); });
     }},
};

TEST_F(FileIoTest, NoFileCallUnderTheBoardsLock) {
  for (const FileIoCase& c : kFileIoCases) {
    SCOPED_TRACE(c.name);
    watch_->Clear();
    c.run(*this);
    // Let the media thread write and close what the case left.
    std::this_thread::sleep_for(milliseconds(60));
    std::map<std::string, int> calls = watch_->Calls();
    EXPECT_GT(calls["open"], 0);
    EXPECT_EQ(calls["close"], calls["open"]) << "every file opened is closed";
    EXPECT_EQ(watch_->UnderBoard(), "");
    std::map<std::string, int> drive = watch_->UnderDrive();
    EXPECT_EQ(drive["read"], 0);
    EXPECT_EQ(drive["close"], 0);
    EXPECT_LE(drive["write"], c.stops_recording ? 1 : 0);
  }
  EXPECT_TRUE(b().Violations().empty()) << testing::PrintToString(b().Violations());
}

// The moment a recording's end is told (the voice ended, its RECORDEND
// posted) every byte is in its file.
TEST_F(FileIoTest, RecordingIsCompleteWhenItsEndIsTold) {
  const std::string sent = Pattern(9000);  // more than a block of the file
  Write("in.raw", sent);
  ASSERT_EQ(b().Inject(E(0), "in.raw"), "");
  ASSERT_NE(Call([&] { return b().ChannelRecord(0, Path("rec.raw"), 0, 8800); }), 0);
  int32_t id = Call([&] { return b().ChannelRecordId(0); });
  size_t seen_at_end = 0;
  bool event_before_file = false;
  ASSERT_TRUE(WaitUntil(
      [&] {
        bool told = !EventsOf(b(), "RECORDEND").empty();
        bool ended = Call([&] { return b().IsVoiceEnded(id); }) != 0;
        std::string now = Read("rec.raw");
        if (told && now.size() < 8800) event_before_file = true;
        if (!ended) return false;
        seen_at_end = now.size();
        return true;
      },
      3000));
  EXPECT_FALSE(event_before_file);
  EXPECT_EQ(seen_at_end, 8800u);
  EXPECT_EQ(Read("rec.raw"), sent.substr(0, 8800));
  EXPECT_EQ(EventsOf(b(), "RECORDEND"), (std::vector<std::string>{"E0 8800"}));
}

// A play ends after its last byte, also when the file is exactly a block
// of reading long, and from an offset.
TEST_F(FileIoTest, PlayEndsAfterItsLastByte) {
  const std::string file = Pattern(kVoiceFileBlock + 200);
  Write("block.raw", file);
  ASSERT_EQ(b().CaptureStart(E(7), "cap.raw"), "");
  ASSERT_GE(Call([&] { return b().ChannelPlay(7, Path("block.raw"), 200, -1); }), 0);
  int32_t id = Call([&] { return b().ChannelPlayId(7); });
  const uint64_t start = b().ClockTicks();
  ASSERT_TRUE(WaitEnded(id));
  const uint64_t ticks = b().ClockTicks() - start;
  ASSERT_EQ(b().CaptureStop(E(7)), "");
  EXPECT_EQ(Read("cap.raw"), file.substr(200));
  EXPECT_GE(ticks, kVoiceFileBlock / kTickBytes);
  EXPECT_LE(ticks, kVoiceFileBlock / kTickBytes + 3);
  EXPECT_EQ(EventsOf(b(), "PLAYEND"), (std::vector<std::string>{"E7"}));
}

}  // namespace
}  // namespace simboard
