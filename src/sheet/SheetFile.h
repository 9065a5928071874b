#pragma once
// Reading and writing tab sheet files as bytes. Saving writes a new file next
// to the old one and renames it over, so a failed save leaves the old file
// exactly as it was.
#include <QByteArray>
#include <QString>
#include <functional>

class QIODevice;
class SheetStore;

// The whole file; false with a reason when it cannot be read. With
// `highByte`, also whether any byte is 0x80 or more: looked for in each block
// just read, while it is still in the cache, rather than in a second pass
// over the whole buffer.
bool ReadWholeFile(const QString& path, QByteArray& bytes, QString& error, bool* highByte = nullptr);

// Tab bytes in the first line (up to the first LF or the end).
qsizetype HeaderTabCount(QByteArrayView file);

// Writes every row of the store as a tab sheet line. False with a reason when
// anything fails (the file is read-only, its folder is gone, the disk is full);
// the file on disk is then untouched.
bool SaveSheet(const SheetStore& store, const QString& path, QString& error);

// Writes the sheet's lines to an open device in large blocks.
bool WriteSheet(const SheetStore& store, QIODevice& out);
