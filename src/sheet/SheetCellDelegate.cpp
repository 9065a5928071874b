#include "sheet/SheetCellDelegate.h"

#include <QApplication>
#include <QPainter>
#include <QTableView>
#include <QTextLayout>

void SheetCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  // A grid that draws its lines itself hands over whole cells; the line
  // along the right and the bottom is not the cell's.
  QStyleOptionViewItem cell = option;
  if (const auto* view = qobject_cast<const QTableView*>(option.widget); view && !view->showGrid())
    cell.rect.adjust(0, 0, -1, -1);
  if (option.state & (QStyle::State_Selected | QStyle::State_HasFocus | QStyle::State_MouseOver)) {
    QStyledItemDelegate::paint(painter, cell, index);
    return;
  }
  const QString text = index.data(Qt::DisplayRole).toString();
  if (text.isEmpty()) return;
  const QVariant aligned = index.data(Qt::TextAlignmentRole);
  const Qt::Alignment alignment =
      aligned.isValid() ? Qt::Alignment(aligned.toInt()) : (Qt::AlignLeft | Qt::AlignVCenter);
  const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
  const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, option.widget) + 1;
  const QRect textRect = cell.rect.adjusted(margin, 0, -margin, 0);

  QTextOption textOption;
  textOption.setWrapMode(QTextOption::ManualWrap);
  textOption.setTextDirection(option.direction);
  textOption.setAlignment(QStyle::visualAlignment(option.direction, alignment));
  QTextLayout layout(text, option.font);
  layout.setTextOption(textOption);
  if (!layOut(layout, textRect.width())) {
    if (layout.lineCount() > 1) {  // a line separator in the text: rare, and the style's business
      QStyledItemDelegate::paint(painter, cell, index);
      return;
    }
    layout.setText(option.fontMetrics.elidedText(text, option.textElideMode, textRect.width()));
    layOut(layout, textRect.width());
  }
  const QRect bounds = QStyle::alignedRect(Qt::LayoutDirectionAuto, alignment,
                                           layout.boundingRect().size().toSize(), textRect);
  const QPalette::ColorGroup group = !(option.state & QStyle::State_Enabled) ? QPalette::Disabled
                                     : (option.state & QStyle::State_Active) ? QPalette::Active
                                                                             : QPalette::Inactive;
  painter->save();
  painter->setClipRect(cell.rect);  // as the style: glyphs that reach past their advance stay in the cell
  painter->setPen(option.palette.color(group, QPalette::Text));
  layout.draw(painter, QPointF(textRect.x(), bounds.top()));
  painter->restore();
}

bool SheetCellDelegate::layOut(QTextLayout& layout, int width) {
  layout.beginLayout();
  qreal height = 0;
  bool fits = true;
  for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
    line.setLineWidth(width);
    line.setPosition(QPointF(0, height));
    height += line.height();
    fits = fits && line.naturalTextWidth() <= width;
  }
  layout.endLayout();
  return fits && layout.lineCount() == 1;
}
