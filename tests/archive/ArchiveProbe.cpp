// archive_probe <archive> <file> <name in archive>: one AddFileToArchive call.
// Prints each message, then the result and whether the library is still loaded.
// The library tests also kill it half-way, as a user might kill the editor.
#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <cstdio>

#include "archive/AddFileToArchive.h"
#include "platform/Dialogs.h"

int main(int, char* argv[]) {
  SetMessageBoxHandler([](QWidget*, const QString& text) { std::printf("message %s\n", qPrintable(text)); });
  const int result = AddFileToArchive(argv[1], argv[2], argv[3]);
#if defined(_WIN32)
  const bool loaded = GetModuleHandleA("lmpqapi.dll");
#else
  const bool loaded = dlopen("liblmpqapi.so", RTLD_LAZY | RTLD_NOLOAD);
#endif
  std::printf("result %d, %s\n", result, loaded ? "loaded" : "freed");
  std::fflush(stdout);
}
