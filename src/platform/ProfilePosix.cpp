#include <QSettings>
#include <QStringList>

#include "platform/Profile.h"

// QSettings' INI form: it escapes what it writes, so a value of any
// characters reads back as it was written; the unnamed section is the top level.
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
