#pragma once
// An installation of the build in a prefix of the test's own, made the way
// the README tells users: `cmake --install <build> --prefix <prefix>`.
#include <QString>
#include <QTemporaryDir>

#include "Run.h"

inline constexpr const char* kAppId = "io.github.tabwright.Tabwright";

class InstallTree {
 public:
  // Installs at once; ok() and log() tell how it went.
  InstallTree() {
    if (!m_prefix.isValid()) {
      m_log = "cannot make a temporary prefix";
      return;
    }
    m_result = RunCommand(QStringLiteral(TW_CMAKE_COMMAND),
                   {QStringLiteral("--install"), QStringLiteral(TW_BUILD_DIR), QStringLiteral("--prefix"), prefix()},
                   120000);
    m_log = m_result.text();
    m_ok = m_result.ok();
  }

  bool ok() const { return m_ok; }
  const std::string& log() const { return m_log; }
  QString prefix() const { return m_prefix.path(); }
  QString path(const QString& relative) const { return prefix() + '/' + relative; }
  QString program() const { return path(QStringLiteral(TW_INSTALL_BINDIR "/tabwright")); }
  QString library() const { return path(QStringLiteral(TW_INSTALL_LIBDIR "/liblmpqapi.so")); }
  QString desktopEntry() const { return path(QStringLiteral(TW_INSTALL_DATADIR "/applications/%1.desktop").arg(kAppId)); }
  QString metainfo() const { return path(QStringLiteral(TW_INSTALL_DATADIR "/metainfo/%1.metainfo.xml").arg(kAppId)); }
  QString pngIcon() const {
    return path(QStringLiteral(TW_INSTALL_DATADIR "/icons/hicolor/32x32/apps/%1.png").arg(kAppId));
  }
  QString svgIcon() const {
    return path(QStringLiteral(TW_INSTALL_DATADIR "/icons/hicolor/scalable/apps/%1.svg").arg(kAppId));
  }

 private:
  QTemporaryDir m_prefix;
  RunResult m_result;
  std::string m_log;
  bool m_ok = false;
};
