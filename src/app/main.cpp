// Entry: builds the toolkit's application, then the program's application
// object, and lets it run the editor window.
#include <QApplication>

#include "app/TabSheetApp.h"
#include "platform/Process.h"

int main(int argc, char* argv[]) {
  QApplication qtApp(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tabwright"));
  // Lets the desktop match the window to its installed entry.
  QGuiApplication::setDesktopFileName(QStringLiteral(TW_APP_ID));
  CTabSheetApp app(ProcessCommandLineTail(argc, argv));
  app.InitInstance();
  return 0;
}
