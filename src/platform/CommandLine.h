#pragma once
// The command-line tail: what follows the program's own name, taken verbatim.
#include <QString>
#include <QStringList>

// Rules over a whole command line, as Windows hands it to a program:
// a quoted program name runs to the next quote (or the end), an unquoted one
// to the first character of code 32 or less; characters 1..32 after it are
// skipped; the rest is the tail, blanks and quotes included.
QString CommandLineTail(const QString& commandLine);

// The same tail where the shell has already split the line: the arguments
// after the program's name joined with single blanks, leading blanks skipped.
QString CommandLineTailFromArguments(const QStringList& argumentsAfterName);
