#include "frame/monitor_update.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "frame/monitor.h"

namespace frame {
namespace {

struct Record {
  int line;
  int cell;
  int font;
  int background;
  std::string text;
};

struct Update {
  uint32_t length = 0;
  int line_count = 0;
  std::vector<Record> cells;
  Record end{};
};

uint32_t U8(const std::string& b, size_t i) { return static_cast<unsigned char>(b[i]); }

// Decodes an update as a client does; fails the test on a malformed one.
Update Decode(const std::string& bytes) {
  Update u;
  EXPECT_GE(bytes.size(), kUpdateHeaderBytes + kUpdateRecordHeadBytes + 1);
  if (bytes.size() < kUpdateHeaderBytes) return u;
  u.length = U8(bytes, 0) | U8(bytes, 1) << 8 | U8(bytes, 2) << 16 | U8(bytes, 3) << 24;
  EXPECT_EQ(u.length, bytes.size() - 4);
  u.line_count = static_cast<int>(U8(bytes, 4) | U8(bytes, 5) << 8);
  size_t at = kUpdateHeaderBytes;
  while (at + kUpdateRecordHeadBytes < bytes.size()) {
    Record r;
    r.line = static_cast<int>(U8(bytes, at) | U8(bytes, at + 1) << 8);
    r.cell = static_cast<int>(U8(bytes, at + 2));
    r.font = static_cast<int>(U8(bytes, at + 3));
    r.background = static_cast<int>(U8(bytes, at + 4));
    size_t nul = bytes.find('\0', at + kUpdateRecordHeadBytes);
    EXPECT_NE(nul, std::string::npos);
    if (nul == std::string::npos) return u;
    r.text = bytes.substr(at + kUpdateRecordHeadBytes, nul - at - kUpdateRecordHeadBytes);
    at = nul + 1;
    if (r.line == kUpdateEndLine && r.cell == kUpdateEndCell) {
      u.end = r;
      EXPECT_EQ(at, bytes.size()) << "bytes after the end record";
      return u;
    }
    u.cells.push_back(r);
  }
  ADD_FAILURE() << "no end record";
  return u;
}

// Fills every cell of every line with a text of exactly 40 bytes.
void FillFull(TagMonitor& m) {
  for (int line = 0; line < m.LineCount(); ++line) {
    for (int cell = 0; cell < kMonitorCells; ++cell) {
      char head[32];
      snprintf(head, sizeof head, "%03d:%d:", line, cell);
      std::string text = head;
      text.resize(kUpdateCellTextMax, 'x');
      m.SetCell(text, line, cell);
    }
  }
}

TEST(GbkPrefixTest, CutsWithoutSplittingDoubleByteCharacters) {
  const std::string run = "运行";  // two GBK characters, four bytes
  ASSERT_EQ(run.size(), 4u);
  struct Case {
    std::string text;
    size_t max;
    size_t expected;
  };
  const Case cases[] = {
      {std::string(60, 'a'), 40, 40},
      {std::string(39, 'a') + run, 40, 39},         // a pair would straddle the cut
      {std::string(38, 'a') + run, 40, 40},         // the first pair fits exactly
      {"a" + run + run + run + run + run, 10, 9},   // odd offset: pairs walked from the start
      {run + std::string(1, '\0') + "hidden", 40, 4},  // stops at a NUL
      {std::string(3, 'a') + "\xB5", 40, 4},        // a lone lead byte at the end is one byte
      {std::string(3, 'a') + "\xB5\x5C", 4, 3},     // 0x5C is a trail byte here, not '\'
      {"", 40, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GbkPrefix(c.text, c.max), c.text.substr(0, c.expected)) << c.text;
  }
}

TEST(MonitorUpdateTest, FirstUpdateCarriesEveryCellWithItsColours) {
  TagMonitor m(3);
  m.SetCell("0 : E1-0", 0, kCellLine);
  m.SetCell("main.vts", 0, kCellScript);
  m.SetColors(1, 14, 4);
  m.SetUserColors(2, 2, 9);
  m.SetCell("运行", 2, kCellUser + 1);
  MonitorUpdateBuilder builder(m, 3);
  Update u = Decode(builder.Next("连通数:1.0"));
  EXPECT_EQ(u.line_count, 3);
  ASSERT_EQ(u.cells.size(), 3u * kMonitorCells);
  for (size_t i = 0; i < u.cells.size(); ++i) {
    const Record& r = u.cells[i];
    EXPECT_EQ(r.line, static_cast<int>(i) / kMonitorCells);
    EXPECT_EQ(r.cell, static_cast<int>(i) % kMonitorCells);
    ColorPair want = r.cell <= kLastStatusCell ? m.GetStatusColors(r.line) : m.GetUserColors(r.line);
    EXPECT_EQ(r.font, want.font) << r.line << "/" << r.cell;
    EXPECT_EQ(r.background, want.background) << r.line << "/" << r.cell;
  }
  EXPECT_EQ(u.cells[0].text, "0 : E1-0");
  EXPECT_EQ(u.cells[1].text, "main.vts");
  EXPECT_EQ(u.cells[kMonitorCells + kCellStatus].font, 14);
  EXPECT_EQ(u.cells[kMonitorCells + kCellStatus].background, 4);
  EXPECT_EQ(u.cells[2 * kMonitorCells + 6].text, "运行");
  EXPECT_EQ(u.cells[2 * kMonitorCells + 6].font, 2);
  EXPECT_EQ(u.cells[2 * kMonitorCells + 6].background, 9);
  EXPECT_EQ(u.end.line, 0xFFFF);
  EXPECT_EQ(u.end.cell, 0xFF);
  EXPECT_EQ(u.end.font, 0);
  EXPECT_EQ(u.end.background, 0);
  EXPECT_EQ(u.end.text, "连通数:1.0");
}

TEST(MonitorUpdateTest, UnchangedTableGivesHeaderAndEndRecordOnly) {
  TagMonitor m(4);
  MonitorUpdateBuilder builder(m, 4);
  builder.Next("");
  const std::string bytes = builder.Next("sum");
  // length, line count, end record head, "sum", NUL
  const std::string expected("\x0b\x00\x00\x00\x04\x00\xff\xff\xff\x00\x00sum\x00", 15);
  EXPECT_EQ(bytes, expected);
  // Only what changed comes next, once.
  m.SetCell("Keys", 3, kCellKeys);
  Update u = Decode(builder.Next(""));
  ASSERT_EQ(u.cells.size(), 1u);
  EXPECT_EQ(u.cells[0].line, 3);
  EXPECT_EQ(u.cells[0].cell, kCellKeys);
  EXPECT_EQ(u.cells[0].text, "Keys");
  EXPECT_TRUE(Decode(builder.Next("")).cells.empty());
}

TEST(MonitorUpdateTest, CellTextsAreCutToFortyBytesOnCharacterBounds) {
  TagMonitor m(1);
  MonitorUpdateBuilder builder(m, 1);
  builder.Next("");
  const std::string sixty = std::string(20, 'a') + std::string(20, 'b') + std::string(20, 'c');
  m.SetCell(sixty, 0, kCellRunInfo);
  m.SetCell(std::string(39, 'x') + "连通", 0, kCellUser);
  Update u = Decode(builder.Next(""));
  ASSERT_EQ(u.cells.size(), 2u);
  EXPECT_EQ(u.cells[0].text, sixty.substr(0, 40));
  EXPECT_EQ(u.cells[1].text, std::string(39, 'x'));
}

TEST(MonitorUpdateTest, SummaryIsCutTo511Bytes) {
  TagMonitor m(1);
  MonitorUpdateBuilder builder(m, 1);
  EXPECT_EQ(Decode(builder.Next(std::string(600, 's'))).end.text, std::string(511, 's'));
  std::string gbk;
  while (gbk.size() < 600) gbk += "外";  // byte 511 would split a pair
  EXPECT_EQ(Decode(builder.Next(gbk)).end.text == gbk.substr(0, 510), true);
}

TEST(MonitorUpdateTest, LineCountIsSentAsItsLow16BitsAndOnlyTableLinesAreWalked) {
  TagMonitor m(2);
  MonitorUpdateBuilder builder(m, 65536 + 5);
  Update u = Decode(builder.Next(""));
  EXPECT_EQ(u.line_count, 5);
  EXPECT_EQ(u.cells.size(), 2u * kMonitorCells);
  MonitorUpdateBuilder none(m, 0);
  EXPECT_TRUE(Decode(none.Next("")).cells.empty());
}

TEST(MonitorUpdateTest, CutUpdateIsContinuedToTheEndThenRestartsAtLineZero) {
  TagMonitor m(120);
  FillFull(m);
  MonitorUpdateBuilder builder(m, 120);

  const std::string first_bytes = builder.Next("S");
  Update first = Decode(first_bytes);
  // 46-byte records after the 6-byte header: the 544th reaches 25,000.
  const size_t per_record = kUpdateRecordHeadBytes + kUpdateCellTextMax + 1;
  const size_t taken = (kUpdateCutBytes - kUpdateHeaderBytes + per_record - 1) / per_record;
  ASSERT_EQ(first.cells.size(), taken);
  EXPECT_LT(first_bytes.size() - 7, kUpdateCutBytes + per_record);
  EXPECT_EQ(first.end.text, "S");
  EXPECT_EQ(builder.next_line(), static_cast<int32_t>(taken / kMonitorCells));
  EXPECT_EQ(builder.next_cell(), static_cast<int32_t>(taken % kMonitorCells));

  // Line 0 changes meanwhile: the continuation still goes on from the cut.
  m.SetCell("again", 0, kCellStatus);
  Update rest = Decode(builder.Next("S"));
  ASSERT_EQ(rest.cells.size(), 120u * kMonitorCells - taken);
  std::vector<Record> all = first.cells;
  all.insert(all.end(), rest.cells.begin(), rest.cells.end());
  for (size_t i = 0; i < all.size(); ++i) {
    ASSERT_EQ(all[i].line, static_cast<int>(i) / kMonitorCells) << i;
    ASSERT_EQ(all[i].cell, static_cast<int>(i) % kMonitorCells) << i;
    ASSERT_EQ(all[i].text.size(), kUpdateCellTextMax);
  }
  EXPECT_EQ(builder.next_line(), 0);

  Update third = Decode(builder.Next("S"));
  ASSERT_EQ(third.cells.size(), 1u);
  EXPECT_EQ(third.cells[0].line, 0);
  EXPECT_EQ(third.cells[0].text, "again");
}

TEST(MonitorUpdateTest, BusyEarlyLinesDoNotStarveLaterOnes) {
  // Lines 0-99 change before every request; line 119 changes once. Walking
  // from line 0 each time would never reach it.
  TagMonitor m(120);
  MonitorUpdateBuilder builder(m, 120);
  builder.Next("");
  builder.Next("");
  m.SetCell("late", 119, kCellUser);
  bool seen = false;
  for (int round = 0; round < 4 && !seen; ++round) {
    for (int line = 0; line < 100; ++line) {
      for (int cell = 0; cell < kMonitorCells; ++cell) {
        m.SetCell(std::string(40, static_cast<char>('a' + round)), line, cell);
      }
    }
    Update u = Decode(builder.Next(""));
    for (size_t i = 1; i < u.cells.size(); ++i) {
      ASSERT_LT(u.cells[i - 1].line * kMonitorCells + u.cells[i - 1].cell,
                u.cells[i].line * kMonitorCells + u.cells[i].cell);
    }
    for (const Record& r : u.cells) seen = seen || (r.line == 119 && r.text == "late");
  }
  EXPECT_TRUE(seen);
}

}  // namespace
}  // namespace frame
