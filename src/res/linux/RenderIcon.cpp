// Renders the application icon, as the program draws it for its windows, into
// an image file: render-icon <size> <file.png|file.ico>. The build makes the
// desktop's 32 x 32 PNG with it; the Windows icon tabwright.ico came from it too.
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QImageWriter>
#include <cstdio>

#include "res/Artwork.h"

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  bool ok = false;
  const int size = argc == 3 ? QString::fromLocal8Bit(argv[1]).toInt(&ok) : 0;
  if (!ok || size <= 0) {
    std::fprintf(stderr, "usage: render-icon <size> <file.png|file.ico>\n");
    return 2;
  }
  const QImage image =
      ApplicationIcon().pixmap(QSize(size, size), 1.0).toImage().convertToFormat(QImage::Format_ARGB32);
  if (image.size() != QSize(size, size)) {
    std::fprintf(stderr, "render-icon: the icon has no %d x %d picture\n", size, size);
    return 1;
  }
  QImageWriter writer(QString::fromLocal8Bit(argv[2]));
  if (!writer.write(image)) {
    std::fprintf(stderr, "render-icon: %s: %s\n", argv[2], qPrintable(writer.errorString()));
    return 1;
  }
  return 0;
}
