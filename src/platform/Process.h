#pragma once
// What the running process was started with, as the platform reports it:
// the command-line tail and the working directory. ProcessWindows.cpp reads
// the raw command line and the current directory through the Windows API;
// ProcessPosix.cpp takes what the shell and the C library hand over.
#include <QString>

// The tail of this process's command line (what follows the program's name),
// by the rules of CommandLineTail. On Windows it comes from the raw line of
// GetCommandLineA and argv is not looked at; elsewhere the shell has split the
// line, and the arguments after argv[0] are joined with single blanks.
QString ProcessCommandLineTail(int argc, char* argv[]);

// The working directory as the platform spells it: GetCurrentDirectoryA's
// string on Windows ("C:\\" at a drive root, "C:\\mods" below it), the
// C library's on other systems ("/" at the root).
QString ProcessWorkingDirectory();
