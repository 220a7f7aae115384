#include "gui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QMetaObject>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindowStateChangeEvent>
#include <filesystem>
#include <tuple>

#include "frame/form_pos.h"
#include "frame/frame_controller.h"
#include "frame/log.h"
#include "frame/monitor.h"
#include "engine/tel_basic.h"
#include "gui/default_layout.h"
#include "gui/qt_text.h"
#include "platform/codepage.h"
#include "platform/host_path.h"
#include "platform/message_service.h"

#if defined(__SANITIZE_ADDRESS__)
// fontconfig and D-Bus (the desktop's tray and session) keep their caches
// until the process ends; LeakSanitizer would report them for every
// program with a window.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libdbus-1.so\n";
}
#endif

namespace gui {
namespace {

constexpr int kTrayIconSize = 32;
constexpr int kVersionLabelWidth = 120;
constexpr int kClockPanelWidth = 70;
// The window's size until a saved place or the default layout sets one:
// room for one column group at its built-in widths.
constexpr int kBuiltInWidth = 820;
constexpr int kBuiltInHeight = 560;
// The tray icons' colours: the application's icon (all well) and the
// problem state.
const QColor kOkIconColor(0, 128, 0);
const QColor kProblemIconColor(255, 0, 0);

QIcon RoundIcon(const QColor& color) {
  QPixmap pixmap(kTrayIconSize, kTrayIconSize);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setBrush(color);
  painter.setPen(QPen(Qt::black, 2));
  painter.drawEllipse(2, 2, kTrayIconSize - 4, kTrayIconSize - 4);
  return QIcon(pixmap);
}

// The log file in use: LOG_FILE itself, or in dated mode the newest file
// of its folder named after it ("msg_log20261210_135826.txt" for
// "msg_log.txt"). A script-visible path (GBK).
std::string LogFileInUse(const std::string& log_file) {
  const std::optional<std::string> host = platform::ToHostPath(log_file);
  if (!host) return log_file;
  namespace fs = std::filesystem;
  const fs::path named(*host);
  std::error_code ec;
  if (fs::is_regular_file(named, ec)) return log_file;
  const fs::path folder = named.has_parent_path() ? named.parent_path() : fs::path(".");
  const std::string stem = named.stem().string();
  const std::string extension = named.extension().string();
  fs::path newest;
  fs::file_time_type newest_time{};
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.rfind(stem, 0) != 0 || it->path().extension().string() != extension) continue;
    if (!it->is_regular_file(ec)) continue;
    const fs::file_time_type time = it->last_write_time(ec);
    if (!ec && (newest.empty() || time > newest_time)) {
      newest = it->path();
      newest_time = time;
    }
  }
  if (newest.empty()) return log_file;
  return platform::Utf8ToGbk(fs::absolute(newest, ec).string());
}

}  // namespace

MainWindow::MainWindow(const frame::TagRunCfg* cfg, bool tray_available, QWidget* parent)
    : QMainWindow(parent), cfg_(cfg), tray_available_(tray_available) {
  setObjectName("TForm1");
  ok_icon_ = RoundIcon(kOkIconColor);
  problem_icon_ = RoundIcon(kProblemIconColor);
  setWindowIcon(ok_icon_);
  setWindowTitle(FromGbk(WindowTitle("", false)));
  BuildStatusArea();
  grid_view_ = new LineGridView(this);
  grid_view_->setObjectName("LineGrid");
  grid_view_->SetKeysHandler(
      [this](int row, int col, const std::string& keys) { TypedKeys(row, col, keys); });
  grid_view_->SetEraseHandler([this](int row, int col) { ErasedKey(row, col); });
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(status_area_);
  splitter_ = new QSplitter(Qt::Vertical, central);
  splitter_->addWidget(grid_view_);
  layout->addWidget(splitter_, 1);
  setCentralWidget(central);
  BuildActions();
  BuildMenus();
  resize(kBuiltInWidth, kBuiltInHeight);
}

MainWindow::~MainWindow() {
  if (tray_) tray_->hide();
}

QLabel* MainWindow::AddPanel(const char* name, int stretch) {
  auto* panel = new QLabel(status_area_);
  panel->setObjectName(name);
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel->setAlignment(Qt::AlignCenter);
  static_cast<QHBoxLayout*>(status_area_->layout())->addWidget(panel, stretch);
  return panel;
}

void MainWindow::BuildStatusArea() {
  status_area_ = new QWidget(this);
  status_area_->setObjectName("Panel1");
  status_area_->setFixedHeight(kStatusAreaHeight);
  auto* layout = new QHBoxLayout(status_area_);
  layout->setContentsMargins(4, 4, 4, 4);
  version_ = AddPanel("VerLab", 0);
  version_->setFrameStyle(QFrame::NoFrame);
  version_->setMinimumWidth(kVersionLabelWidth);
  QFont bold = version_->font();
  bold.setBold(true);
  version_->setFont(bold);
  info_ = AddPanel("InfoPanel", 2);
  clock_ = AddPanel("TimerPanel", 0);
  clock_->setMinimumWidth(kClockPanelWidth);
  monitor_conn_ = AddPanel("MonConnPanel", 2);
  lines_ = AddPanel("LinePanel", 3);
  count_ = AddPanel("CountPanel", 4);
}

QAction* MainWindow::MakeAction(Entry entry) {
  auto* a = new QAction(this);
  actions_[entry] = a;
  return a;
}

QAction* MainWindow::action(Entry entry) const {
  auto it = actions_.find(entry);
  return it != actions_.end() ? it->second : nullptr;
}

void MainWindow::BuildActions() {
  connect(MakeAction(Entry::kOpen), &QAction::triggered, this, [this] { ShowFromTray(); });
  MakeAction(Entry::kReset)->setEnabled(false);  // there is no reset
  connect(MakeAction(Entry::kReload), &QAction::triggered, this, [this] {
    if (loop_ != nullptr) loop_->Reload();
  });
  connect(MakeAction(Entry::kExit), &QAction::triggered, this, [this] {
    if (loop_ != nullptr) loop_->Exit();
  });
  connect(MakeAction(Entry::kConfigure), &QAction::triggered, this,
          [] { platform::OpenDocument(frame::kRunCfgFileName); });
  connect(MakeAction(Entry::kViewLog), &QAction::triggered, this, [this] { OpenLogFile(); });
  connect(MakeAction(Entry::kStatusToggle), &QAction::triggered, this,
          [this] { ToggleStatusArea(); });
  connect(MakeAction(Entry::kHangup), &QAction::triggered, this, [this] { HangupSelected(); });
  connect(MakeAction(Entry::kOpenDebug), &QAction::triggered, this, [this] { OpenSelectedPage(); });
  connect(MakeAction(Entry::kOpenPage), &QAction::triggered, this, [this] { OpenSelectedPage(); });
  // The other debugger commands act on the pages, when there are any.
  using Command = void (DebugPages::*)();
  const std::tuple<Entry, QKeySequence, Command> debug_entries[] = {
      {Entry::kClosePage, QKeySequence(Qt::Key_F2), nullptr},
      {Entry::kCloseAll, QKeySequence(), &DebugPages::CloseAllPages},
      {Entry::kStep, QKeySequence(Qt::Key_F8), &DebugPages::Step},
      {Entry::kRun, QKeySequence(Qt::Key_F9), &DebugPages::Run},
      {Entry::kFlush, QKeySequence(Qt::Key_F5), &DebugPages::RefreshVars},
      {Entry::kCallStack, QKeySequence(Qt::Key_F4), &DebugPages::ShowCallStack},
      {Entry::kBreakpoint, QKeySequence(Qt::Key_F6), &DebugPages::ToggleBreakpoint},
  };
  for (const auto& [entry, keys, command] : debug_entries) {
    QAction* a = MakeAction(entry);
    a->setShortcut(keys);
    // The keys work wherever the focus is in the window.
    a->setShortcutContext(Qt::WindowShortcut);
    addAction(a);
    connect(a, &QAction::triggered, this, [this, command = command] {
      if (pages_ == nullptr) return;
      if (command != nullptr) {
        (pages_->*command)();
      } else {
        pages_->SetAutoRefresh(false);
        pages_->CloseCurrent();
      }
      if (!pages_->HasPages()) ShowPanel(false);
    });
  }
}

void MainWindow::SetDebugger(engine::DebugRunObserver* observer, ScriptSource source) {
  script_source_ = source;
  pages_ = new DebugPages(observer, std::move(source), splitter_);
  splitter_->addWidget(pages_);
  pages_->ApplyCaptions(cfg_->language == 1);
  pages_->hide();
  connect(pages_, &DebugPages::Emptied, this, [this] { ShowPanel(false); });
}

void MainWindow::ShowPanel(bool shown) {
  if (pages_ != nullptr) pages_->setVisible(shown);
}

bool MainWindow::CanOpenPage(int line) const {
  if (pages_ == nullptr || cfg_->sentence_mode != 1 || line < 0 || pages_->HasPage(line)) {
    return false;
  }
  const std::shared_ptr<engine::TagTelBasic> script = script_source_(line);
  return script != nullptr && script->scrambled == 0;
}

void MainWindow::OpenSelectedPage() {
  const int line = SelectedReadyLine();
  if (!CanOpenPage(line)) return;
  if (pages_->OpenPage(line)) ShowPanel(true);
}

void MainWindow::BuildMenus() {
  file_menu_ = menuBar()->addMenu(QString());
  file_menu_->addAction(action(Entry::kConfigure));
  file_menu_->addAction(action(Entry::kViewLog));
  file_menu_->addSeparator();
  file_menu_->addAction(action(Entry::kExit));
  operation_menu_ = menuBar()->addMenu(QString());
  operation_menu_->addAction(action(Entry::kReset));
  operation_menu_->addAction(action(Entry::kReload));
  operation_menu_->addAction(action(Entry::kStatusToggle));
  debug_menu_ = menuBar()->addMenu(QString());
  for (Entry e : {Entry::kOpenPage, Entry::kClosePage, Entry::kCloseAll, Entry::kStep, Entry::kRun,
                  Entry::kFlush, Entry::kCallStack, Entry::kBreakpoint}) {
    debug_menu_->addAction(action(e));
  }
  popup_ = new QMenu(this);
  for (Entry e : {Entry::kOpen, Entry::kReset, Entry::kReload, Entry::kStatusToggle,
                  Entry::kConfigure, Entry::kViewLog, Entry::kOpenDebug, Entry::kHangup}) {
    popup_->addAction(action(e));
  }
  popup_->addSeparator();
  popup_->addAction(action(Entry::kExit));
  connect(popup_, &QMenu::aboutToShow, this, [this] { UpdatePopupState(); });
  ApplyCaptions();
}

void MainWindow::ApplyCaptions() {
  const bool english = cfg_->language == 1;
  for (auto& [entry, a] : actions_) a->setText(FromGbk(Caption(entry, english)));
  if (toggle_used_) {
    action(Entry::kStatusToggle)->setText(FromGbk(StatusToggleCaption(status_shown_, english)));
  }
  file_menu_->setTitle(FromGbk(Caption(Entry::kFileMenu, english)));
  operation_menu_->setTitle(FromGbk(Caption(Entry::kOperationMenu, english)));
  debug_menu_->setTitle(FromGbk(Caption(Entry::kDebugMenu, english)));
  if (pages_ != nullptr) pages_->ApplyCaptions(english);
  const bool debugging = cfg_->sentence_mode == 1;
  debug_menu_->setEnabled(debugging);
  debug_menu_->menuAction()->setEnabled(debugging);
  action(Entry::kOpenDebug)->setEnabled(debugging);
  const QString title = FromGbk(WindowTitle(cfg_->form_title, english));
  setWindowTitle(title);
  QGuiApplication::setApplicationDisplayName(title);
  if (tray_) tray_->setToolTip(title);
}

void MainWindow::Attach(FrameLoop* loop) {
  loop_ = loop;
  model_ = std::make_unique<LineGridModel>(&loop->controller()->grid());
  model_->SetColorSource([this] { return DrawingMonitor(); });
  grid_view_->SetGridModel(model_.get());
}

void MainWindow::FinishStart() {
  ApplyCaptions();
  if (model_) model_->GridChanged();
  if (tray_available_ && !tray_) {
    tray_ = std::make_unique<QSystemTrayIcon>(ok_icon_);
    tray_->setToolTip(windowTitle());
    tray_->setContextMenu(popup_);
    connect(tray_.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
              if (reason == QSystemTrayIcon::Trigger) ShowFromTray();
            });
    tray_->show();
  }
}

const frame::TagMonitor* MainWindow::DrawingMonitor() const {
  if (loop_ == nullptr || loop_->controller()->flags().closing.load(std::memory_order_relaxed)) {
    return nullptr;
  }
  const frame::TagMonitor* monitor = frame::ProcessMonitor();
  if (monitor == nullptr) return nullptr;
  frame::LineInfoSource* source = monitor->Source();
  return source != nullptr && source->DriveReady() ? monitor : nullptr;
}

int MainWindow::SelectedReadyLine() const {
  const frame::TagMonitor* monitor = frame::ProcessMonitor();
  if (monitor == nullptr) return -1;
  const int line = monitor->SelectedLine();
  if (line < 0 || line >= monitor->LineCount()) return -1;
  frame::LineInfoSource* source = monitor->Source();
  return source != nullptr && source->DriveReady() ? line : -1;
}

void MainWindow::UpdatePopupState() {
  if (cfg_->sentence_mode != 1) {
    action(Entry::kOpenDebug)->setEnabled(false);
    return;
  }
  const int line = SelectedReadyLine();
  const frame::TagMonitor* monitor = frame::ProcessMonitor();
  action(Entry::kOpenDebug)
      ->setEnabled(line >= 0 && monitor->Source()->HasScript(line) && CanOpenPage(line));
}

void MainWindow::HangupSelected() {
  const int line = SelectedReadyLine();
  if (line >= 0 && hangup_) hangup_(line);
}

void MainWindow::TypedKeys(int grid_row, int grid_col, const std::string& keys) {
  OnKeysCell(grid_row, grid_col,
             [&keys](frame::TagMonitor* monitor, int line) { monitor->OperatorTypedKeys(line, keys); });
}

void MainWindow::ErasedKey(int grid_row, int grid_col) {
  OnKeysCell(grid_row, grid_col,
             [](frame::TagMonitor* monitor, int line) { monitor->OperatorErasedKey(line); });
}

void MainWindow::OnKeysCell(int grid_row, int grid_col,
                            const std::function<void(frame::TagMonitor*, int)>& change) {
  frame::TagMonitor* monitor = frame::ProcessMonitor();
  if (monitor == nullptr) return;
  const int line = monitor->LineOfGridCell(grid_row, grid_col);
  if (line < 0 || line >= monitor->LineCount()) return;
  change(monitor, line);
  if (model_) model_->CellChanged(grid_row, grid_col);
}

void MainWindow::ToggleStatusArea() {
  status_shown_ = !status_shown_;
  toggle_used_ = true;
  status_area_->setVisible(status_shown_);
  menuBar()->setVisible(status_shown_);
  action(Entry::kStatusToggle)
      ->setText(FromGbk(StatusToggleCaption(status_shown_, cfg_->language == 1)));
}

void MainWindow::OpenLogFile() { platform::OpenDocument(LogFileInUse(cfg_->log_file)); }

// The start-up panels, the show requests, the tray states and changed
// counts also go to the log: with no one watching the screen (a server,
// the offscreen platform) the log tells what the window showed.
void MainWindow::SetVersionText(std::string_view text) {
  version_->setText(FromGbk(text));
  frame::LogAlways(text);
}

void MainWindow::SetInfoText(std::string_view text) {
  info_->setText(FromGbk(text));
  frame::LogAlways(text);
}

void MainWindow::SetLinesText(std::string_view text) {
  lines_->setText(FromGbk(text));
  frame::LogAlways(text);
}

void MainWindow::SetClockText(std::string_view text) { clock_->setText(FromGbk(text)); }

void MainWindow::SetCountText(std::string_view text) {
  const QString shown = FromGbk(text);
  if (shown == count_->text()) return;
  count_->setText(shown);
  frame::LogMsg(text);
}

void MainWindow::ShowFromTray() {
  frame::LogAlways("show request: the window is shown");
  show();
  setWindowState(windowState() & ~Qt::WindowMinimized);
  raise();
  activateWindow();
}

void MainWindow::SetTrayIcon(int icon, std::string_view tip) {
  frame::LogMsgF("tray icon %d: %.*s", icon, static_cast<int>(tip.size()), tip.data());
  const QIcon& shown = icon == frame::kTrayIconOk ? ok_icon_ : problem_icon_;
  setWindowIcon(shown);
  if (!tray_) return;
  tray_->setIcon(shown);
  tray_->setToolTip(FromGbk(tip));
}

void MainWindow::GridRefreshed(int) {
  if (model_) model_->GridChanged();
}

void MainWindow::PostQuit() {
  if (loop_ != nullptr) loop_->controller()->PostQuit();
}

void MainWindow::ApplyPosition(const frame::TagMapCfg& saved) {
  frame::FormPos pos;
  if (!frame::ReadFormPos(saved, &pos)) {
    ApplyDefaultLayout();
    return;
  }
  move(pos.left, pos.top);
  resize(pos.width > 0 ? pos.width : width(), pos.height > 0 ? pos.height : height());
  if (!model_) return;
  frame::TagMonitorGrid* grid = model_->grid();
  if (grid->ColCount() < frame::kSavedGridColumns) {
    grid->Resize(std::max(grid->RowCount(), 1), frame::kSavedGridColumns);
  }
  for (int col = 0; col < frame::kSavedGridColumns; ++col) {
    if (pos.grid_widths[col] > 0) grid->SetColumnWidth(col, pos.grid_widths[col]);
  }
  model_->GridChanged();
  grid_view_->TakeColumnWidths();
}

void MainWindow::ApplyDefaultLayout() {
  if (!UsesDefaultLayout(cfg_->column_groups)) return;
  const QScreen* shown_on = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
  if (shown_on != nullptr) {
    move(0, 0);
    resize(shown_on->geometry().size());
  }
  if (!model_) return;
  const auto widths = DefaultColumnWidths(width(), cfg_->column_groups, cfg_->sentence_mode != 0);
  frame::TagMonitorGrid* grid = model_->grid();
  if (grid->ColCount() < frame::kSavedGridColumns) {
    grid->Resize(std::max(grid->RowCount(), 1), frame::kSavedGridColumns);
  }
  for (int col = 0; col < frame::kSavedGridColumns; ++col) grid->SetColumnWidth(col, widths[col]);
  model_->GridChanged();
  grid_view_->TakeColumnWidths();
}

void MainWindow::StorePosition(frame::TagMapCfg* cfg) {
  frame::FormPos pos;
  pos.left = x();
  pos.top = y();
  pos.width = width();
  pos.height = height();
  for (int col = 0; col < frame::kSavedGridColumns; ++col) {
    pos.grid_widths[col] = model_ ? model_->grid()->ColumnWidth(col) : 0;
  }
  frame::StoreFormPos(pos, cfg);
}

void MainWindow::ShowMonitorConn(std::string_view text) {
  {
    std::lock_guard<std::mutex> lock(conn_mu_);
    conn_text_.assign(text);
  }
  if (conn_queued_.exchange(true, std::memory_order_acq_rel)) return;
  QMetaObject::invokeMethod(this, [this] { TakeMonitorConnText(); }, Qt::QueuedConnection);
}

void MainWindow::TakeMonitorConnText() {
  conn_queued_.store(false, std::memory_order_release);
  std::string text;
  {
    std::lock_guard<std::mutex> lock(conn_mu_);
    text = conn_text_;
  }
  monitor_conn_->setText(FromGbk(text));
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (loop_ == nullptr || loop_->ended()) {
    event->accept();
    return;
  }
  if (loop_->CloseBox()) {
    // The program keeps running in the tray; without a tray the window
    // stays, since nothing on the desktop could show it again.
    event->ignore();
    if (tray_available_) hide();
    return;
  }
  event->accept();
}

void MainWindow::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && tray_available_ && isMinimized()) {
    // Minimised, the program lives in the tray.
    QMetaObject::invokeMethod(this, [this] { hide(); }, Qt::QueuedConnection);
  }
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
  UpdatePopupState();
  popup_->exec(event->globalPos());
}

}  // namespace gui
