#include "platform/Process.h"

#include <windows.h>

#include "platform/CommandLine.h"

namespace {
// The editor's path buffers hold 512 bytes with the terminating zero.
constexpr DWORD kPathBufferSize = 512;
}  // namespace

QString ProcessCommandLineTail(int, char*[]) {
  // The line exactly as the process was started with it: quotes, blanks and
  // all, in the ANSI code page that the rest of the program's paths use.
  return CommandLineTail(QString::fromLocal8Bit(GetCommandLineA()));
}

QString ProcessWorkingDirectory() {
  char directory[kPathBufferSize] = {};
  const DWORD length = GetCurrentDirectoryA(kPathBufferSize, directory);
  // A longer directory does not fit the editor's buffers; it then has no
  // settings file of its own (an empty directory gives "\Tabwright.ini",
  // the root of the current drive).
  if (length == 0 || length >= kPathBufferSize) return {};
  return QString::fromLocal8Bit(directory, static_cast<qsizetype>(length));
}
