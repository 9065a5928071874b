#pragma once
// The program's pictures, drawn by the program itself: the splash picture of
// the start view and the application icon.
#include <QIcon>
#include <QPixmap>

// The splash picture's size: the start view places it by this.
inline constexpr QSize kSplashSize(256, 202);

QPixmap SplashPixmap();
QIcon ApplicationIcon();
