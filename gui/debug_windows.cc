#include "gui/debug_windows.h"

#include <QCursor>
#include <QHeaderView>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/qt_text.h"

namespace gui {
namespace {

constexpr int kColumns = 4;
constexpr int kStackColumnWidths[kColumns] = {27, 47, 82, 56};
constexpr const char* kHeaders[kColumns] = {"No.", "Name", "Value", "Note"};

// The rows' cells from row first on.
void SetRows(QTableWidget* grid, int first, const std::vector<engine::VarRow>& rows) {
  for (size_t r = 0; r < rows.size(); ++r) {
    const engine::VarRow& v = rows[r];
    const std::string* cells[kColumns] = {&v.number, &v.name, &v.value, &v.note};
    for (int c = 0; c < kColumns; ++c) {
      grid->setItem(first + static_cast<int>(r), c, new QTableWidgetItem(FromGbk(*cells[c])));
    }
  }
}

}  // namespace

QTableWidget* MakeVarGrid(QWidget* parent) {
  auto* grid = new QTableWidget(0, kColumns, parent);
  for (int c = 0; c < kColumns; ++c) {
    grid->setHorizontalHeaderItem(c, new QTableWidgetItem(kHeaders[c]));
  }
  grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  grid->verticalHeader()->hide();
  grid->verticalHeader()->setDefaultSectionSize(kVarRowHeight);
  // A double-click asks for the variable's window; typing edits.
  grid->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed |
                        QAbstractItemView::SelectedClicked);
  const int half = grid->horizontalHeader()->defaultSectionSize() / 2;
  grid->setColumnWidth(0, half);
  grid->setColumnWidth(3, half);
  return grid;
}

void FillVarGrid(QTableWidget* grid, const std::vector<engine::VarRow>& rows) {
  grid->setRowCount(std::max<int>(static_cast<int>(rows.size()), 1));
  SetRows(grid, 0, rows);
  if (rows.empty()) {
    for (int c = 0; c < kColumns; ++c) grid->setItem(0, c, new QTableWidgetItem());
  }
}

CallStackWindow::CallStackWindow(QWidget* parent)
    : QDialog(parent),
      tree_(new QTreeWidget(this)),
      label_(new QLabel(FromGbk("自定义函数"), this)),
      grid_(new QTableWidget(this)),
      var_view_(new VarViewWindow(this)) {
  setWindowTitle("Call Stack List");
  tree_->setHeaderHidden(true);
  tree_->setToolTip(FromGbk("调用函数堆栈，双击可以显示函数的变量列表"));
  grid_->setColumnCount(kColumns);
  for (int c = 0; c < kColumns; ++c) {
    grid_->setHorizontalHeaderItem(c, new QTableWidgetItem(kHeaders[c]));
    grid_->setColumnWidth(c, kStackColumnWidths[c]);
  }
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tree_);
  layout->addWidget(label_);
  layout->addWidget(grid_);
  auto show_item = [this](QTreeWidgetItem* item) {
    if (item != nullptr) ShowFrame(tree_->indexOfTopLevelItem(item));
  };
  connect(tree_, &QTreeWidget::itemClicked, this, show_item);
  connect(tree_, &QTreeWidget::itemDoubleClicked, this, show_item);
  connect(grid_->horizontalHeader(), &QHeaderView::sectionClicked, this,
          [this](int column) { SortBy(column); });
  // A double-click on a variable: its facts in the frame shown.
  connect(grid_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
    QTableWidgetItem* name = grid_->item(row, 1);
    if (name == nullptr || shown_ < 0) return;
    std::vector<engine::VarRow> rows = rows_[static_cast<size_t>(shown_)];
    var_view_->ShowVariable(FromGbk("函数内变量查询"), name->text(),
                            [rows](const std::string& n, engine::VarInfo* info) {
                              return engine::VariableInfo(rows, n, info);
                            });
  });
}

void CallStackWindow::ShowFrames(const std::vector<std::string>& names,
                                 const std::vector<std::vector<engine::VarRow>>& rows) {
  tree_->clear();
  rows_ = rows;
  for (const std::string& name : names) {
    tree_->addTopLevelItem(new QTreeWidgetItem(QStringList{FromGbk(name)}));
  }
  if (tree_->topLevelItemCount() > 0) {
    tree_->setCurrentItem(tree_->topLevelItem(0));
    ShowFrame(0);
  }
}

void CallStackWindow::ShowFrame(int index) {
  if (index < 0 || index >= static_cast<int>(rows_.size())) return;
  shown_ = index;
  label_->setText(tree_->topLevelItem(index)->text(0));
  std::vector<engine::VarRow> rows = rows_[static_cast<size_t>(index)];
  if (sort_column_ >= 0) {
    const bool by_name = sort_column_ == 1;
    engine::OrderRows(rows, by_name ? (descending_ ? engine::VarOrder::kByNameDescending
                                                   : engine::VarOrder::kByName)
                                    : (descending_ ? engine::VarOrder::kByNumberDescending
                                                   : engine::VarOrder::kByNumber));
  }
  grid_->setRowCount(static_cast<int>(rows.size()));
  SetRows(grid_, 0, rows);
}

void CallStackWindow::SortBy(int column) {
  if (column != 0 && column != 1) return;
  descending_ = column == sort_column_ ? !descending_ : false;
  sort_column_ = column;
  const char* number = column != 0 ? "No." : descending_ ? "No↓" : "No↑";
  const char* name = column != 1 ? "Name" : descending_ ? "Name↓" : "Name↑";
  grid_->horizontalHeaderItem(0)->setText(FromGbk(number));
  grid_->horizontalHeaderItem(1)->setText(FromGbk(name));
  ShowFrame(shown_);
}

VarViewWindow::VarViewWindow(QWidget* parent)
    : QDialog(parent),
      name_(new QLineEdit(this)),
      note_(new QLabel(this)),
      type_(new QLabel(this)),
      value_(new QPlainTextEdit(this)) {
  setWindowTitle(FromGbk("变量查询"));
  value_->setReadOnly(true);
  auto* refresh = new QPushButton(FromGbk("刷新"), this);
  refresh->setDefault(true);
  connect(refresh, &QPushButton::clicked, this, [this] { Refresh(); });
  auto* layout = new QVBoxLayout(this);
  for (QWidget* w : std::initializer_list<QWidget*>{name_, note_, type_, value_, refresh}) {
    layout->addWidget(w);
  }
}

void VarViewWindow::ShowVariable(const QString& caption, const QString& name, Lookup lookup) {
  setWindowTitle(caption);
  name_->setText(name);
  lookup_ = std::move(lookup);
  Refresh();
  // Modal to the window, without a nested loop.
  open();
}

void VarViewWindow::Refresh() {
  engine::VarInfo info;
  if (lookup_) lookup_(ToGbk(name_->text()), &info);
  note_->setText(FromGbk(info.note));
  type_->setText(FromGbk(info.type));
  value_->setPlainText(FromGbk(info.value));
}

StatementVarsWindow::StatementVarsWindow(QWidget* parent)
    : QDialog(parent), memo_(new QPlainTextEdit(this)) {
  setWindowTitle(FromGbk("相关变量..."));
  memo_->setReadOnly(true);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(memo_);
}

void StatementVarsWindow::ShowText(const QString& text) {
  memo_->setPlainText(text);
  move(QCursor::pos());
  // Modal to the window, without a nested loop.
  open();
}

}  // namespace gui
