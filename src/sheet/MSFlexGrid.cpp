#include "sheet/MSFlexGrid.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTextLayout>

namespace {
constexpr int kTwipsPerInch = 1440;
constexpr long kDefaultColWidthTwips = 1800;

Qt::Alignment alignmentFor(short code) {
  if (code < 0 || code > 8) return Qt::AlignLeft | Qt::AlignVCenter;  // general
  static constexpr Qt::AlignmentFlag kHorizontal[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
  static constexpr Qt::AlignmentFlag kVertical[] = {Qt::AlignTop, Qt::AlignVCenter, Qt::AlignBottom};
  return kHorizontal[code / 3] | kVertical[code % 3];
}

// Draws a plain cell (neither selected, nor focused, nor under the mouse) as
// the style would, with one text layout instead of the style's two and none
// of its steps for icons, check boxes and backgrounds, which the sheet model
// never gives; those steps made up most of the time of drawing a sheet. Other
// cells, one or two at a time, are drawn by the style itself.
class SheetCellDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
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

 private:
  // Lays the text out in lines of the given width; false when it is wider
  // than that or has more than one line.
  static bool layOut(QTextLayout& layout, int width) {
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
};

void setUpSheetView(QTableView* view) {
  view->setItemDelegate(new SheetCellDelegate(view));
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setSelectionBehavior(QAbstractItemView::SelectItems);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setWordWrap(false);
  view->setTabKeyNavigation(false);  // Tab moves on to the next control
  view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  view->horizontalHeader()->setSectionsClickable(false);
  view->horizontalHeader()->setHighlightSections(false);
  view->verticalHeader()->setSectionsClickable(false);
  // Fixed row heights: the header never measures a million rows.
  view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
}
}  // namespace

CMSFlexGrid::CMSFlexGrid(QWidget* parent) : QTableView(parent), m_frozen(new QTableView(this)) {
  setModel(&m_model);
  setUpSheetView(this);
  const int defaultWidth = static_cast<int>(kDefaultColWidthTwips * logicalDpiX() / kTwipsPerInch);
  horizontalHeader()->setDefaultSectionSize(defaultWidth);

  // The frozen view gets the model only while columns are frozen: attached,
  // its own (hidden) row header would keep a section for every row.
  setUpSheetView(m_frozen);
  m_frozen->horizontalHeader()->setDefaultSectionSize(defaultWidth);
  m_frozen->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  m_frozen->verticalHeader()->hide();
  m_frozen->setFocusPolicy(Qt::NoFocus);
  // The grid does the scrolling. Left to itself, the frozen view would scroll
  // both views back to the current cell when it is first shown by a freeze.
  m_frozen->setAutoScroll(false);
  m_frozen->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  m_frozen->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  m_frozen->setFrameShape(QFrame::NoFrame);
  viewport()->stackUnder(m_frozen);
  m_frozen->hide();
  setShowGrid(false);  // drawn by paintEvent, in a few long strokes

  connect(verticalScrollBar(), &QScrollBar::valueChanged, m_frozen->verticalScrollBar(), &QScrollBar::setValue);
  connect(m_frozen->verticalScrollBar(), &QScrollBar::valueChanged, verticalScrollBar(), &QScrollBar::setValue);
  connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int section, int, int size) {
    if (section < frozenCount()) {
      m_frozen->setColumnWidth(section, size);
      placeFrozenView();
    }
  });
  connect(&m_model, &QAbstractItemModel::modelReset, this, [this] {
    updateFrozenColumns();
    showCurrentCell();
  });
  viewport()->installEventFilter(this);
  m_frozen->viewport()->installEventFilter(this);
}

QByteArray CMSFlexGrid::GetText() const { return m_model.store().cell(m_row, m_col); }

void CMSFlexGrid::SetText(QByteArrayView text) { m_model.setCell(m_row, m_col, text); }

long CMSFlexGrid::GetRows() const { return m_model.store().rowCount(); }

void CMSFlexGrid::SetRows(long rows) {
  m_model.setRowCount(static_cast<int>(rows));
  settleCurrentCell();
}

long CMSFlexGrid::GetCols() const { return m_model.store().colCount(); }

void CMSFlexGrid::SetCols(long cols) {
  m_model.setColCount(static_cast<int>(cols));
  settleCurrentCell();
}

void CMSFlexGrid::SetFixedRows(long rows) { m_fixedRows = rows < 0 ? 0 : rows; }

void CMSFlexGrid::SetFixedCols(long cols) {
  m_fixedCols = cols < 0 ? 0 : cols;
  updateFrozenColumns();
}

void CMSFlexGrid::SetRow(long row) {
  m_row = row;
  showCurrentCell();
}

void CMSFlexGrid::SetCol(long col) {
  m_col = col;
  showCurrentCell();
}

void CMSFlexGrid::SetColAlignment(long col, short alignment) {
  m_model.setColumnAlignment(static_cast<int>(col), alignmentFor(alignment));
}

void CMSFlexGrid::SetColWidth(long col, long twips) {
  const int pixels = static_cast<int>(twips * logicalDpiX() / kTwipsPerInch);
  if (col == 0) {
    verticalHeader()->setFixedWidth(pixels);
  } else if (col > 0 && col < GetCols() && horizontalHeader()->sectionSize(int(col - 1)) != pixels) {
    horizontalHeader()->resizeSection(static_cast<int>(col - 1), pixels);
  }
}

long CMSFlexGrid::GetColWidth(long col) const {
  const int pixels = col == 0 ? verticalHeader()->width() : horizontalHeader()->sectionSize(int(col - 1));
  return static_cast<long>(pixels) * kTwipsPerInch / logicalDpiX();
}

QByteArray CMSFlexGrid::GetTextMatrix(long row, long col) const {
  return m_model.store().cell(static_cast<int>(row), static_cast<int>(col));
}

void CMSFlexGrid::SetTextMatrix(long row, long col, QByteArrayView text) {
  m_model.setCell(static_cast<int>(row), static_cast<int>(col), text);
}

void CMSFlexGrid::AddItem(QByteArrayView text) {
  m_model.appendRow(text);
  settleCurrentCell();
}

void CMSFlexGrid::AddFileLines(QByteArray file) {
  m_model.appendFileLines(std::move(file));
  settleCurrentCell();
}

void CMSFlexGrid::Clear() { m_model.clearCells(); }

// The current cell is always one of the views' cells (not the header row or
// the label column), or none when there is no such cell.
void CMSFlexGrid::settleCurrentCell() {
  const long rows = GetRows();
  const long cols = GetCols();
  const bool inside = m_row >= 1 && m_row < rows && m_col >= 1 && m_col < cols;
  if (!inside) {
    const bool any = rows > 1 && cols > 1;
    m_row = any ? 1 : -1;
    m_col = any ? 1 : -1;
  }
  showCurrentCell();
}

void CMSFlexGrid::showCurrentCell() {
  const QModelIndex index = m_model.index(static_cast<int>(m_row - 1), static_cast<int>(m_col - 1));
  if (index.isValid()) selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
  else selectionModel()->clear();
}

void CMSFlexGrid::takeCurrentFromView(const QModelIndex& index) {
  m_row = index.row() + 1;
  m_col = index.column() + 1;
}

// The arrow, Page, Home and End keys move the current cell; only a click
// tells the window (the editor keeps its text).
void CMSFlexGrid::keyPressEvent(QKeyEvent* event) {
  QTableView::keyPressEvent(event);
  const QModelIndex index = currentIndex();
  if (index.isValid()) takeCurrentFromView(index);
}

// The grid has no search by typing: a letter typed in it does nothing.
void CMSFlexGrid::keyboardSearch(const QString&) {}

bool CMSFlexGrid::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
      (watched == viewport() || watched == m_frozen->viewport())) {
    // The press has made the cell under the mouse current; the click is done.
    const QModelIndex index = currentIndex();
    if (index.isValid()) {
      takeCurrentFromView(index);
      emit Click();
    }
  }
  return QTableView::eventFilter(watched, event);
}

int CMSFlexGrid::frozenCount() const {
  const long count = std::min<long>(m_fixedCols - 1, m_model.columnCount());
  return count > 0 ? static_cast<int>(count) : 0;
}

int CMSFlexGrid::frozenWidth() const {
  int width = 0;
  for (int col = 0; col < frozenCount(); ++col) width += columnWidth(col);
  return width;
}

void CMSFlexGrid::attachFrozenView(bool attach) {
  if (attach == (m_frozen->model() == &m_model)) return;
  QItemSelectionModel* const previous = m_frozen->selectionModel();
  m_frozen->setModel(attach ? &m_model : nullptr);  // gives the view a new selection model of its own
  if (attach) {
    QItemSelectionModel* const made = m_frozen->selectionModel();
    m_frozen->setSelectionModel(selectionModel());  // the cell current in one view is current in both
    delete made;
  }
  if (previous != selectionModel()) delete previous;
}

void CMSFlexGrid::updateFrozenColumns() {
  const int frozen = frozenCount();
  if (frozen == 0) {
    m_frozen->hide();
    attachFrozenView(false);
    return;
  }
  attachFrozenView(true);
  const int columns = m_model.columnCount();
  for (int col = 0; col < columns; ++col) {
    m_frozen->setColumnHidden(col, col >= frozen);
    if (col < frozen) m_frozen->setColumnWidth(col, columnWidth(col));
  }
  m_frozen->verticalScrollBar()->setValue(verticalScrollBar()->value());
  placeFrozenView();
  m_frozen->show();
}

void CMSFlexGrid::placeFrozenView() {
  m_frozen->setGeometry(verticalHeader()->width() + frameWidth(), frameWidth(), frozenWidth(),
                        viewport()->height() + horizontalHeader()->height());
}

// The grid lines, after the cells: QTableView strokes a pen along every row
// and column of every dirty rectangle, which cost a fifth of drawing a sheet;
// filled one-pixel rectangles look the same at a fraction of the cost.
void CMSFlexGrid::paintEvent(QPaintEvent* event) {
  QTableView::paintEvent(event);
  const int rows = m_model.rowCount();
  const int cols = m_model.columnCount();
  if (rows == 0 || cols == 0) return;
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  const QColor color = QColor::fromRgba(static_cast<QRgb>(style()->styleHint(QStyle::SH_Table_GridLineColor, &option, this)));
  QPainter painter(viewport());
  const QHeaderView* across = horizontalHeader();
  const QHeaderView* down = verticalHeader();
  const int right = std::min(viewport()->width(), across->length() - across->offset()) - 1;
  const int bottom = std::min(viewport()->height(), down->length() - down->offset()) - 1;
  for (const QRect& dirty : event->region()) {
    const QRect area = dirty.intersected(QRect(0, 0, right + 1, bottom + 1));
    if (area.isEmpty()) continue;
    int first = down->visualIndexAt(area.top());
    int last = down->visualIndexAt(area.bottom());
    if (first < 0) first = 0;
    if (last < 0) last = down->count() - 1;
    for (int visual = first; visual <= last; ++visual) {
      const int row = down->logicalIndex(visual);
      if (down->isSectionHidden(row)) continue;
      const int y = rowViewportPosition(row) + rowHeight(row) - 1;
      painter.fillRect(QRect(area.left(), y, area.width(), 1), color);
    }
    first = across->visualIndexAt(area.left());
    last = across->visualIndexAt(area.right());
    if (first < 0) first = 0;
    if (last < 0) last = across->count() - 1;
    for (int visual = first; visual <= last; ++visual) {
      const int col = across->logicalIndex(visual);
      if (across->isSectionHidden(col)) continue;
      const int x = columnViewportPosition(col) + columnWidth(col) - 1;
      painter.fillRect(QRect(x, area.top(), 1, area.height()), color);
    }
  }
}

void CMSFlexGrid::resizeEvent(QResizeEvent* event) {
  QTableView::resizeEvent(event);
  placeFrozenView();
}

void CMSFlexGrid::updateGeometries() {
  QTableView::updateGeometries();
  if (m_frozen) placeFrozenView();
}

// Keeps a cell reached by the keyboard out from under the frozen columns.
QModelIndex CMSFlexGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
  const QModelIndex current = QTableView::moveCursor(action, modifiers);
  const int frozen = frozenCount();
  if (action == MoveLeft && current.column() >= frozen && visualRect(current).left() < frozenWidth()) {
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + visualRect(current).left() - frozenWidth());
  }
  return current;
}

void CMSFlexGrid::scrollTo(const QModelIndex& index, ScrollHint hint) {
  // A frozen cell never scrolls sideways; bring only its row into view.
  if (index.isValid() && index.column() < frozenCount()) {
    const int scrollable = std::min(frozenCount(), m_model.columnCount() - 1);
    if (scrollable >= frozenCount()) {
      const int value = horizontalScrollBar()->value();
      QTableView::scrollTo(m_model.index(index.row(), scrollable), hint);
      horizontalScrollBar()->setValue(value);
    }
    return;
  }
  QTableView::scrollTo(index, hint);
}
