#pragma once
// Small helpers for tests that make files of their own.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

// Gives back `path`.
inline QString WriteBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) qFatal("cannot write %s", qPrintable(path));
  file.write(bytes);
  return path;
}

inline QByteArray ReadBytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return QByteArray("<missing>");
  return file.readAll();
}

// Runs a block with the process's working directory set to `dir`.
class ScopedWorkingDirectory {
 public:
  explicit ScopedWorkingDirectory(const QString& dir) : m_previous(QDir::currentPath()) { QDir::setCurrent(dir); }
  ~ScopedWorkingDirectory() { QDir::setCurrent(m_previous); }

 private:
  QString m_previous;
};
