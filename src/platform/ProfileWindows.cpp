#include <windows.h>
// windows.h names its own profile functions with these macros.
#undef GetProfileString
#undef WriteProfileString

#include <QByteArray>

#include "platform/Profile.h"

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
