#include "res/Artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>

namespace {
// A sheet motif: a header band and a few ruled rows, the first column darker.
void drawSheetMotif(QPainter& painter, const QRectF& area, int rows, int cols) {
  const qreal rowHeight = area.height() / rows;
  const qreal colWidth = area.width() / cols;
  painter.fillRect(QRectF(area.left(), area.top(), area.width(), rowHeight), QColor(150, 40, 30));
  painter.fillRect(QRectF(area.left(), area.top() + rowHeight, colWidth, area.height() - rowHeight),
                   QColor(90, 75, 55));
  painter.setPen(QPen(QColor(60, 50, 40), 1));
  for (int r = 0; r <= rows; ++r)
    painter.drawLine(QPointF(area.left(), area.top() + r * rowHeight), QPointF(area.right(), area.top() + r * rowHeight));
  for (int c = 0; c <= cols; ++c)
    painter.drawLine(QPointF(area.left() + c * colWidth, area.top()), QPointF(area.left() + c * colWidth, area.bottom()));
}
}  // namespace

QPixmap SplashPixmap() {
  QPixmap pixmap(kSplashSize);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  QLinearGradient background(0, 0, 0, kSplashSize.height());
  background.setColorAt(0, QColor(28, 22, 18));
  background.setColorAt(1, QColor(70, 52, 36));
  painter.fillRect(pixmap.rect(), background);
  painter.fillRect(QRectF(28, 84, 200, 96), QColor(215, 200, 170));
  drawSheetMotif(painter, QRectF(28, 84, 200, 96), 6, 5);
  QFont title(QStringLiteral("DejaVu Serif"));
  title.setPixelSize(34);
  title.setBold(true);
  painter.setFont(title);
  painter.setPen(QColor(222, 180, 90));
  painter.drawText(QRectF(0, 14, kSplashSize.width(), 44), Qt::AlignCenter, QStringLiteral("Tabwright"));
  QFont subtitle(QStringLiteral("DejaVu Sans"));
  subtitle.setPixelSize(12);
  painter.setFont(subtitle);
  painter.setPen(QColor(200, 190, 170));
  painter.drawText(QRectF(0, 54, kSplashSize.width(), 22), Qt::AlignCenter, QStringLiteral("sheets and string tables"));
  return pixmap;
}

QIcon ApplicationIcon() {
  QIcon icon;
  for (const int size : {16, 32, 48, 64}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.fillRect(QRectF(0, 0, size, size), QColor(215, 200, 170));
    drawSheetMotif(painter, QRectF(0.5, 0.5, size - 1, size - 1), 4, 3);
    icon.addPixmap(pixmap);
  }
  return icon;
}
