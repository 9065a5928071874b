// Entry: builds the toolkit's application, then the program's application
// object, and lets it run the editor window.
#include <QApplication>
#include <QStringList>

#include "app/TabSheetApp.h"
#include "platform/CommandLine.h"

int main(int argc, char* argv[]) {
  QApplication qtApp(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tabwright"));
  // Lets the desktop match the window to its installed entry.
  QGuiApplication::setDesktopFileName(QStringLiteral("io.github.tabwright.Tabwright"));
  QStringList arguments;
  for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  CTabSheetApp app(CommandLineTailFromArguments(arguments));
  app.InitInstance();
  return 0;
}
