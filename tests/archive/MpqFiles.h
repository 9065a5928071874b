#pragma once
// Archives made and read back with StormLib in the test process (only ever
// archives our own code made), and adds as the program makes them.
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <map>

#include "TestFiles.h"

// Archive contents print shortly.
inline void PrintTo(const QByteArray& bytes, std::ostream* os) { *os << bytes.left(40).toStdString(); }

// Name in archive -> contents.
using MpqContents = std::map<QByteArray, QByteArray>;

struct MpqRecipe {
  int format = 0;         // the header's format version: 0 (the game's) or 1
  bool listfile = false;  // whether the archive holds a (listfile) naming its files
  unsigned maxFiles = 16; // hash table slots
};

// Makes an archive holding `files`: one of them single-unit, some encrypted,
// imploded or compressed, as the game's archives hold them.
void MakeMpq(const QString& path, const MpqContents& files, const MpqRecipe& recipe);

// The files of `names` as StormLib reads them; a name that does not read
// whole maps to "<unreadable>". Also how many files the archive holds.
MpqContents ReadMpq(const QString& path, const QList<QByteArray>& names, unsigned* fileCount = nullptr);

// The names of `files`.
QList<QByteArray> NamesOf(const MpqContents& files);

// One add as the editor makes it: AddFileToArchive in the archive probe, a
// process of its own that finds the library in `libraryFolder` by the
// loader's search. Started; the caller waits for it and reads what it printed:
// its messages, then "result R, freed".
void StartAdd(QProcess& probe, const QString& libraryFolder, const QStringList& archiveFileName);
