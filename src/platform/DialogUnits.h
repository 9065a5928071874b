#pragma once
// Dialog units of a font, as the old framework measured its dialog templates:
// a quarter of the font's average character width across, an eighth of its
// height down.
#include <QRect>

class QFont;

class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);

  // A rectangle given in dialog units, in pixels.
  QRect Map(const QRect& units) const;
  QSize Map(QSize units) const { return Map(QRect(QPoint(0, 0), units)).size(); }

 private:
  int m_baseX = 1;  // average character width of the font
  int m_baseY = 1;  // character height of the font
};
