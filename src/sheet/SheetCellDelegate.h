#pragma once
// Draws a plain cell (neither selected, nor focused, nor under the mouse) as
// the style would, with one text layout instead of the style's two and none
// of its steps for icons, check boxes and backgrounds, which the sheet model
// never gives; those steps made up most of the time of drawing a sheet. Other
// cells, one or two at a time, are drawn by the style itself.
#include <QStyledItemDelegate>

class QTextLayout;

class SheetCellDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  // Lays the text out in lines of the given width; false when it is wider
  // than that or has more than one line.
  static bool layOut(QTextLayout& layout, int width);
};
