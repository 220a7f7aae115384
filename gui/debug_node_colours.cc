#include "gui/debug_node_colours.h"

namespace gui {

NodeColours::NodeColours(QObject* parent) : QStyledItemDelegate(parent) {}

void NodeColours::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
  QStyledItemDelegate::initStyleOption(option, index);
  const int image = index.data(kImageRole).toInt();
  const bool executing = image == kImageFor[0][1] || image == kImageFor[1][1];
  const bool breakpoint = image == kImageFor[1][0] || image == kImageFor[1][1];
  QColor plain = option->palette.color(QPalette::WindowText);
  QColor selected = Qt::white;
  if (executing) {
    plain = Qt::blue;
    selected = Qt::yellow;
  } else if (breakpoint) {
    plain = Qt::red;
    selected = Qt::magenta;
  }
  option->palette.setColor(QPalette::Text, plain);
  option->palette.setColor(QPalette::HighlightedText, selected);
}

}  // namespace gui
