#include "frame/monitor.h"

#include <algorithm>

#include "frame/monitor_cursor.h"
#include "frame/run_cfg.h"
#include "platform/clock.h"

namespace frame {

namespace {

// The status words: each sets a state and the status colours.
struct StatusWord {
  const char* chinese;
  const char* english;
  uint8_t state;
  ColorPair colors;
};

const StatusWord kStatusWords[] = {
    {"已停止", "End", kStateEnded, {0, 13}},
    {"加载...", "Loading...", kStateLoading, {0, 10}},
    {"初始化失败", "InitErr", kStateInitError, {14, 4}},
    {"未配置", "Unset", kStateUnset, {0, 11}},
    {"运行", "Running", kStateRunning, {0, 15}},
    {"堵塞", "Blocked", kStateRunning, {14, 4}},
};

// Chinese words shown in English in English mode ("未配置" is not among them).
struct Translation {
  const char* chinese;
  const char* english;
};
const Translation kTranslations[] = {
    {"运行", "Running"},
    {"已停止", "End"},
    {"加载...", "Loading..."},
    {"初始化失败", "InitErr"},
    {"堵塞", "Blocked"},
};
constexpr std::string_view kConnectedWord = "连通";

std::atomic<TagMonitor*> g_monitor{nullptr};

bool ValidColor(int32_t c) { return c >= 0 && c <= 15; }

// The Run Info text for a statement text by IS_DISP_SENTE (false: mode
// shows nothing).
bool SentenceShown(std::string_view text, int32_t mode, std::string* out) {
  if (mode == 1) {
    out->assign(text);
    return true;
  }
  if (mode == 2) {
    size_t pos = text.find("//");
    if (pos == std::string_view::npos) {
      out->clear();
    } else {
      out->assign(text.substr(pos + 2));
    }
    return true;
  }
  return false;
}

}  // namespace

std::string StatusShownText(std::string_view word, bool english, bool talk_time) {
  if (!english) return std::string(word);
  for (const auto& t : kTranslations) {
    if (word == t.chinese) return t.english;
  }
  if (word.substr(0, kConnectedWord.size()) == kConnectedWord) {
    std::string shown = "Conn";
    if (talk_time) shown.append(word.substr(kConnectedWord.size()));
    return shown;
  }
  return std::string(word);
}

bool StatusWordState(std::string_view word, uint8_t* state, ColorPair* colors) {
  for (const auto& w : kStatusWords) {
    if (word == w.chinese || word == w.english) {
      *state = w.state;
      *colors = w.colors;
      return true;
    }
  }
  return false;
}

// ---- TagMonitor ----

TagMonitor::TagMonitor(int32_t line_count)
    : line_count_(std::max<int32_t>(line_count, 1)),
      recs_(new TagLineRec[static_cast<size_t>(line_count_)]) {}

TagMonitor::~TagMonitor() = default;

void TagMonitor::SetLineInfoSource(LineInfoSource* source) {
  source_.store(source, std::memory_order_release);
}

TagLineRec* TagMonitor::Rec(int line) const {
  if (line < 0 || line >= line_count_) return nullptr;
  return &recs_[static_cast<size_t>(line)];
}

void TagMonitor::Bump(TagLineRec& rec, int cell) const {
  // Version 0 means "never seen" to a cursor: skip it on wrap-around.
  if (rec.version[cell].fetch_add(1, std::memory_order_acq_rel) == UINT32_MAX) {
    rec.version[cell].fetch_add(1, std::memory_order_acq_rel);
  }
  if (cell == kCellKeys) rec.keys_bell.Ring();
}

void TagMonitor::RecomputeStatusColors(TagLineRec& rec) const {
  if (rec.state != kStateRunning) return;
  if (rec.blocked == 1) {
    rec.status = {14, 4};
  } else if (rec.connected) {
    rec.status = {1, 14};
  } else {
    rec.status = {0, 15};
  }
}

void TagMonitor::SetCell(std::string_view text, int line, int cell) {
  TagLineRec* rec = Rec(line);
  if (rec == nullptr || cell < 0 || cell >= kMonitorCells) return;
  std::lock_guard<std::mutex> lock(rec->mu);
  rec->cells[cell].assign(text);
  if (cell == kCellRunInfo) rec->step_index.store(-1, std::memory_order_relaxed);
  if (cell <= kLastStatusCell) RecomputeStatusColors(*rec);
  Bump(*rec, cell);
}

void TagMonitor::SetColors(int line, int32_t font, int32_t background) {
  TagLineRec* rec = Rec(line);
  if (rec == nullptr) return;
  std::lock_guard<std::mutex> lock(rec->mu);
  rec->status = {font, background};
  for (int c = 0; c <= kLastStatusCell; ++c) Bump(*rec, c);
}

void TagMonitor::SetUserColors(int line, int32_t font, int32_t background) {
  TagLineRec* rec = Rec(line);
  if (rec == nullptr) return;
  std::lock_guard<std::mutex> lock(rec->mu);
  if (ValidColor(font)) rec->user.font = font;
  if (ValidColor(background)) rec->user.background = background;
}

void TagMonitor::SetState(int line, uint8_t state) {
  TagLineRec* rec = Rec(line);
  if (rec == nullptr) return;
  std::lock_guard<std::mutex> lock(rec->mu);
  rec->state = state;
}

int TagMonitor::State(int line) const {
  TagLineRec* rec = Rec(line);
  if (rec == nullptr) return -1;
  std::lock_guard<std::mutex> lock(rec->mu);
  return rec->state;
}

void TagMonitor::SetConnected(int line, bool connected) {
  TagLineRec* rec = Rec(line);
  if (rec == nullptr) return;
  std::lock_guard<std::mutex> lock(rec->mu);
  rec->connected = connected ? 1 : 0;
}

bool TagMonitor::IsConnected(int line) const {
  TagLineRec* rec = Rec(line);
  if (rec == nullptr) return false;
  std::lock_guard<std::mutex> lock(rec->mu);
  return rec->connected != 0;
}

void TagMonitor::SetBlocked(int line, int32_t blocked) {
  TagLineRec* rec = Rec(line);
  if (rec == nullptr) return;
  std::lock_guard<std::mutex> lock(rec->mu);
  rec->blocked = blocked;
}

int32_t TagMonitor::Blocked(int line) const {
  TagLineRec* rec = Rec(line);
  if (rec == nullptr) return 0;
  std::lock_guard<std::mutex> lock(rec->mu);
  return rec->blocked;
}

ColorPair TagMonitor::GetUserColors(int line) const {
  TagLineRec* rec = Rec(line);
  if (rec == nullptr) return ColorPair{0, 15};
  std::lock_guard<std::mutex> lock(rec->mu);
  return rec->user;
}

ColorPair TagMonitor::GetStatusColors(int line) const {
  TagLineRec* rec = Rec(line);
  if (rec == nullptr) return ColorPair{0, 15};
  std::lock_guard<std::mutex> lock(rec->mu);
  return rec->status;
}

bool TagMonitor::ReadCell(int line, int cell, MonitorCell* out, uint32_t* version) const {
  TagLineRec* rec = Rec(line);
  if (rec == nullptr || cell < 0 || cell >= kMonitorCells) return false;
  int32_t index = -1;
  {
    std::lock_guard<std::mutex> lock(rec->mu);
    // The version first: whatever is read after it is at least as new.
    uint32_t v = rec->version[cell].load(std::memory_order_acquire);
    if (version != nullptr) *version = v;
    if (cell == kCellRunInfo) index = rec->step_index.load(std::memory_order_acquire);
    if (index < 0) out->text = rec->cells[cell];
    out->colors = cell <= kLastStatusCell ? rec->status : rec->user;
  }
  if (index >= 0) {
    // The statement text is built outside the lock: the source may be slow.
    LineInfoSource* source = Source();
    std::string text = source != nullptr ? source->StatementText(line, index) : std::string();
    if (!SentenceShown(text, RunCfg().sentence_mode, &out->text)) out->text.clear();
  }
  return true;
}

std::string TagMonitor::CellText(int line, int cell) const {
  MonitorCell c;
  ReadCell(line, cell, &c);
  return c.text;
}

uint32_t TagMonitor::CellVersion(int line, int cell) const {
  TagLineRec* rec = Rec(line);
  if (rec == nullptr || cell < 0 || cell >= kMonitorCells) return 0;
  return rec->version[cell].load(std::memory_order_acquire);
}

void TagMonitor::MarkStep(int line, int32_t index) {
  TagLineRec* rec = Rec(line);
  if (rec == nullptr || index < 0) return;
  int32_t mode = RunCfg().sentence_mode;
  if (mode != 1 && mode != 2) return;
  if (rec->step_index.exchange(index, std::memory_order_acq_rel) == index) return;
  Bump(*rec, kCellRunInfo);
}

std::string TagMonitor::Keys(int line) const {
  TagLineRec* rec = Rec(line);
  if (rec == nullptr) return std::string();
  std::lock_guard<std::mutex> lock(rec->mu);
  return rec->cells[kCellKeys];
}

size_t TagMonitor::KeysLen(int line) const {
  TagLineRec* rec = Rec(line);
  if (rec == nullptr) return 0;
  std::lock_guard<std::mutex> lock(rec->mu);
  return rec->cells[kCellKeys].size();
}

void TagMonitor::SetKeys(int line, std::string_view keys) { SetCell(keys, line, kCellKeys); }

void TagMonitor::AppendKeys(int line, std::string_view keys) {
  TagLineRec* rec = Rec(line);
  if (rec == nullptr || keys.empty()) return;
  std::lock_guard<std::mutex> lock(rec->mu);
  rec->cells[kCellKeys].append(keys);
  RecomputeStatusColors(*rec);
  Bump(*rec, kCellKeys);
}

bool TagMonitor::TakeKeysPrefix(int line, std::string_view prefix) {
  TagLineRec* rec = Rec(line);
  if (rec == nullptr) return false;
  std::lock_guard<std::mutex> lock(rec->mu);
  std::string& keys = rec->cells[kCellKeys];
  if (keys.compare(0, prefix.size(), prefix) != 0) return false;
  if (prefix.empty()) return true;
  keys.erase(0, prefix.size());
  RecomputeStatusColors(*rec);
  Bump(*rec, kCellKeys);
  return true;
}

platform::ChangeBell* TagMonitor::KeysBell(int line) const {
  TagLineRec* rec = Rec(line);
  return rec != nullptr ? &rec->keys_bell : nullptr;
}

// ---- the grid ----

int TagMonitor::GridRow(int line) const { return line / ColumnGroups() + 1; }

int TagMonitor::GridColumn(int line, int cell) const {
  return (line % ColumnGroups()) * kMonitorCells + cell;
}

int TagMonitor::LineOfGridCell(int row, int col) const {
  if (row < 1 || col < 0) return -1;
  return (row - 1) * ColumnGroups() + col / kMonitorCells;
}

void TagMonitor::InitGrid(TagMonitorGrid* grid) {
  if (grid == nullptr) return;
  const TagRunCfg& cfg = RunCfg();
  int32_t groups = std::clamp<int32_t>(cfg.column_groups, 1, 10);
  groups_.store(groups, std::memory_order_relaxed);
  int rows = line_count_ / groups + (line_count_ % groups != 0 ? 1 : 0) + 1;
  grid->Resize(rows, kMonitorCells * groups);
  for (int g = 1; g < groups; ++g) {
    for (int c = 0; c < kMonitorCells; ++c) {
      grid->SetColumnWidth(g * kMonitorCells + c, grid->ColumnWidth(c));
    }
  }
  LineInfoSource* source = Source();
  if (source != nullptr && source->DriveReady()) {
    static const char* const kChinese[5] = {"线路", "脚本文件", "状态", "当前按键", "运行信息"};
    static const char* const kEnglish[5] = {"Line", "Script File", "Status", "Keys", "Run Info"};
    const char* const* heads = cfg.language == 1 ? kEnglish : kChinese;
    for (int g = 0; g < groups; ++g) {
      for (int c = 0; c < 5; ++c) grid->SetText(0, g * kMonitorCells + c, heads[c]);
      for (int t = 0; t < 3; ++t) grid->SetText(0, g * kMonitorCells + 5 + t, cfg.titles[t]);
    }
  }
  grid_ = grid;
  grid_seen_ = std::make_unique<TagMonitorCursor>(*this);
}

int TagMonitor::Refresh() {
  if (grid_ == nullptr) return 0;
  const int groups = ColumnGroups();
  const int first_row = std::max(grid_->FirstVisibleRow(), 1);
  const int last_row = grid_->FirstVisibleRow() + grid_->VisibleRows();
  const int first_col = grid_->FirstVisibleCol();
  const int last_col = first_col + grid_->VisibleCols();
  if (last_row < first_row) return 0;
  // The lines of the visible rows.
  const int64_t first_line = static_cast<int64_t>(first_row - 1) * groups;
  const int64_t end_line =
      std::min<int64_t>(static_cast<int64_t>(last_row) * groups, line_count_);
  int copied = 0;
  size_t burst = 0;
  MonitorCell cell;
  for (int64_t line = first_line; line < end_line; ++line) {
    const int n = static_cast<int>(line);
    const int row = GridRow(n);
    for (int c = 0; c < kMonitorCells; ++c) {
      const int col = GridColumn(n, c);
      if (col < first_col || col > last_col) continue;
      if (!grid_seen_->Take(n, c, &cell)) continue;
      grid_->SetCell(row, col, cell);
      ++copied;
      ++burst;
    }
    if (burst > kRefreshBurst) {
      platform::GetClock().Sleep(kRefreshPauseMs);
      burst = 0;
    }
  }
  return copied;
}

int TagMonitor::SelectedLine() const {
  if (grid_ == nullptr) return -1;
  return LineOfGridCell(grid_->SelectedRow(), grid_->SelectedCol());
}

bool TagMonitor::IsDirty(int line, int cell) const {
  if (grid_seen_ == nullptr) return Rec(line) != nullptr && cell >= 0 && cell < kMonitorCells;
  return grid_seen_->Changed(line, cell);
}

void TagMonitor::OperatorTypedKeys(int line, std::string_view keys) {
  if (Rec(line) == nullptr) return;
  AppendKeys(line, keys);
  if (grid_ != nullptr) grid_->SetText(GridRow(line), GridColumn(line, kCellKeys), Keys(line));
}

void TagMonitor::OperatorErasedKey(int line) {
  TagLineRec* rec = Rec(line);
  if (rec == nullptr) return;
  {
    std::lock_guard<std::mutex> lock(rec->mu);
    std::string& keys = rec->cells[kCellKeys];
    if (keys.empty()) return;
    keys.pop_back();
    RecomputeStatusColors(*rec);
    Bump(*rec, kCellKeys);
  }
  if (grid_ != nullptr) grid_->SetText(GridRow(line), GridColumn(line, kCellKeys), Keys(line));
}

// ---- the process-wide table and its setters ----

void SetProcessMonitor(TagMonitor* monitor) {
  g_monitor.store(monitor, std::memory_order_release);
}

TagMonitor* ProcessMonitor() { return g_monitor.load(std::memory_order_acquire); }

int SetLineStatus(int line, std::string_view word) {
  if (line < 0) return -1;
  TagMonitor* m = ProcessMonitor();
  if (m == nullptr) return 0;
  const TagRunCfg& cfg = RunCfg();
  m->SetCell(StatusShownText(word, cfg.language == 1, cfg.disp_talk_time != 0), line,
             kCellStatus);
  uint8_t state;
  ColorPair colors;
  if (StatusWordState(word, &state, &colors)) {
    m->SetState(line, state);
    m->SetColors(line, colors.font, colors.background);
  }
  return 0;
}

int SetLineScript(int line, std::string_view text) {
  if (line < 0) return -1;
  if (TagMonitor* m = ProcessMonitor()) m->SetCell(text, line, kCellScript);
  return 0;
}

int SetLineUserInfo(int line, int n, std::string_view text) {
  if (line < 0) return -1;
  TagMonitor* m = ProcessMonitor();
  // n -5 to 2 reach every cell of the line's row; nothing lies beyond it.
  if (m != nullptr && n >= -kCellUser && n < kMonitorCells - kCellUser) {
    m->SetCell(text, line, kCellUser + n);
  }
  return 0;
}

int SetLineUserColor(int line, int32_t font, int32_t background) {
  if (line < 0) return -1;
  if (TagMonitor* m = ProcessMonitor()) m->SetUserColors(line, font, background);
  return 0;
}

int DispSentence(std::string_view text, int line) {
  if (line < 0) return -1;
  TagMonitor* m = ProcessMonitor();
  if (m == nullptr) return 0;
  std::string shown;
  if (SentenceShown(text, RunCfg().sentence_mode, &shown)) m->SetCell(shown, line, kCellRunInfo);
  return 0;
}

void MarkLineStep(int line, int32_t statement_index) {
  if (TagMonitor* m = ProcessMonitor()) m->MarkStep(line, statement_index);
}

int DispKeys(int line, std::string_view keys) {
  if (line < 0) return -1;
  TagMonitor* m = ProcessMonitor();
  if (m == nullptr) return 0;
  LineInfoSource* source = m->Source();
  int mode = 0;
  if (source == nullptr || !source->KeyDisplayMode(line, &mode)) return 0;
  if (mode == 0) return 0;
  if (mode == 2) {
    m->SetCell(std::string(std::min(keys.size(), kMaskedKeysMax), '*'), line, kCellKeys);
  } else {
    m->SetCell(keys, line, kCellKeys);
  }
  return 0;
}

std::string GetLineKeys(int line) {
  TagMonitor* m = ProcessMonitor();
  return m != nullptr ? m->Keys(line) : std::string();
}

int GetLineKeysLen(int line) {
  TagMonitor* m = ProcessMonitor();
  return m != nullptr ? static_cast<int>(m->KeysLen(line)) : 0;
}

void SetLineKeys(int line, std::string_view keys) {
  if (TagMonitor* m = ProcessMonitor()) m->SetKeys(line, keys);
}

void ClearLineKeys(int line) { SetLineKeys(line, std::string_view()); }

void AppendLineKeys(int line, std::string_view keys) {
  if (TagMonitor* m = ProcessMonitor()) m->AppendKeys(line, keys);
}

bool TakeLineKeysPrefix(int line, std::string_view prefix) {
  TagMonitor* m = ProcessMonitor();
  return m != nullptr && m->TakeKeysPrefix(line, prefix);
}

platform::ChangeBell* LineKeysBell(int line) {
  TagMonitor* m = ProcessMonitor();
  return m != nullptr ? m->KeysBell(line) : nullptr;
}

void DispMonitor(TagMonitorGrid* grid) {
  TagMonitor* m = ProcessMonitor();
  if (m == nullptr) return;
  LineInfoSource* source = m->Source();
  if (source != nullptr && source->DriveReady()) {
    const bool english = RunCfg().language == 1;
    for (int line = 0; line < m->LineCount(); ++line) {
      std::string head = std::to_string(line);
      head += " : ";
      head += source->LineName(line);
      m->SetCell(head, line, kCellLine);
      if (source->HasScript(line)) {
        m->SetCell(source->ScriptFileName(line), line, kCellScript);
        if (source->CompileResult(line) != 0) {
          SetLineStatus(line, english ? "Initialize failed." : "初始化失败");
        } else {
          SetLineStatus(line, english ? "Running" : "运行");
        }
      } else {
        m->SetCell("", line, kCellScript);
        SetLineStatus(line, english ? "Unset" : "未配置");
      }
    }
  }
  m->InitGrid(grid);
}

}  // namespace frame
