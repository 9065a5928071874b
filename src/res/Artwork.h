#pragma once
// The program's pictures, drawn by the program itself: the splash picture of
// the start view (256 x 202) and the application icon.
#include <QIcon>
#include <QPixmap>

QPixmap SplashPixmap();
QIcon ApplicationIcon();
