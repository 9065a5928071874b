#include "sheet/MSFlexGrid.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>

#include "sheet/SheetCellDelegate.h"

namespace {
constexpr int kTwipsPerInch = 1440;
constexpr long kDefaultColWidthTwips = 1800;

Qt::Alignment alignmentFor(short code) {
  if (code < 0 || code > 8) return Qt::AlignLeft | Qt::AlignVCenter;  // general
  static constexpr Qt::AlignmentFlag kHorizontal[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
  static constexpr Qt::AlignmentFlag kVertical[] = {Qt::AlignTop, Qt::AlignVCenter, Qt::AlignBottom};
  return kHorizontal[code / 3] | kVertical[code % 3];
}

// The view of the frozen columns: it shows the rows that the grid shows,
// also at the end of the range, where the grid lines up differently from a
// plain view (see keepFirstShownWhole).
class FrozenColumnsView : public QTableView {
 public:
  FrozenColumnsView(QWidget* parent, const QHeaderView* gridRows) : QTableView(parent), m_gridRows(gridRows) {}

  void followGridRows() {
    if (verticalHeader()->offset() == m_gridRows->offset()) return;
    verticalHeader()->setOffset(m_gridRows->offset());
    viewport()->update();
  }

 protected:
  void updateGeometries() override {
    QTableView::updateGeometries();
    followGridRows();
  }
  void scrollContentsBy(int dx, int dy) override {
    QTableView::scrollContentsBy(dx, dy);
    followGridRows();
  }

 private:
  const QHeaderView* m_gridRows;
};

void setUpSheetView(QTableView* view) {
  view->setItemDelegate(new SheetCellDelegate(view));
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setSelectionBehavior(QAbstractItemView::SelectItems);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setWordWrap(false);
  view->setTabKeyNavigation(false);  // Tab moves on to the next control
  // Whole columns and rows, as the grid control scrolled: no column shows
  // in part beside the frozen ones.
  view->setHorizontalScrollMode(QAbstractItemView::ScrollPerItem);
  view->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  view->horizontalHeader()->setSectionsClickable(false);
  view->horizontalHeader()->setHighlightSections(false);
  view->verticalHeader()->setSectionsClickable(false);
  // Fixed row heights: the header never measures a million rows.
  view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
}
}  // namespace

CMSFlexGrid::CMSFlexGrid(SheetDocument& sheet, QWidget* parent)
    : QTableView(parent), m_sheet(sheet), m_model(sheet.Model()), m_frozen(new FrozenColumnsView(this, verticalHeader())) {
  setModel(&m_model);
  setUpSheetView(this);
  const int defaultWidth = static_cast<int>(kDefaultColWidthTwips * logicalDpiX() / kTwipsPerInch);
  horizontalHeader()->setDefaultSectionSize(defaultWidth);

  // The frozen view gets the model only while columns are frozen: attached,
  // its own row header keeps a section for every row. It shows the label
  // column and the frozen columns over the grid's row header, which is made
  // as wide as both, so the grid's own columns start right of them.
  setUpSheetView(m_frozen);
  m_frozen->horizontalHeader()->setDefaultSectionSize(defaultWidth);
  m_frozen->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
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
  // The sheet may be reloaded behind the grid's back: the current cell
  // settles inside it again.
  connect(&m_model, &QAbstractItemModel::modelReset, this, [this] {
    updateFrozenColumns();
    settleCurrentCell();
  });
  viewport()->installEventFilter(this);
  m_frozen->viewport()->installEventFilter(this);
}

QByteArray CMSFlexGrid::GetText() const { return m_model.store().cell(m_row, m_col); }

void CMSFlexGrid::SetText(QByteArrayView text) { m_sheet.SetCell(m_row, m_col, text); }

long CMSFlexGrid::GetRows() const { return m_model.store().rowCount(); }

void CMSFlexGrid::SetRows(long rows) {
  m_sheet.SetRowCount(static_cast<int>(rows));
  settleCurrentCell();
}

long CMSFlexGrid::GetCols() const { return m_model.store().colCount(); }

void CMSFlexGrid::SetCols(long cols) {
  m_sheet.SetColCount(static_cast<int>(cols));
  settleCurrentCell();
}

void CMSFlexGrid::SetFixedRows(long rows) { m_fixedRows = rows < 0 ? 0 : rows; }

void CMSFlexGrid::SetFixedCols(long cols) {
  // What is shown stays where it is: the rows, and the first column that
  // scrolls, unless it is the one frozen now. Scrolled by whole columns, the
  // grid would otherwise shift its columns by as many as it hides or shows.
  const int firstShown = columnAt(0);
  m_fixedCols = cols < 0 ? 0 : cols;
  updateFrozenColumns();
  if (firstShown >= 0) showColumnFirst(std::max(firstShown, frozenCount()));
}

void CMSFlexGrid::showColumnFirst(int column) {
  updateGeometries();  // the scroll range for the columns shown now
  int position = 0;  // counts only the columns shown
  for (int col = 0; col < column; ++col) position += isColumnHidden(col) ? 0 : 1;
  horizontalScrollBar()->setValue(position);
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
    m_labelWidth = pixels;
  } else if (col > 0 && col < GetCols()) {
    // A frozen column is hidden in the grid; its header keeps the width for
    // when it shows again.
    if (horizontalHeader()->sectionSize(int(col - 1)) != pixels) horizontalHeader()->resizeSection(int(col - 1), pixels);
    if (col - 1 < frozenCount()) m_frozen->setColumnWidth(static_cast<int>(col - 1), pixels);
  } else {
    return;
  }
  if (col <= frozenCount()) placeFrozenView();
}

long CMSFlexGrid::GetColWidth(long col) const {
  const int pixels = col == 0                  ? labelWidth()
                     : col - 1 < frozenCount() ? m_frozen->columnWidth(static_cast<int>(col - 1))
                                               : horizontalHeader()->sectionSize(static_cast<int>(col - 1));
  return static_cast<long>(pixels) * kTwipsPerInch / logicalDpiX();
}

QByteArray CMSFlexGrid::GetTextMatrix(long row, long col) const {
  return m_model.store().cell(static_cast<int>(row), static_cast<int>(col));
}

void CMSFlexGrid::SetTextMatrix(long row, long col, QByteArrayView text) {
  m_sheet.SetCell(static_cast<int>(row), static_cast<int>(col), text);
}

void CMSFlexGrid::AddItem(QByteArrayView text) {
  m_sheet.AppendRow(text);
  settleCurrentCell();
}

void CMSFlexGrid::Clear() { m_sheet.ClearCells(); }

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
  for (int col = 0; col < frozenCount(); ++col) width += m_frozen->columnWidth(col);
  return width;
}

int CMSFlexGrid::labelWidth() const {
  return m_labelWidth >= 0 ? m_labelWidth : verticalHeader()->sizeHint().width();
}

void CMSFlexGrid::attachFrozenView(bool attach) {
  if (attach == (m_frozen->model() == &m_model)) return;
  QItemSelectionModel* const previous = m_frozen->selectionModel();
  // The frozen view's scroll bar drives the grid's: emptied, it would go
  // back to the top and take the grid with it.
  const QSignalBlocker keepRows(m_frozen->verticalScrollBar());
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
  const int columns = m_model.columnCount();
  if (frozen == 0) {
    m_frozen->hide();
    attachFrozenView(false);
    for (int col = 0; col < columns; ++col) setColumnHidden(col, false);
    placeFrozenView();
    return;
  }
  attachFrozenView(true);
  for (int col = 0; col < columns; ++col) {
    if (col < frozen) m_frozen->setColumnWidth(col, horizontalHeader()->isSectionHidden(col)
                                                        ? m_frozen->columnWidth(col)
                                                        : horizontalHeader()->sectionSize(col));
    m_frozen->setColumnHidden(col, col >= frozen);
    setColumnHidden(col, col < frozen);
  }
  m_frozen->verticalScrollBar()->setValue(verticalScrollBar()->value());
  placeFrozenView();
  m_frozen->show();
}

// The grid's row header takes the width of the label column and the frozen
// columns; the frozen view lies over it and shows both.
void CMSFlexGrid::placeFrozenView() {
  const int label = labelWidth();
  const bool fixed = m_labelWidth >= 0 || frozenCount() > 0;
  const int header = frozenCount() > 0 ? label + frozenWidth() : label;
  QHeaderView* down = verticalHeader();
  const int least = fixed ? header : 0, most = fixed ? header : QWIDGETSIZE_MAX;
  if (down->minimumWidth() != least || down->maximumWidth() != most) {
    down->setMinimumWidth(least);
    down->setMaximumWidth(most);
    updateGeometries();  // the view's columns start after the new header width; comes back here
    return;
  }
  if (frozenCount() == 0) return;
  m_frozen->verticalHeader()->setFixedWidth(label);
  m_frozen->setGeometry(frameWidth(), frameWidth(), header, viewport()->height() + horizontalHeader()->height());
  alignFrozenRows();
}

// At the end of its range the view lines the last column (row) up with the
// far edge, which cuts the first one shown; the grid starts the first one
// shown whole at the near edge, all the way.
void CMSFlexGrid::keepFirstShownWhole() {
  bool moved = false;
  for (const auto& [bar, header] : {std::pair{horizontalScrollBar(), horizontalHeader()},
                                    std::pair{verticalScrollBar(), verticalHeader()}}) {
    if (bar->maximum() == 0 || bar->value() != bar->maximum()) continue;
    const int before = header->offset();
    header->setOffsetToSectionPosition(bar->value());
    moved = moved || header->offset() != before;
  }
  if (moved) viewport()->update();
}

void CMSFlexGrid::alignFrozenRows() { static_cast<FrozenColumnsView*>(m_frozen)->followGridRows(); }

void CMSFlexGrid::scrollContentsBy(int dx, int dy) {
  QTableView::scrollContentsBy(dx, dy);
  keepFirstShownWhole();
  alignFrozenRows();
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
  keepFirstShownWhole();
  if (m_frozen) placeFrozenView();
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
