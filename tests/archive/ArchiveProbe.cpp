// archive_probe <archive> <file> <name in archive>: one AddFileToArchive call.
// Prints each message, then the result and whether the library is still loaded.
// The library tests also kill it half-way, as a user might kill the editor.
#include <dlfcn.h>

#include <cstdio>

#include "archive/AddFileToArchive.h"
#include "platform/Dialogs.h"

int main(int, char* argv[]) {
  SetMessageBoxHandler([](QWidget*, const QString& text) { std::printf("message %s\n", qPrintable(text)); });
  const int result = AddFileToArchive(argv[1], argv[2], argv[3]);
  std::printf("result %d, %s\n", result,
              dlopen("liblmpqapi.so", RTLD_LAZY | RTLD_NOLOAD) ? "loaded" : "freed");
}
