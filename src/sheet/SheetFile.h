#pragma once
// Reading and writing tab sheet files as bytes. Saving writes a new file next
// to the old one and renames it over where nobody can tell the difference,
// and rewrites the file itself where they could (see InPlaceWrite.h); either
// way a failed save leaves the old text in the file.
#include <QByteArray>
#include <QString>
#include <functional>

#include "sheet/InPlaceWrite.h"

class FileBytes;
class QIODevice;
class SheetStore;

// The whole file; false with a reason when it cannot be read. With
// `highByte`, also whether any byte is 0x80 or more: looked for in each block
// just read, while it is still in the cache, rather than in a second pass
// over the whole buffer.
bool ReadWholeFile(const QString& path, QByteArray& bytes, QString& error, bool* highByte = nullptr);

// The whole file for a sheet: mapped where that is safe, else read whole
// (ReadWholeFile). False with a reason when it cannot be read. `highByte` as
// for ReadWholeFile.
bool ReadSheetFile(const QString& path, FileBytes& bytes, QString& error, bool* highByte = nullptr);

// Tab bytes in the first line (up to the first LF or the end).
qsizetype HeaderTabCount(QByteArrayView file);

// Writes every row of the store as a tab sheet line over the file at `path`
// (through a symbolic link, over the file it points to). On failure (the file
// is read-only, its folder is gone, the disk is full) the result says why,
// and whether the file still holds its old text.
InPlaceWriteResult SaveSheet(const SheetStore& store, const QString& path);

// Writes the sheet's lines to an open device in large blocks.
bool WriteSheet(const SheetStore& store, QIODevice& out);
