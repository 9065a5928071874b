// Runs one AddFileToArchive call and reports what the user would have seen:
//   archive_probe <archive> <file> <name in archive>
// prints one "message: <text>" line per message box, then "result: <n>" and
// "loaded after: yes|no" (whether the archive library is still mapped).
#include <dlfcn.h>

#include <QCoreApplication>
#include <QString>
#include <cstdio>

#include "archive/AddFileToArchive.h"
#include "platform/Dialogs.h"

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  if (argc != 4) return 2;
  SetMessageBoxHandler([](QWidget*, const QString& text) {
    std::printf("message: %s\n", text.toLocal8Bit().constData());
  });
  const int result = AddFileToArchive(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]),
                                      QString::fromLocal8Bit(argv[3]));
  void* still = dlopen("liblmpqapi.so", RTLD_LAZY | RTLD_NOLOAD);
  std::printf("result: %d\nloaded after: %s\n", result, still ? "yes" : "no");
  if (still) dlclose(still);
  return 0;
}
