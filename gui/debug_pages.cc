#include "gui/debug_pages.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QSplitter>
#include <QVBoxLayout>
#include <mutex>

#include "engine/tel_basic.h"
#include "gui/debug_windows.h"
#include "gui/qt_text.h"

namespace gui {
namespace {

constexpr int kImageSize = 12;
// The node images: plain, executing, breakpoint, breakpoint and executing.
const QColor kImageColors[4] = {Qt::lightGray, Qt::blue, Qt::red, Qt::magenta};

QIcon NodeImage(int image) {
  QPixmap pixmap(kImageSize, kImageSize);
  pixmap.fill(kImageColors[image]);
  return QIcon(pixmap);
}

// Loads a tree text: one node per line, one level per leading tab; the
// nodes in pre-order (their flat positions) into *nodes.
void LoadTree(QTreeWidget* tree, const std::string& text, std::vector<QTreeWidgetItem*>* nodes) {
  tree->clear();
  nodes->clear();
  std::vector<QTreeWidgetItem*> parents;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string_view line(text.data() + start, end - start);
    const size_t tabs = std::min(line.find_first_not_of('\t'), line.size());
    parents.resize(std::min(tabs, parents.size()));
    const QStringList caption{FromGbk(line.substr(tabs))};
    auto* item = parents.empty() ? new QTreeWidgetItem(tree, caption)
                                 : new QTreeWidgetItem(parents.back(), caption);
    item->setIcon(0, NodeImage(0));
    item->setData(0, kImageRole, 0);
    nodes->push_back(item);
    parents.push_back(item);
    start = end + 1;
  }
  tree->expandAll();
}

QTreeWidget* MakeTree(QWidget* parent) {
  auto* tree = new QTreeWidget(parent);
  tree->setHeaderHidden(true);
  tree->setIconSize(QSize(kImageSize, kImageSize));
  tree->setItemDelegate(new NodeColours(tree));
  return tree;
}

std::vector<QTreeWidgetItem*>::size_type Count(const std::vector<QTreeWidgetItem*>& v) {
  return v.size();
}

}  // namespace

DebugPage::DebugPage(int line, std::shared_ptr<engine::TagTelBasic> script, QWidget* parent)
    : QWidget(parent), line_(line), script_(std::move(script)) {
  auto* sides = new QSplitter(Qt::Horizontal, this);
  auto* left = new QSplitter(Qt::Vertical, sides);
  main_tree_ = MakeTree(left);
  main_vars_ = MakeVarGrid(left);
  auto* right = new QWidget(sides);
  auto* right_layout = new QVBoxLayout(right);
  right_layout->setContentsMargins(0, 0, 0, 0);
  function_label_ = new QLabel("_main_", right);
  stale_label_ = new QLabel(right);
  auto* right_split = new QSplitter(Qt::Vertical, right);
  function_tree_ = MakeTree(right_split);
  function_vars_ = MakeVarGrid(right_split);
  right_layout->addWidget(function_label_);
  right_layout->addWidget(stale_label_);
  right_layout->addWidget(right_split, 1);
  // Each tree two thirds of its side.
  left->setStretchFactor(0, 2);
  left->setStretchFactor(1, 1);
  right_split->setStretchFactor(0, 2);
  right_split->setStretchFactor(1, 1);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(sides);
  {
    std::lock_guard<std::mutex> shape(script_->shapeMutex);
    LoadTree(main_tree_, engine::MainTreeText(*script_), &main_nodes_);
    tree_ = engine::BuildFunctionTree(*script_);
  }
  LoadTree(function_tree_, tree_.text, &function_nodes_);
  for (QTableWidget* grid : {main_vars_, function_vars_}) {
    connect(grid, &QTableWidget::cellDoubleClicked, this, [this, grid](int row, int) {
      QTableWidgetItem* name = grid->item(row, 1);
      if (name == nullptr || name->text().isEmpty()) return;  // the empty grid's row
      emit VariableAsked(grid == function_vars_, name->text());
    });
  }
  for (QTreeWidget* tree : {main_tree_, function_tree_}) {
    tree->viewport()->installEventFilter(this);
    connect(tree, &QTreeWidget::itemDoubleClicked, this,
            [this, tree](QTreeWidgetItem* item) { ShowStatementVars(tree, item); });
  }
}

bool DebugPage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::MouseButtonPress) return QWidget::eventFilter(watched, event);
  for (QTreeWidget* tree : {main_tree_, function_tree_}) {
    if (watched != tree->viewport()) continue;
    const QPoint pos = static_cast<QMouseEvent*>(event)->position().toPoint();
    QTreeWidgetItem* item = tree->itemAt(pos);
    if (item == nullptr) break;
    // A click on the node's image toggles its breakpoint.
    const QRect rect = tree->visualItemRect(item);
    const int image_left = rect.left() + 2;
    if (pos.x() >= image_left && pos.x() < image_left + tree->iconSize().width() + 2) {
      ToggleBreakpoint(tree, item);
    }
  }
  return QWidget::eventFilter(watched, event);
}

QTreeWidgetItem* DebugPage::MainNode(int index) const {
  return index >= 0 && static_cast<size_t>(index) < Count(main_nodes_) ? main_nodes_[index] : nullptr;
}

QTreeWidgetItem* DebugPage::FunctionNode(int index) const {
  return index >= 0 && static_cast<size_t>(index) < Count(function_nodes_) ? function_nodes_[index]
                                                                          : nullptr;
}

int DebugPage::NodeIndex(QTreeWidget* tree, QTreeWidgetItem* item) const {
  const auto& nodes = tree == main_tree_ ? main_nodes_ : function_nodes_;
  for (size_t i = 0; i < nodes.size(); ++i) {
    if (nodes[i] == item) return static_cast<int>(i);
  }
  return -1;
}

bool DebugPage::NodeBreakpoint(QTreeWidget* tree, int index) const {
  std::lock_guard<std::mutex> shape(script_->shapeMutex);
  if (tree == main_tree_) return engine::HasBreakpoint(*script_, index) != 0;
  return engine::HasBreakpointAt(*script_, tree_, index) != 0;
}

void DebugPage::SetImage(QTreeWidget* tree, int index, bool executing) {
  QTreeWidgetItem* item = tree == main_tree_ ? MainNode(index) : FunctionNode(index);
  if (item == nullptr) return;
  const int image = kImageFor[NodeBreakpoint(tree, index) ? 1 : 0][executing ? 1 : 0];
  item->setIcon(0, NodeImage(image));
  item->setData(0, kImageRole, image);
  item->setSelected(executing);
}

void DebugPage::MarkMain(int index) {
  if (main_mark_ == index) {
    SetImage(main_tree_, index, true);  // its breakpoint may have changed
    return;
  }
  SetImage(main_tree_, main_mark_, false);
  main_mark_ = MainNode(index) != nullptr ? index : -1;
  SetImage(main_tree_, main_mark_, true);
  if (QTreeWidgetItem* item = MainNode(main_mark_)) main_tree_->scrollToItem(item);
}

void DebugPage::MarkFunction(int index, bool after_call) {
  SetImage(function_tree_, function_mark_, false);
  function_mark_ = -1;
  const engine::TagTelBasic* running = script_->runningFunction.load(std::memory_order_relaxed);
  if (running == nullptr || index < 0) return;
  int32_t f = 0;
  while (f < script_->functionCount && script_->functions.at(f) != running) ++f;
  if (f >= static_cast<int32_t>(tree_.base.size())) return;
  const int tree_index = tree_.base[static_cast<size_t>(f)] + index;
  if (after_call && tree_index > 0) SetImage(function_tree_, tree_index - 1, false);
  if (FunctionNode(tree_index) == nullptr) return;
  function_mark_ = tree_index;
  SetImage(function_tree_, function_mark_, true);
  function_tree_->scrollToItem(FunctionNode(function_mark_));
}

void DebugPage::ShowStep(const engine::StepMark& mark) {
  MarkMain(mark.mainIndex);
  if (mark.subIndex >= 0) {
    MarkFunction(mark.subIndex, mark.afterCall);
  } else {
    MarkFunction(-1, false);
  }
}

void DebugPage::FillVars(const engine::DebugSnapshot* snapshot, bool fresh) {
  std::vector<engine::VarRow> main_rows, function_rows;
  std::string header = "_main_";
  const bool paused = engine::PausedRead(*script_, [&] {
    main_rows = engine::VariableRows(*script_, engine::VarOrder::kByNumber);
    if (const engine::TagTelBasic* f = script_->runningFunction.load()) {
      function_rows = engine::VariableRows(*f, engine::VarOrder::kByNumber);
      if (!f->headerText.empty()) header = f->headerText;
    }
  });
  if (!paused) {
    if (snapshot == nullptr) return;
    main_rows = snapshot->mainRows;
    function_rows = snapshot->functionRows;
    if (!snapshot->functionHeader.empty()) header = snapshot->functionHeader;
  }
  FillVarGrid(main_vars_, main_rows);
  FillVarGrid(function_vars_, function_rows);
  function_label_->setText(FromGbk(header));
  // A line busy in a long statement did not answer: its last values.
  stale_label_->setText(paused || fresh ? QString() : FromGbk("上次取得的变量值"));
}

void DebugPage::ToggleBreakpoint(QTreeWidget* tree, QTreeWidgetItem* item) {
  const int index = NodeIndex(tree, item);
  if (index < 0) return;
  {
    std::lock_guard<std::mutex> shape(script_->shapeMutex);
    if (tree == main_tree_) {
      engine::SetBreakpoint(*script_, index, engine::HasBreakpoint(*script_, index) ? 0 : 1);
    } else {
      if (tree_.FunctionAtTreeIndex(index, nullptr) < 0) return;
      engine::SetBreakpointAt(*script_, tree_, index,
                              engine::HasBreakpointAt(*script_, tree_, index) ? 0 : 1);
    }
  }
  SetImage(tree, index, index == (tree == main_tree_ ? main_mark_ : function_mark_));
}

void DebugPage::ShowStatementVars(QTreeWidget* tree, QTreeWidgetItem* item) {
  const int index = NodeIndex(tree, item);
  if (index < 0 || !engine::IsStepMode(*script_)) return;
  std::string text;
  const bool paused = engine::PausedRead(*script_, [&] {
    if (tree == main_tree_) {
      text = engine::StatementVars(*script_, index);
      return;
    }
    int32_t statement = 0;
    const int32_t f = tree_.FunctionAtTreeIndex(index, &statement);
    if (f >= 0) text = engine::StatementVars(*script_->functions.at(f), statement);
  });
  if (paused) emit StatementVarsShown(FromGbk(text));
}

void DebugPage::Release() {
  {
    std::lock_guard<std::mutex> shape(script_->shapeMutex);
    engine::ClearBreakpoints(*script_);
  }
  script_->SetStepMode(0);
}

// --- the panel ------------------------------------------------------------------

DebugPages::DebugPages(engine::DebugRunObserver* observer, ScriptSource source, QWidget* parent)
    : QWidget(parent),
      observer_(observer),
      source_(std::move(source)),
      tabs_(new QTabWidget(this)),
      auto_refresh_(new QCheckBox(this)),
      call_stack_(new CallStackWindow(this)),
      statement_vars_(new StatementVarsWindow(this)),
      var_view_(new VarViewWindow(this)) {
  auto* buttons = new QHBoxLayout;
  const std::pair<Entry, void (DebugPages::*)()> commands[] = {
      {Entry::kClosePageButton, nullptr},
      {Entry::kStepButton, &DebugPages::Step},
      {Entry::kRunButton, &DebugPages::Run},
      {Entry::kFlushButton, &DebugPages::RefreshVars},
  };
  for (const auto& [entry, command] : commands) {
    auto* button = new QPushButton(this);
    buttons_.emplace_back(entry, button);
    buttons->addWidget(button);
    if (command != nullptr) {
      connect(button, &QPushButton::clicked, this, command);
    } else {
      connect(button, &QPushButton::clicked, this, [this] { CloseCurrent(); });
    }
  }
  buttons->addWidget(auto_refresh_);
  buttons->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addLayout(buttons);
  layout->addWidget(tabs_, 1);
  connect(auto_refresh_, &QCheckBox::toggled, this, [this](bool on) { SetAutoRefresh(on); });
  connect(&timer_, &QTimer::timeout, this, [this] { TakeUpdates(); });
  timer_.start(kDebugTakeMs);
  ApplyCaptions(false);
}

void DebugPages::ApplyCaptions(bool english) {
  for (const auto& [entry, button] : buttons_) button->setText(FromGbk(Caption(entry, english)));
  auto_refresh_->setText(FromGbk(Caption(Entry::kAutoFlush, english)));
}

DebugPages::~DebugPages() {
  // Whoever listens may be going too.
  blockSignals(true);
  CloseAllPages();
}

bool DebugPages::HasPage(int line) const { return Page(line) != nullptr; }

DebugPage* DebugPages::Page(int line) const {
  for (DebugPage* p : pages_) {
    if (p->line() == line) return p;
  }
  return nullptr;
}

DebugPage* DebugPages::current() const { return qobject_cast<DebugPage*>(tabs_->currentWidget()); }

bool DebugPages::OpenPage(int line) {
  if (HasPage(line)) return false;
  std::shared_ptr<engine::TagTelBasic> script = source_(line);
  if (script == nullptr || script->scrambled != 0) return false;
  if (!observer_->OpenPage(line)) return false;
  observer_->SetAutoRefresh(false);
  auto* page = new DebugPage(line, std::move(script), tabs_);
  connect(page, &DebugPage::StatementVarsShown, statement_vars_, &StatementVarsWindow::ShowText);
  connect(page, &DebugPage::VariableAsked, this,
          [this, page](bool function, const QString& name) { ShowVariable(page, function, name); });
  pages_.push_back(page);
  tabs_->setCurrentIndex(tabs_->addTab(page, QString::number(line)));
  FillPageVars(page);
  observer_->SetAutoRefresh(auto_refresh_->isChecked());
  return true;
}

void DebugPages::ClosePage(DebugPage* page) {
  page->Release();
  observer_->ClosePage(page->line());
  pages_.erase(std::find(pages_.begin(), pages_.end(), page));
  tabs_->removeTab(tabs_->indexOf(page));
  delete page;
  if (pages_.empty()) emit Emptied();
}

int DebugPages::CloseCurrent() {
  DebugPage* page = current();
  if (page == nullptr) return -1;
  ClosePage(page);
  return 0;
}

void DebugPages::CloseAllPages() {
  SetAutoRefresh(false);
  while (!pages_.empty()) ClosePage(pages_.back());
}

void DebugPages::Step() {
  if (DebugPage* page = current()) engine::StepOnce(*page->script());
}

void DebugPages::Run() {
  DebugPage* page = current();
  if (page != nullptr && engine::IsStepMode(*page->script())) page->script()->SetStepMode(0);
}

void DebugPages::RefreshVars() {
  DebugPage* page = current();
  if (page != nullptr && page->script()->initResult == 0) FillPageVars(page);
}

void DebugPages::FillPageVars(DebugPage* page) {
  bool fresh = false;
  std::shared_ptr<const engine::DebugSnapshot> last = observer_->TakeSnapshot(page->line(), &fresh);
  page->FillVars(last.get(), fresh);
  observer_->RequestSnapshot(page->line());
}

void DebugPages::ShowVariable(DebugPage* page, bool function, const QString& name) {
  const std::shared_ptr<engine::TagTelBasic>& script = page->shared_script();
  if (script->initResult != 0) return;
  if (function && script->runningFunction.load() == nullptr) return;
  // Asked again by "刷新": the paused script itself, else the line's
  // latest snapshot.
  auto lookup = [observer = observer_, line = page->line(), script, function](
                    const std::string& n, engine::VarInfo* info) {
    int32_t found = -1;
    const bool paused = engine::PausedRead(*script, [&] {
      const engine::TagTelBasic* s = function ? script->runningFunction.load() : script.get();
      found = s != nullptr ? engine::VariableInfo(*s, n, info) : -1;
    });
    if (paused) return found;
    std::shared_ptr<const engine::DebugSnapshot> snap = observer->TakeSnapshot(line, nullptr);
    if (snap == nullptr) return engine::VariableInfo(std::vector<engine::VarRow>{}, n, info);
    return engine::VariableInfo(function ? snap->functionRows : snap->mainRows, n, info);
  };
  var_view_->ShowVariable(FromGbk(function ? "Function Var Display" : "Mian Var Display"), name,
                          lookup);
}

void DebugPages::ShowCallStack() {
  DebugPage* page = current();
  if (page == nullptr) return;
  engine::TagTelBasic& script = *page->script();
  if (script.runningFunction.load() == nullptr) return;
  std::vector<std::string> names;
  std::vector<std::vector<engine::VarRow>> rows;
  const bool paused = engine::PausedRead(script, [&] {
    const std::shared_ptr<engine::DebugSnapshot> snap = engine::TakeDebugSnapshot(script);
    names = snap->stackNames;
    rows = snap->stackRows;
  });
  if (!paused) {
    bool fresh = false;
    std::shared_ptr<const engine::DebugSnapshot> snap = observer_->TakeSnapshot(page->line(), &fresh);
    if (snap == nullptr || snap->stackNames.empty()) return;
    names = snap->stackNames;
    rows = snap->stackRows;
    observer_->RequestSnapshot(page->line());
  }
  call_stack_->ShowFrames(names, rows);
  call_stack_->show();
}

void DebugPages::ToggleBreakpoint() {
  DebugPage* page = current();
  if (page == nullptr) return;
  for (QTreeWidget* tree : {page->main_tree(), page->function_tree()}) {
    if (tree->hasFocus() && tree->currentItem() != nullptr) {
      page->ToggleBreakpoint(tree, tree->currentItem());
    }
  }
}

void DebugPages::SetAutoRefresh(bool on) {
  observer_->SetAutoRefresh(on);
  if (auto_refresh_->isChecked() != on) {
    const QSignalBlocker quiet(auto_refresh_);
    auto_refresh_->setChecked(on);
  }
}

void DebugPages::TakeUpdates() {
  // A page whose line got another script (a reload) or none goes first.
  for (size_t i = pages_.size(); i-- > 0;) {
    DebugPage* page = pages_[i];
    if (source_(page->line()).get() != page->script()) ClosePage(page);
  }
  for (const engine::DebugUpdate& u : observer_->TakeUpdates()) {
    DebugPage* page = Page(u.line);
    if (page == nullptr) continue;  // closed meanwhile
    if (observer_->AutoRefresh() || u.refresh) page->ShowStep(u.mark);
    if (u.refresh) {
      FillPageVars(page);
    } else if (u.snapshot) {
      bool fresh = false;
      std::shared_ptr<const engine::DebugSnapshot> snap = observer_->TakeSnapshot(u.line, &fresh);
      page->FillVars(snap.get(), fresh);
    }
  }
}

}  // namespace gui
