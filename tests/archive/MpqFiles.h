#pragma once
// Archives made and read back with StormLib in the test process (only ever
// archives our own code made), and adds as the program makes them.
#include <QProcess>
#include <map>
#include <ranges>
#include <vector>

#include "TestFiles.h"

// Archive contents print shortly.
inline void PrintTo(const QByteArray& bytes, std::ostream* os) { *os << bytes.left(40).toStdString(); }

// Name in archive -> contents.
using MpqContents = std::map<QByteArray, QByteArray>;

// Where the game looks for the sheet the tests add, and a small archive that
// holds a file of that name among others: one file stored each way MakeMpq
// stores them, in this order.
inline const QByteArray kSheetName = "data\\global\\excel\\weapons.txt";
inline const MpqContents kFiles = {
    {"data\\global\\excel\\armor.txt", SheetBytes("Plate")},     // imploded, encrypted
    {kSheetName, SheetBytes("Sword", 3000)},                     // compressed, encrypted with the fixed key
    {"data\\global\\sfx\\click.wav", QByteArray(9000, '\x80')},  // stored as it is
    {"data\\local\\LNG\\ENG\\patchstring.tbl", "\x01\x02tbl"},   // one encrypted unit
    {"data\\local\\ui\\panel.dc6", QByteArray(20000, 'p')},      // compressed
};

struct MpqRecipe {
  int format = 0;         // the header's format version: 0 (the game's) or 1
  bool listfile = false;  // whether the archive holds a (listfile) naming its files
  unsigned maxFiles = 16; // hash table slots
  bool attributes = false; // whether it holds an (attributes) with each file's time
};

// Makes an archive holding `files`: one of them single-unit, some encrypted,
// imploded or compressed, as the game's archives hold them.
void MakeMpq(const QString& path, const MpqContents& files, const MpqRecipe& recipe);

// The files of `names` as StormLib reads them; a name that does not read
// whole maps to "<unreadable>". Also how many files the archive holds.
MpqContents ReadMpq(const QString& path, const QList<QByteArray>& names, unsigned* fileCount = nullptr);
// What StormLib tells of a file (SFileInfoFlags: how it is stored,
// SFileInfoFileTime: its time in (attributes)), or 0 when it is missing.
uint64_t MpqInfoOf(const QString& path, const QByteArray& name, int what);

// The names of `files`.
inline QList<QByteArray> NamesOf(const MpqContents& files) {
  const auto names = std::views::keys(files);
  return QList<QByteArray>(names.begin(), names.end());
}

// One add as the editor makes it: AddFileToArchive in the archive probe, a
// process of its own that finds the library in `libraryFolder` (the build's
// library unless told) by the loader's search. Started; the caller waits for
// it and reads what it printed: its messages, then "result R, freed".
void StartAdd(QProcess& probe, const QString& archive, const QString& file, const QByteArray& name,
              const QString& libraryFolder = QString());

// What the probe printed for one add from `libraryFolder` (the build's
// library unless told), its errors after it: an add that went well, or a
// refusal, prints no error at all (no complaint of the library about its
// worker, no sanitizer report of either).
QByteArray Add(const QString& archive, const QString& file, const QByteArray& name,
               const QString& libraryFolder = QString());
inline const QByteArray kAdded = "result 1, freed\n";
inline QByteArray Refused(const QString& archive) {
  return "message Can't open " + archive.toUtf8() + " as an D2Data.MPQ archive\nresult 0, freed\n";
}
// The archive worker that the caller `parent` started, once it shows: its
// process id, or 0 when none shows within 20 s.
qint64 AwaitWorkerOf(qint64 parent);
// Kills process `id`, or (stop) halts it where it is.
void Strike(qint64 id, bool stop);
// Waits until process `id`, a worker whose caller was killed, has ended.
void AwaitEnd(qint64 id);
