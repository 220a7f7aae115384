// The text colours of the debugger's tree nodes, from the node's image
// (breakpoint x executing, kept in the node's data): the statement
// executing blue (yellow when selected), one with a breakpoint red
// (magenta when selected), the others in the window-text colour (white
// when selected). The executing statement's colour wins over its
// breakpoint's.
//
// Ownership: a child of the tree it draws. Thread rules: window thread.
#ifndef VTTEL_GUI_DEBUG_NODE_COLOURS_H_
#define VTTEL_GUI_DEBUG_NODE_COLOURS_H_

#include <QStyledItemDelegate>

namespace gui {

// The tree node images: breakpoint x executing.
inline constexpr int kImageFor[2][2] = {{0, 1}, {2, 3}};
// The item data role that holds a node's image index.
inline constexpr int kImageRole = Qt::UserRole + 1;

class NodeColours : public QStyledItemDelegate {
  Q_OBJECT

 public:
  explicit NodeColours(QObject* parent);

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

}  // namespace gui

#endif  // VTTEL_GUI_DEBUG_NODE_COLOURS_H_
