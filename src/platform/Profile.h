#pragma once
// The settings file: an INI file, read and written through QSettings on
// Linux and through the private-profile functions on Windows. The section
// named "" is the file's top level on Linux and "[]" on Windows.
#include <QString>

class Profile {
 public:
  explicit Profile(QString path = {});

  const QString& path() const { return m_path; }
  void setPath(QString path) { m_path = std::move(path); }

  // An absent key reads as the empty string.
  QString GetProfileString(const QString& section, const QString& key) const;
  // Failures to write go unnoticed, as the editor never looks at them.
  void WriteProfileString(const QString& section, const QString& key, const QString& value);

 private:
  QString m_path;
};
