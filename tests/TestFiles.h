#pragma once
// Small helpers for tests that make files of their own.
#include <QAbstractItemModel>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include "../src/platform/LittleEndian.h"  // by path: the table writer builds without src/

// Little-endian fields, for patching hostile files out of good ones.
inline void PutU16(QByteArray& b, qint64 at, quint16 v) { le::Write(b.data() + at, v); }
inline void PutU32(QByteArray& b, qint64 at, quint32 v) { le::Write(b.data() + at, v); }
inline quint16 GetU16(const QByteArray& b, qint64 at) { return le::Read<quint16>(b.constData() + at); }
inline quint32 GetU32(const QByteArray& b, qint64 at) { return le::Read<quint32>(b.constData() + at); }

// A sheet of `lines` lines, several 4 KiB pages for a few hundred.
inline QByteArray SheetBytes(const QByteArray& seed, int lines = 600) {
  QByteArray sheet = "name\tcode\r\n";
  for (int i = 0; i < lines; ++i) sheet += seed + QByteArray::number(i % 1000 * 7919 % 1000) + "\tax\r\n";
  return sheet;
}

// Every cell of a sheet's store, the label first, joined by '|', each row ending in '\n'.
template <typename Store>
QByteArray CellsOf(const Store& store) {
  QByteArray out;
  for (int r = 0; r < store.rowCount(); ++r)
    for (int c = 0; c < store.colCount(); ++c) out += store.cell(r, c) + (c + 1 < store.colCount() ? "|" : "\n");
  return out;
}

// The display text of each row of a list model.
inline QStringList RowsOf(const QAbstractItemModel& model) {
  QStringList rows;
  for (int i = 0; i < model.rowCount(); ++i) rows << model.data(model.index(i, 0)).toString();
  return rows;
}

// Gives back `path`.
inline QString WriteBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) qFatal("cannot write %s", qPrintable(path));
  file.write(bytes);
  return path;
}

inline QByteArray ReadBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// The names in a folder, hidden ones too.
inline QStringList FilesIn(const QString& folder) { return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot); }

// Runs a block with the process's working directory set to `dir`.
struct ScopedWorkingDirectory {
  explicit ScopedWorkingDirectory(const QString& dir) { QDir::setCurrent(dir); }
  ~ScopedWorkingDirectory() { QDir::setCurrent(m_previous); }
  const QString m_previous = QDir::currentPath();
};
