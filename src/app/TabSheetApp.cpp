#include "app/TabSheetApp.h"

#include <QDesktopServices>
#include <QDir>
#include <QUrl>

#include "platform/Dialogs.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "ui/TabSheetDlg.h"

namespace {
CTabSheetApp* g_app = nullptr;
const QString kSection;  // the settings live in the section named ""
const QString kDirectoryKey = QStringLiteral("Directory");
}  // namespace

CTabSheetApp* AfxGetApp() { return g_app; }

CTabSheetApp::CTabSheetApp(QString commandLineTail) : m_lpCmdLine(std::move(commandLineTail)) {
  g_app = this;
}

CTabSheetApp::~CTabSheetApp() {
  if (g_app == this) g_app = nullptr;
}

QString CTabSheetApp::SettingsPathFor(const QString& workingDirectory) {
  return workingDirectory + QLatin1Char(kPathSeparator) + QStringLiteral("Tabwright.ini");
}

QString CTabSheetApp::GetProfileString(const QString& section, const QString& key) const {
  return m_profile.GetProfileString(section, key);
}

void CTabSheetApp::WriteProfileString(const QString& section, const QString& key, const QString& value) {
  m_profile.WriteProfileString(section, key, value);
}

QString CTabSheetApp::SettleSettings() {
  m_pszProfileName = SettingsPathFor(ProcessWorkingDirectory());
  m_profile.setPath(m_pszProfileName);
  QString directory = GetProfileString(kSection, kDirectoryKey);
  if (directory.isEmpty()) {
    directory = QStringLiteral("C:");
    WriteProfileString(kSection, kDirectoryKey, directory);
  }
  return directory;
}

void CTabSheetApp::OnHelp() {
  if (!m_pszHelpFilePath.isEmpty()) QDesktopServices::openUrl(QUrl::fromLocalFile(m_pszHelpFilePath));
}

void CTabSheetApp::RememberDirectory(const QString& directory) {
  WriteProfileString(kSection, kDirectoryKey, directory);
}

std::unique_ptr<CTabSheetDlg> CTabSheetApp::MakeEditorWindow() {
  EditorContext context;
  context.commandLineTail = m_lpCmdLine;
  context.directory = SettleSettings();
  context.rememberDirectory = [this](const QString& directory) { RememberDirectory(directory); };
  context.help = [this] { OnHelp(); };
  return std::make_unique<CTabSheetDlg>(std::move(context));
}

BOOL CTabSheetApp::InitInstance() {
  const std::unique_ptr<CTabSheetDlg> dialog = MakeEditorWindow();
  m_pMainWnd = dialog.get();
  SetMainWindow(dialog.get());
  dialog->DoModal();
  SetMainWindow(nullptr);
  m_pMainWnd = nullptr;
  return 0;
}
