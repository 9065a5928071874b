#include "platform/Profile.h"

#ifdef Q_OS_WIN
#include <windows.h>
// windows.h names its own profile functions with these macros.
#undef GetProfileString
#undef WriteProfileString

#include <QByteArray>
#else
#include <QSettings>
#include <QStringList>
#endif

Profile::Profile(QString path) : m_path(std::move(path)) {}

#ifdef Q_OS_WIN
// Windows keeps the file in its own private-profile form: values as typed,
// backslashes and all, so a modder can edit the file by hand. The section
// named "" is written as "[]".
QString Profile::GetProfileString(const QString& section, const QString& key) const {
  if (m_path.isEmpty()) return {};
  const QByteArray file = m_path.toLocal8Bit(), app = section.toLocal8Bit(), name = key.toLocal8Bit();
  QByteArray value(512, '\0');
  for (;;) {
    const DWORD length = GetPrivateProfileStringA(app.constData(), name.constData(), "", value.data(),
                                                  static_cast<DWORD>(value.size()), file.constData());
    // A value that filled the buffer may have been cut: read again with more room.
    if (length + 1 < static_cast<DWORD>(value.size())) return QString::fromLocal8Bit(value.constData(), length);
    value.resize(value.size() * 2);
  }
}

void Profile::WriteProfileString(const QString& section, const QString& key, const QString& value) {
  if (m_path.isEmpty()) return;
  WritePrivateProfileStringA(section.toLocal8Bit().constData(), key.toLocal8Bit().constData(),
                             value.toLocal8Bit().constData(), m_path.toLocal8Bit().constData());
}
#else
namespace {
QString settingsKey(const QString& section, const QString& key) {
  return section.isEmpty() ? key : section + QLatin1Char('/') + key;
}
}  // namespace

QString Profile::GetProfileString(const QString& section, const QString& key) const {
  if (m_path.isEmpty()) return {};
  QSettings settings(m_path, QSettings::IniFormat);
  const QVariant value = settings.value(settingsKey(section, key));
  // An unquoted value with commas reads back as a list: keep its text.
  if (value.userType() == QMetaType::QStringList) return value.toStringList().join(QLatin1Char(','));
  return value.toString();
}

void Profile::WriteProfileString(const QString& section, const QString& key, const QString& value) {
  if (m_path.isEmpty()) return;
  QSettings settings(m_path, QSettings::IniFormat);
  settings.setValue(settingsKey(section, key), value);
  settings.sync();
}
#endif
