#pragma once
// Where the editor window's controls go for a client area of W x H pixels.
// Integer arithmetic only; values pass on as computed, negative ones included.
#include <QRect>

struct EditorLayout {
  QRect cellEditor;
  QRect grid;
  QRect keyList;
  QRect keySearch;
  QRect valueView;
  QRect splash;
};

EditorLayout ComputeEditorLayout(int width, int height);
