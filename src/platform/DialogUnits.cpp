#include "platform/DialogUnits.h"

#include <QFontMetrics>

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  m_baseX = qMax(1, (metrics.horizontalAdvance(alphabet) / 26 + 1) / 2);
  m_baseY = qMax(1, metrics.height());
}

QRect DialogUnits::Map(const QRect& units) const {
  return QRect(units.x() * m_baseX / 4, units.y() * m_baseY / 8, units.width() * m_baseX / 4,
               units.height() * m_baseY / 8);
}
