// The script debugger's pages in the main window (offscreen), over lines
// whose scripts run on threads of their own in this process: marks,
// breakpoints, the step keys, the windows of a paused line, and pages that
// follow their line's script.
#include "gui/debug_pages.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QTest>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "engine/control_compile.h"
#include "engine/debug_observer.h"
#include "engine/expression_hook.h"
#include "engine/run_observer.h"
#include "engine/script_cache.h"
#include "engine/script_control.h"
#include "engine/tel_basic.h"
#include "frame/run_cfg.h"
#include "gtest/gtest.h"
#include "gui/debug_windows.h"
#include "gui/main_window.h"
#include "gui/qt_text.h"
#include "platform/message_service.h"
#include "tests/gui/qt_app.h"
#include "tests/test_support.h"

namespace gui {
namespace {

using Script = std::shared_ptr<engine::TagTelBasic>;

constexpr int kLine = 2;
constexpr int kOtherLine = 5;
constexpr int kWaitMs = 5000;

// A line's loop: n counts the passes; statement 1 is "k = n".
constexpr const char* kCounter = "n = n + 1\nk = n\n";
constexpr const char* kWithFunction =
    "function inner(a)\n{\nb = a + 1\nreturn(b)\n}\n"
    "n = n + 1\nk = inner(n)\n";

// Main statements 0-3 after a function ("{" is the function tree's node 1,
// "b = a + 1" node 2).
constexpr const char* kFourStatements =
    "function inner(a)\n{\nb = a + 1\nreturn(b)\n}\n"
    "a = 1\nb = 2\nc = 3\nd = inner(4)\n";

// "Assert(" fails on source line 2 at every pass.
constexpr const char* kAssertLoop = "n = n + 1\nAssert(0)\nk = n\n";

// A line's call object that counts its error-log lines and keeps the last.
class LoggingCall : public engine::LineCallBase {
 public:
  void ErrorLog(std::string_view text) override {
    std::lock_guard<std::mutex> lock(mu_);
    ++count_;
    last_ = text;
  }
  int count() const {
    std::lock_guard<std::mutex> lock(mu_);
    return count_;
  }
  std::string last() const {
    std::lock_guard<std::mutex> lock(mu_);
    return last_;
  }

 private:
  mutable std::mutex mu_;
  int count_ = 0;     // guarded by mu_
  std::string last_;  // guarded by mu_
};

class DebugPagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gui_test::TestApp();
    frame::RunCfg() = frame::TagRunCfg();
    frame::RunCfg().sentence_mode = 1;
    engine::RegisterStatementCompiler();
    engine::RegisterScriptControlStatements();
    engine::SetRunObserver(&observer_);
    window_ = std::make_unique<MainWindow>(&frame::RunCfg(), false);
    window_->SetDebugger(&observer_, [this](int line) {
      std::lock_guard<std::mutex> lock(mu_);
      auto it = scripts_.find(line);
      return it != scripts_.end() ? it->second : nullptr;
    });
    window_->resize(900, 700);
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    // The keys go to the active window (an X server without a window
    // manager activates none: the picture needs no keys).
    QApplication::setActiveWindow(window_.get());
    if (QGuiApplication::platformName() == "offscreen") {
      ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    }
  }
  void TearDown() override {
    window_.reset();  // its pages close: the lines run on
    for (auto& [line, script] : scripts_) script->RequestEndRun();
    for (auto& [line, thread] : threads_) thread.join();
    engine::SetRunObserver(nullptr);
    engine::SetLineCompiler(nullptr);
    engine::SetExpressionCompiler(nullptr);
    frame::RunCfg() = frame::TagRunCfg();
  }

  // Compiles text as the line's script (not run).
  Script Compile(int line, const char* text) {
    engine::ScriptCache().Clear();
    const std::string file = "l" + std::to_string(line) + ".vts";
    testing_support::WriteFile(file, text);
    calls_[line].lineNo = line;
    auto script = std::make_shared<engine::TagTelBasic>(file, line, &calls_[line], 1, nullptr);
    EXPECT_EQ(script->initResult, 0);
    std::lock_guard<std::mutex> lock(mu_);
    scripts_[line] = script;
    return script;
  }
  // Compiles and runs the line's script on a thread of its own.
  Script Start(int line, const char* text) {
    Script script = Compile(line, text);
    Launch(script);
    return script;
  }
  // Runs a compiled script on a thread of its own.
  void Launch(const Script& script) {
    threads_[script->lineNo] = std::thread([script] { script->Run(); });
  }
  DebugPages* pages() { return window_->debug_pages(); }
  // Waits (processing the window's events) until done or kWaitMs.
  bool WaitFor(const std::function<bool()>& done) {
    return QTest::qWaitFor(done, kWaitMs);
  }
  bool Paused(engine::TagTelBasic& script) {
    return WaitFor([&] { return engine::PausedRead(script, [] {}); });
  }
  int Counter(engine::TagTelBasic& script) {
    engine::VarInfo info;
    engine::PausedRead(script, [&] { engine::VariableInfo(script, "n", &info); });
    return std::atoi(info.value.c_str());
  }
  int Image(QTreeWidgetItem* node) { return node->data(0, kImageRole).toInt(); }
  // A press on the image of a node of a tree.
  void ClickImage(QTreeWidget* tree, QTreeWidgetItem* node) {
    const QRect rect = tree->visualItemRect(node);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      QPoint(rect.left() + 4, rect.center().y()));
  }
  void Key(Qt::Key key) { QTest::keyClick(window_.get(), key); }

  testing_support::TempDir dir_;
  testing_support::ScopedChdir cd_{dir_.path()};
  std::atomic<bool> closing_{false};
  engine::DebugRunObserver observer_{&closing_, 16};
  platform::RecordingMessageService messages_;
  platform::ScopedMessageService scoped_messages_{&messages_};
  std::map<int, LoggingCall> calls_;
  std::mutex mu_;
  std::map<int, Script> scripts_;  // guarded by mu_
  std::map<int, std::thread> threads_;
  std::unique_ptr<MainWindow> window_;
};

TEST_F(DebugPagesTest, ABreakpointInTheLoopPausesEveryPassAndTheKeysStepAndRun) {
  Script script = Start(kLine, kCounter);
  ASSERT_TRUE(pages()->OpenPage(kLine));
  EXPECT_FALSE(pages()->OpenPage(kLine));  // a second page for the line
  EXPECT_EQ(pages()->tabs()->tabText(0), QString::number(kLine));
  pages()->auto_refresh()->setChecked(true);
  DebugPage* page = pages()->current();
  ASSERT_NE(page, nullptr);
  ASSERT_NE(page->MainNode(1), nullptr);
  ClickImage(page->main_tree(), page->MainNode(1));
  ASSERT_TRUE(Paused(*script));
  pages()->TakeUpdates();
  // The paused statement: breakpoint and executing.
  EXPECT_EQ(Image(page->MainNode(1)), 3);
  EXPECT_EQ(Image(page->MainNode(0)), 0);
  const int first = Counter(*script);
  // While paused the counter stands still.
  QTest::qWait(250);
  EXPECT_EQ(Counter(*script), first);
  // F8: "k = n" runs, the next statement waits (the pass starts again).
  Key(Qt::Key_F8);
  ASSERT_TRUE(WaitFor([&] {
    pages()->TakeUpdates();
    return Image(page->MainNode(0)) == 1;
  }));
  EXPECT_EQ(Counter(*script), first);
  // F9: on to the breakpoint of the next pass.
  Key(Qt::Key_F9);
  ASSERT_TRUE(WaitFor([&] { return Counter(*script) == first + 1; }));
  ASSERT_TRUE(Paused(*script));
  // The variables of a paused line come from the script itself.
  pages()->RefreshVars();
  EXPECT_TRUE(page->stale_label()->text().isEmpty());
  bool found = false;
  for (int r = 0; r < page->main_vars()->rowCount(); ++r) {
    QTableWidgetItem* name = page->main_vars()->item(r, 1);
    if (name != nullptr && name->text() == "n") {
      found = true;
      EXPECT_EQ(page->main_vars()->item(r, 2)->text(), QString::number(first + 1));
    }
  }
  EXPECT_TRUE(found);
  // Closing the page lets the line run on at once.
  Key(Qt::Key_F2);
  EXPECT_FALSE(pages()->HasPages());
  EXPECT_FALSE(pages()->isVisible());
  ASSERT_TRUE(WaitFor([&] { return script->stepMode.load() == 0; }));
  EXPECT_FALSE(engine::HasBreakpoint(*script, 1));
  EXPECT_FALSE(observer_.HasDebugPage(kLine));
}

TEST_F(DebugPagesTest, StatementVariablesOnlyWhilePaused) {
  Script script = Start(kLine, kCounter);
  ASSERT_TRUE(pages()->OpenPage(kLine));
  DebugPage* page = pages()->current();
  StatementVarsWindow* shown = pages()->statement_vars_window();
  // Running: a double-click does nothing.
  QTest::qWait(50);
  emit page->main_tree()->itemDoubleClicked(page->MainNode(1), 0);
  EXPECT_FALSE(shown->isVisible());
  // Paused: the statement's variables.
  engine::SetBreakpoint(*script, 0, 1);
  ASSERT_TRUE(Paused(*script));
  emit page->main_tree()->itemDoubleClicked(page->MainNode(1), 0);
  EXPECT_TRUE(shown->isVisible());
  EXPECT_EQ(shown->windowTitle(), FromGbk("相关变量..."));
  const int n = Counter(*script);
  EXPECT_EQ(shown->memo()->toPlainText(),
            QString("k: %1\nn: %2").arg(n).arg(n));
  shown->close();
  // A double-click on a variable of the main grid: its facts; on the
  // title row or the empty function grid: nothing.
  VarViewWindow* view = pages()->var_view_window();
  pages()->RefreshVars();
  QTableWidget* grid = page->main_vars();
  QHeaderView* titles = grid->horizontalHeader();
  QTest::mouseDClick(titles->viewport(), Qt::LeftButton, {},
                     QPoint(titles->sectionViewportPosition(1) + 5, titles->height() / 2));
  EXPECT_FALSE(view->isVisible());
  emit page->function_vars()->cellDoubleClicked(0, 1);
  EXPECT_FALSE(view->isVisible());
  for (int r = 0; r < grid->rowCount(); ++r) {
    if (grid->item(r, 1) != nullptr && grid->item(r, 1)->text() == "n") {
      emit grid->cellDoubleClicked(r, 1);
    }
  }
  ASSERT_TRUE(view->isVisible());
  EXPECT_EQ(view->windowTitle(), "Mian Var Display");
  EXPECT_EQ(view->value()->toPlainText(), QString::number(n));
  EXPECT_EQ(view->type()->text(), FromGbk("变量: 整型"));
  // Another name, looked up again.
  view->name_edit()->setText("missing");
  view->Refresh();
  EXPECT_EQ(view->value()->toPlainText(), FromGbk("变量名不存在."));
  view->close();
}

TEST_F(DebugPagesTest, CallStackOfTheRunningFunctionWithSortingHeaders) {
  Script script = Start(kLine, kWithFunction);
  ASSERT_TRUE(pages()->OpenPage(kLine));
  CallStackWindow* stack = pages()->call_stack_window();
  // The main flow paused: no function runs, F4 does nothing.
  engine::SetBreakpoint(*script, 0, 1);
  ASSERT_TRUE(Paused(*script));
  Key(Qt::Key_F4);
  EXPECT_FALSE(stack->isVisible());
  // Paused inside the function.
  engine::SetBreakpoint(*script, 0, 0);
  engine::SetBreakpoint(*script->functions.at(0), 0, 1);
  script->SetStepMode(0);
  ASSERT_TRUE(WaitFor([&] {
    return engine::PausedRead(*script, [] {}) && script->runningFunction.load() != nullptr;
  }));
  Key(Qt::Key_F4);
  ASSERT_TRUE(stack->isVisible());
  EXPECT_EQ(stack->windowTitle(), "Call Stack List");
  ASSERT_EQ(stack->tree()->topLevelItemCount(), 2);
  EXPECT_EQ(stack->tree()->topLevelItem(0)->text(0), "inner");
  EXPECT_EQ(stack->label()->text(), "inner");
  struct Click {
    int column;
    const char* number;
    const char* name;
  } clicks[] = {{0, "No↑", "Name"}, {0, "No↓", "Name"}, {1, "No.", "Name↑"}, {1, "No.", "Name↓"}};
  QHeaderView* header = stack->grid()->horizontalHeader();
  for (const Click& c : clicks) {
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(c.column) + 5, header->height() / 2));
    EXPECT_EQ(stack->grid()->horizontalHeaderItem(0)->text(), FromGbk(c.number));
    EXPECT_EQ(stack->grid()->horizontalHeaderItem(1)->text(), FromGbk(c.name));
  }
  stack->close();
}

TEST_F(DebugPagesTest, APageClosesWhenItsLineGetsAnotherScript) {
  Script script = Compile(kOtherLine, kCounter);
  ASSERT_TRUE(pages()->OpenPage(kOtherLine));
  std::weak_ptr<engine::TagTelBasic> old = script;
  script.reset();
  // A reload gives the line a new script: the page goes, and the old
  // script with it.
  Compile(kOtherLine, kCounter);
  pages()->TakeUpdates();
  EXPECT_FALSE(pages()->HasPage(kOtherLine));
  EXPECT_TRUE(old.expired());
  // A scrambled script and a line without one get no page.
  Compile(kOtherLine, kCounter)->scrambled = 1;
  EXPECT_FALSE(pages()->OpenPage(kOtherLine));
  EXPECT_FALSE(pages()->OpenPage(9));
}

TEST_F(DebugPagesTest, AFailedAssertWithAPageStopsUntilTheStepOrRunKey) {
  // Without a page: only the error-log line, every pass.
  Script unwatched = Start(kOtherLine, kAssertLoop);
  ASSERT_TRUE(WaitFor([&] { return calls_[kOtherLine].count() >= 2; }));
  EXPECT_EQ(calls_[kOtherLine].last(), "Assert Failed: line=2");
  EXPECT_TRUE(messages_.messages().empty());
  EXPECT_EQ(unwatched->stepMode.load(), 0);
  // With a page: the notice, and the line waits for the operator.
  Script script = Compile(kLine, kAssertLoop);
  ASSERT_TRUE(pages()->OpenPage(kLine));
  pages()->auto_refresh()->setChecked(true);
  DebugPage* page = pages()->current();
  ASSERT_NE(page->MainNode(2), nullptr);
  Launch(script);
  // The statement marked as waiting, once the line reached it.
  auto waits_at = [&](int node) {
    return WaitFor([&] {
      pages()->TakeUpdates();
      return Image(page->MainNode(node)) == 1 && engine::PausedRead(*script, [] {});
    });
  };
  auto value = [&](const char* name) {
    engine::VarInfo info;
    engine::PausedRead(*script, [&] { engine::VariableInfo(*script, name, &info); });
    return info.value;
  };
  ASSERT_TRUE(waits_at(1));
  std::vector<platform::Message> shown = messages_.messages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "Assert Failed: line=2, 'Assert(0)'");
  EXPECT_EQ(shown[0].caption, "Stop for Assert");
  EXPECT_EQ(calls_[kLine].count(), 0);
  EXPECT_EQ(value("n"), "1");
  // While it waits nothing runs.
  QTest::qWait(250);
  EXPECT_TRUE(Image(page->MainNode(1)) == 1 && engine::PausedRead(*script, [] {}));
  // F8: the "Assert(" ends, the next statement waits; F8 again runs it.
  Key(Qt::Key_F8);
  ASSERT_TRUE(waits_at(2));
  EXPECT_NE(value("k"), "1");
  Key(Qt::Key_F8);
  ASSERT_TRUE(waits_at(0));
  EXPECT_EQ(value("k"), "1");
  EXPECT_EQ(value("n"), "1");
  // F9: on to the "Assert(" of the next pass, which stops it again.
  Key(Qt::Key_F9);
  ASSERT_TRUE(WaitFor([&] { return messages_.messages().size() == 2; }));
  ASSERT_TRUE(waits_at(1));
  EXPECT_EQ(value("n"), "2");
  EXPECT_EQ(calls_[kLine].count(), 0);
}

TEST_F(DebugPagesTest, VariableGridsHaveTitlesRowsOf18PixelsAndEditableCells) {
  Script script = Start(kLine, kCounter);
  ASSERT_TRUE(pages()->OpenPage(kLine));
  pages()->show();
  DebugPage* page = pages()->current();
  engine::SetBreakpoint(*script, 0, 1);
  ASSERT_TRUE(Paused(*script));
  pages()->RefreshVars();
  for (QTableWidget* grid : {page->main_vars(), page->function_vars()}) {
    SCOPED_TRACE(grid == page->main_vars() ? "main" : "function");
    ASSERT_TRUE(WaitFor([&] { return grid->viewport()->height() > 0; }));
    QHeaderView* titles = grid->horizontalHeader();
    ASSERT_EQ(grid->columnCount(), 4);
    const char* names[] = {"No.", "Name", "Value", "Note"};
    for (int c = 0; c < 4; ++c) {
      ASSERT_NE(grid->horizontalHeaderItem(c), nullptr);
      EXPECT_EQ(grid->horizontalHeaderItem(c)->text(), names[c]);
    }
    EXPECT_TRUE(titles->isVisible());
    EXPECT_FALSE(grid->verticalHeader()->isVisible());  // no fixed column
    EXPECT_EQ(grid->columnWidth(0), titles->defaultSectionSize() / 2);
    EXPECT_EQ(grid->columnWidth(3), titles->defaultSectionSize() / 2);
    ASSERT_GE(grid->rowCount(), 1);
    for (int r = 0; r < grid->rowCount(); ++r) EXPECT_EQ(grid->rowHeight(r), 18) << r;
    // The operator drags a column's right edge.
    const int width = grid->columnWidth(2);
    const int edge = titles->sectionViewportPosition(2) + width - 1;
    const int y = titles->height() / 2;
    QTest::mousePress(titles->viewport(), Qt::LeftButton, {}, QPoint(edge, y));
    QTest::mouseMove(titles->viewport(), QPoint(edge + 30, y));
    QTest::mouseRelease(titles->viewport(), Qt::LeftButton, {}, QPoint(edge + 30, y));
    EXPECT_EQ(grid->columnWidth(2), width + 30);
    // Typing into a cell edits it; moving on keeps the edit. (No events
    // meanwhile: the page's next fill would overwrite it.)
    grid->setFocus();
    grid->setCurrentCell(0, 2);
    QTest::keyClick(grid, '7');  // opens the cell's editor with the key
    auto* editor = grid->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, "7");
    grid->setCurrentCell(0, 1);
    ASSERT_NE(grid->item(0, 2), nullptr);
    EXPECT_EQ(grid->item(0, 2)->text(), "77");
  }
}

// The colours of a node's text: its row as drawn, right of its image.
std::set<QRgb> TextColours(QTreeWidget* tree, QTreeWidgetItem* node) {
  const QImage picture = tree->viewport()->grab().toImage();
  QRect rect = tree->visualItemRect(node);
  rect.setLeft(rect.left() + tree->iconSize().width() + 4);
  std::set<QRgb> colours;
  for (int y = rect.top(); y <= rect.bottom(); ++y) {
    for (int x = rect.left(); x <= rect.right() && x < picture.width(); ++x) {
      colours.insert(picture.pixel(x, y) & RGB_MASK);
    }
  }
  return colours;
}

TEST_F(DebugPagesTest, NodesAreDrawnInTheColourOfTheirState) {
  Compile(kLine, kFourStatements);
  ASSERT_TRUE(pages()->OpenPage(kLine));
  pages()->show();
  DebugPage* page = pages()->current();
  QTreeWidget* main = page->main_tree();
  QTreeWidget* functions = page->function_tree();
  // Broad strokes: pixels wholly in the text's colour.
  QFont bold = main->font();
  bold.setPixelSize(18);
  bold.setBold(true);
  main->setFont(bold);
  functions->setFont(bold);
  ASSERT_TRUE(WaitFor([&] {
    return main->viewport()->height() > 0 && functions->viewport()->height() > 0;
  }));
  ASSERT_NE(page->MainNode(3), nullptr);
  ASSERT_NE(page->FunctionNode(3), nullptr);
  // Not by the mouse: a row under it is drawn shaded.
  page->ToggleBreakpoint(main, page->MainNode(1));
  page->ToggleBreakpoint(main, page->MainNode(3));
  page->ToggleBreakpoint(functions, page->FunctionNode(2));
  const QColor text = main->palette().color(QPalette::WindowText);
  struct Case {
    int mark;  // the main statement executing
    QTreeWidget* tree;
    int node;
    bool selected;
    QColor colour;
  } cases[] = {
      {2, main, 0, false, text},           {2, main, 0, true, Qt::white},
      {2, main, 1, false, Qt::red},        {2, main, 1, true, Qt::magenta},
      {2, main, 2, false, Qt::blue},       {2, main, 2, true, Qt::yellow},
      // Executing at a breakpoint: the executing colours.
      {3, main, 3, false, Qt::blue},       {3, main, 3, true, Qt::yellow},
      {3, main, 2, false, text},           {3, functions, 2, false, Qt::red},
      {3, functions, 2, true, Qt::magenta}, {3, functions, 3, true, Qt::white},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mark " << c.mark << " node " << c.node
                                    << (c.tree == main ? " main" : " function")
                                    << (c.selected ? " selected" : ""));
    engine::StepMark mark;
    mark.mainIndex = c.mark;
    page->ShowStep(mark);
    c.tree->clearSelection();
    QTreeWidgetItem* node = c.tree == main ? page->MainNode(c.node) : page->FunctionNode(c.node);
    node->setSelected(c.selected);
    const std::set<QRgb> drawn = TextColours(c.tree, node);
    EXPECT_TRUE(drawn.count(c.colour.rgb() & RGB_MASK)) << c.colour.name().toStdString();
    // None of the other states' colours (of the same selection).
    const QColor others[2][3] = {{text, Qt::red, Qt::blue}, {Qt::white, Qt::magenta, Qt::yellow}};
    for (const QColor& other : others[c.selected ? 1 : 0]) {
      if (other == c.colour) continue;
      EXPECT_FALSE(drawn.count(other.rgb() & RGB_MASK)) << other.name().toStdString();
    }
  }
}

// Shows a paused page on the display and waits while a picture is taken:
// run by the window picture test on an X server of its own, which names
// the file this test creates once the page shows and removes when done.
TEST_F(DebugPagesTest, PausedPageForAPicture) {
  const char* ready = std::getenv("VTTEL_PICTURE_READY");
  if (ready == nullptr) GTEST_SKIP() << "only for the window picture test";
  Script script = Start(kLine, kWithFunction);
  ASSERT_TRUE(pages()->OpenPage(kLine));
  pages()->show();
  pages()->auto_refresh()->setChecked(true);
  DebugPage* page = pages()->current();
  engine::SetBreakpoint(*script->functions.at(0), 0, 1);
  ASSERT_TRUE(WaitFor([&] {
    return engine::PausedRead(*script, [] {}) && script->runningFunction.load() != nullptr;
  }));
  ASSERT_TRUE(WaitFor([&] {
    pages()->TakeUpdates();
    return Image(page->FunctionNode(1)) == 3;
  }));
  pages()->RefreshVars();
  window_->showMaximized();
  QTest::qWait(500);
  testing_support::WriteFile(ready, "shown\n");
  EXPECT_TRUE(WaitFor([&] { return !testing_support::FileExists(ready); }));
}

}  // namespace
}  // namespace gui
