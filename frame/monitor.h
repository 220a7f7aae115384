// The line monitor table: for every line the eight texts that the operator
// sees in the main window's grid and that monitoring clients receive
// (0 Line, 1 Script File, 2 Status, 3 Keys, 4 Run Info, 5-7 the user cells
// titled TITLE1-TITLE3), the line's state and two colour pairs.
//
// Change marks. Every cell carries a version number that each change bumps.
// A reader of changes (the grid's refresh, each monitor client) keeps a
// TagMonitorCursor of the versions it has seen: a cell is "dirty" for that
// reader while its version differs. Writers thus mark a cell changed at
// every reader with one atomic increment, without knowing the readers.
//
// Run Info. The run loop calls MarkStep before every statement: it stores
// the statement's index and bumps the cell's version (no lock, no
// allocation). The text is built from the index when the cell is read,
// through the LineInfoSource, as DispSentence would have built it.
//
// Keys. The Keys cell is the one store of a line's keys: line threads
// write it (DispKeys), the operator types into it through the grid and
// virtual lines take their input from it, all under the line's lock with
// read-modify-write operations that lose no key.
//
// Thread rules: the setters, the keys operations and MarkStep may be called
// from any thread; InitGrid, Refresh, SelectedLine, OperatorTypedKeys and
// OperatorErasedKey on the window thread only. Each line record has its own short lock, held only
// to copy or replace its fields (never while calling out).
#ifndef VTTEL_FRAME_MONITOR_H_
#define VTTEL_FRAME_MONITOR_H_

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "frame/monitor_grid.h"
#include "frame/monitor_line_info.h"
#include "platform/change_bell.h"

namespace frame {

class TagMonitorCursor;

// Cells of a line record.
inline constexpr int kMonitorCells = 8;
inline constexpr int kCellLine = 0;
inline constexpr int kCellScript = 1;
inline constexpr int kCellStatus = 2;
inline constexpr int kCellKeys = 3;
inline constexpr int kCellRunInfo = 4;
inline constexpr int kCellUser = 5;  // 5-7: the user cells
// Cells 0 to this one take the status colours, the others the user colours.
inline constexpr int kLastStatusCell = 4;

// Line states.
inline constexpr uint8_t kStateInitError = 0;
inline constexpr uint8_t kStateUnset = 1;
inline constexpr uint8_t kStateLoading = 2;
inline constexpr uint8_t kStateRunning = 3;
inline constexpr uint8_t kStateEnded = 4;

// The most '*' that the masked key display (mode 2) shows.
inline constexpr size_t kMaskedKeysMax = 20;
// Refresh sleeps this long after copying more than kRefreshBurst cells.
inline constexpr size_t kRefreshBurst = 20;
inline constexpr uint32_t kRefreshPauseMs = 60;

struct Rgb {
  uint8_t red, green, blue;
  bool operator==(const Rgb&) const = default;
};

// The 16 colours that colour indexes select.
inline constexpr Rgb kMonitorColors[16] = {
    {0, 0, 0},       {0, 0, 255},     {0, 128, 0},     {0, 255, 255},
    {255, 0, 0},     {255, 0, 255},   {128, 128, 0},   {192, 192, 192},
    {128, 128, 128}, {166, 202, 240}, {0, 255, 64},    {128, 255, 255},
    {255, 0, 0},     {255, 0, 128},   {255, 255, 0},   {255, 255, 255}};

// One line's record. All fields but the atomics are guarded by mu.
struct TagLineRec {
  mutable std::mutex mu;
  std::string cells[kMonitorCells];   // cell 3 is the line's keys store
  uint8_t state = kStateLoading;      // kState*
  uint8_t connected = 0;              // kept by the display timer
  int32_t blocked = 0;                // 1 blocked, 0 not, -1 no script
  ColorPair user;                     // colours of cells 5-7
  ColorPair status;                   // colours of cells 0-4
  // Bumped after every change of the cell's text or colours.
  std::atomic<uint32_t> version[kMonitorCells];
  // The statement index the Run Info cell shows lazily; -1: cells[4] holds
  // the text itself.
  std::atomic<int32_t> step_index{-1};
  // Rung at every change of the Keys cell (thread-safe by itself): a
  // virtual line waits for its keys on it.
  platform::ChangeBell keys_bell;

  TagLineRec() {
    for (auto& v : version) v.store(1, std::memory_order_relaxed);
  }
};

class TagMonitor {
 public:
  // At least one record is made, also for 0 lines.
  explicit TagMonitor(int32_t line_count);
  ~TagMonitor();
  TagMonitor(const TagMonitor&) = delete;
  TagMonitor& operator=(const TagMonitor&) = delete;

  int32_t LineCount() const { return line_count_; }
  // 1 until InitGrid sets COL_GROUP_NUM.
  int32_t ColumnGroups() const { return groups_.load(std::memory_order_relaxed); }

  // The source of line facts; it must outlive its installation (see
  // monitor_line_info.h). nullptr removes it.
  void SetLineInfoSource(LineInfoSource* source);
  LineInfoSource* Source() const { return source_.load(std::memory_order_acquire); }

  // Table operations; all ignore a line outside 0..LineCount()-1.
  // Stores the text and marks the cell changed. For cells 0-4 of a running
  // line the status colours are recomputed first (blocked: 14 on 4, else
  // connected: 1 on 14, else 0 on 15). Cell 4 set here drops a pending
  // MarkStep index.
  void SetCell(std::string_view text, int line, int cell);
  // Sets the status colours and marks cells 0-4 changed.
  void SetColors(int line, int32_t font, int32_t background);
  // Sets each user colour that is 0-15; marks nothing changed.
  void SetUserColors(int line, int32_t font, int32_t background);
  void SetState(int line, uint8_t state);
  // The state; -1 for a bad line.
  int State(int line) const;
  void SetConnected(int line, bool connected);
  bool IsConnected(int line) const;
  void SetBlocked(int line, int32_t blocked);
  int32_t Blocked(int line) const;
  // Black on white for a bad line.
  ColorPair GetUserColors(int line) const;
  ColorPair GetStatusColors(int line) const;

  // The cell's text and colours as a reader shows them (Run Info built from
  // the statement index when one is pending); *version, when given,
  // receives the version the snapshot is at least as new as. False for a
  // bad line or cell.
  bool ReadCell(int line, int cell, MonitorCell* out, uint32_t* version = nullptr) const;
  std::string CellText(int line, int cell) const;
  uint32_t CellVersion(int line, int cell) const;

  // The run loop's step hook: statement `index` is about to run on the
  // line. Lock-free and allocation-free; does nothing when IS_DISP_SENTE is
  // neither 1 nor 2 or when the index is already shown.
  void MarkStep(int line, int32_t index);

  // The keys store (cell 3). Append and TakePrefix are the read-modify-write
  // operations for input: TakePrefix removes `prefix` from the front only
  // when the store still begins with it (false otherwise: read again).
  std::string Keys(int line) const;
  size_t KeysLen(int line) const;
  void SetKeys(int line, std::string_view keys);
  void AppendKeys(int line, std::string_view keys);
  bool TakeKeysPrefix(int line, std::string_view prefix);
  // The bell of the line's Keys cell (TagLineRec::keys_bell); null for a
  // bad line. It lives as long as the table.
  platform::ChangeBell* KeysBell(int line) const;

  // Window thread: sizes the grid for COL_GROUP_NUM groups, writes the
  // headers when the line drive is ready, and makes every cell dirty for it.
  // The grid must outlive the table or the next InitGrid.
  void InitGrid(TagMonitorGrid* grid);
  // Window thread: copies the dirty cells in the grid's visible area into
  // it, pausing kRefreshPauseMs after each line that brought the count of
  // copied cells above kRefreshBurst. Returns the number of cells copied.
  int Refresh();
  // Window thread: the line of the grid's selected cell; -1 for the header
  // row or without a grid (the caller checks the line exists).
  int SelectedLine() const;
  // Window thread: whether the cell is dirty for the grid.
  bool IsDirty(int line, int cell) const;
  // Window thread: the operator typed keys into the line's Keys cell; they
  // are added to the store and the grid shows the store at once.
  void OperatorTypedKeys(int line, std::string_view keys);
  // Window thread: the operator erased the last key of the Keys cell: the
  // last key the line has not taken yet goes from the store (nothing when
  // none is left) and the grid shows the store at once.
  void OperatorErasedKey(int line);

  // Grid geometry for the current column groups.
  int GridRow(int line) const;
  int GridColumn(int line, int cell) const;
  int LineOfGridCell(int row, int col) const;

 private:
  TagLineRec* Rec(int line) const;
  void Bump(TagLineRec& rec, int cell) const;
  void RecomputeStatusColors(TagLineRec& rec) const;  // REQUIRES: rec.mu held

  int32_t line_count_;
  std::unique_ptr<TagLineRec[]> recs_;
  std::atomic<int32_t> groups_{1};
  std::atomic<LineInfoSource*> source_{nullptr};
  TagMonitorGrid* grid_ = nullptr;               // window thread
  std::unique_ptr<TagMonitorCursor> grid_seen_;  // window thread
};

// The process-wide table: the frame's start-up installs it after building
// the line drive's count and removes it after the line drive is gone. The
// installer owns it.
void SetProcessMonitor(TagMonitor* monitor);
TagMonitor* ProcessMonitor();

// The setters that other subsystems call. They do nothing while no table is
// installed; a negative line gives -1.
// Status cell with the status word, and its state and colours; returns 0.
int SetLineStatus(int line, std::string_view word);
// Script File cell; returns 0.
int SetLineScript(int line, std::string_view text);
// Cell n + 5 of the line's row: "DispInfo(" gives n 0-2 for the user cells,
// and n -5 to -1 write the line's other cells; n outside -5 to 2 changes
// nothing. Returns 0.
int SetLineUserInfo(int line, int n, std::string_view text);
// User colours ("SetDispColor("); returns 0.
int SetLineUserColor(int line, int32_t font, int32_t background);
// Run Info cell by IS_DISP_SENTE: 1 the whole statement text, 2 the text
// after its first "//" (empty without one), other values nothing.
int DispSentence(std::string_view text, int line);
// The step hook for the process-wide table (see TagMonitor::MarkStep).
void MarkLineStep(int line, int32_t statement_index);
// Keys cell by the line script's key display mode: 0 nothing, 2 one '*'
// per key (at most 20), other values the keys themselves. Nothing when the
// line has no script or no source is installed.
int DispKeys(int line, std::string_view keys);
// The keys store; without a table an empty text, 0 or false.
std::string GetLineKeys(int line);
int GetLineKeysLen(int line);
void SetLineKeys(int line, std::string_view keys);
void ClearLineKeys(int line);
void AppendLineKeys(int line, std::string_view keys);
bool TakeLineKeysPrefix(int line, std::string_view prefix);
// The bell of the line's Keys cell in the table; null without a table or
// for a bad line.
platform::ChangeBell* LineKeysBell(int line);
// Window thread, after the line drive is built: fills every line's cells
// when the drive is ready, then InitGrid(grid).
void DispMonitor(TagMonitorGrid* grid);

// The text that SetLineStatus shows for a word (the English translation in
// English mode), and the state and colours the word sets (false when the
// word sets none).
std::string StatusShownText(std::string_view word, bool english, bool talk_time);
bool StatusWordState(std::string_view word, uint8_t* state, ColorPair* colors);

}  // namespace frame

#endif  // VTTEL_FRAME_MONITOR_H_
