#pragma once
// The application object: settles the settings file, reads the remembered
// directory and runs the editor window; when that window ends, so does the run.
#include <QString>
#include <memory>

#include "platform/Profile.h"
#include "platform/WinMessages.h"

class QWidget;
class CTabSheetDlg;

class CTabSheetApp {
 public:
  // commandLineTail: what followed the program's name on the command line.
  explicit CTabSheetApp(QString commandLineTail = {});
  ~CTabSheetApp();
  CTabSheetApp(const CTabSheetApp&) = delete;
  CTabSheetApp& operator=(const CTabSheetApp&) = delete;

  // Runs the whole program: settings, the editor window's modal run. Always FALSE.
  BOOL InitInstance();

  // Points the settings at the working directory's file and reads the
  // remembered directory, writing "C:" there when it is missing or empty.
  QString SettleSettings();

  QString GetProfileString(const QString& section, const QString& key) const;
  void WriteProfileString(const QString& section, const QString& key, const QString& value);

  // The framework's Help command (ID_HELP): opens the help file when one is
  // set; the program sets none, so it shows nothing.
  void OnHelp();

  // The settings' remembered directory, written for the next run.
  void RememberDirectory(const QString& directory);

  // The editor window as every run makes it: the settings settled, the
  // remembered directory in it, given the command-line tail, the way to
  // remember a load's directory and the help. Its start (OnInitDialog, or
  // DoModal, which runs it) is the caller's.
  std::unique_ptr<CTabSheetDlg> MakeEditorWindow();

  QString m_pszProfileName;      // the settings file
  QString m_pszHelpFilePath;     // the help file; none is set
  QWidget* m_pMainWnd = nullptr; // the editor window while it is shown
  QString m_lpCmdLine;           // the command-line tail

  // The settings file for a working directory: it with the separator and
  // "Tabwright.ini" appended as the string stands, so a root directory gives
  // two separators in a row ("//Tabwright.ini", "C:\\Tabwright.ini").
  static QString SettingsPathFor(const QString& workingDirectory);

 private:
  Profile m_profile;
};

// The one application object of the running program, or nullptr.
CTabSheetApp* AfxGetApp();
