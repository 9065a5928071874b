#include "ui/EditorLayout.h"

#include "res/Artwork.h"

EditorLayout ComputeEditorLayout(int width, int height) {
  const int half = width / 2;  // signed division, truncated toward zero
  const int third = width / 3;
  EditorLayout layout;
  layout.cellEditor = QRect(half - 300, 10, 600, 28);
  layout.grid = QRect(3, 50, width - 6, height - 56);
  layout.keyList = QRect(5, 10, third, 10);
  layout.keySearch = QRect(third + 10, 10, third, 28);
  layout.valueView = QRect(5, 40, width - 10, height - 45);
  layout.splash = QRect(QPoint(half - kSplashSize.width() / 2, height / 2 - kSplashSize.height() / 2), kSplashSize);
  return layout;
}
