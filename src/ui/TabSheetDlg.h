#pragma once
// The editor window: the program's one main window. It routes every command
// through WindowProc to its handlers, which call on the two documents (the
// open sheet, the open string table) and on the views that show them.
#include <QDialog>
#include <QIcon>
#include <QString>

#include <functional>
#include <optional>

#include "platform/WinMessages.h"
#include "sheet/SheetDocument.h"
#include "strtable/KeyListModel.h"
#include "strtable/StringTableDocument.h"

class CMSFlexGrid;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QTextEdit;

// What the application gives the window it runs.
struct EditorContext {
  QString commandLineTail;  // the path the start-up load opens; empty: none
  QString directory;        // the remembered directory the window starts with
  std::function<void(const QString&)> rememberDirectory;  // keeps a load's directory for the next run
  std::function<void()> help;  // the application's help, for ID_HELP
};

class CTabSheetDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CTabSheetDlg(EditorContext context = {}, QWidget* parent = nullptr);
  ~CTabSheetDlg() override;

  // Window start, then the modal run; returns 1 after Exit, 2 after Cancel.
  int DoModal();
  // Every command reaches the window here.
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // Ends the modal run with the given result.
  void EndDialog(int result);

  // Window start: icons, empty paths, grid hidden, maximised, the start-up load.
  BOOL OnInitDialog();
  void OnOK();      // Enter: nothing
  void OnCancel();  // Escape and the close box: end the run with 2
  void OnSize();    // places every control from the client area's size

  // Tab sheets.
  void OnFileLoadText();
  void OnFileSaveText();
  void OnClickGrid();
  void OnFreezeNameColumn();
  void CopyCellEditorToGrid();

  // String tables.
  void ReadStringTable(QByteArray fileBytes);
  void ShowSelectedValue();
  quint16 ComputeCrc();
  void FindKey();
  void OnAddKey();

  // Archives and the small dialogs.
  void OnAddFileToArchive();
  void OnMpqArchiver();
  void OnAbout();

  // A control of the window by its identifier, or nullptr.
  QWidget* GetDlgItem(int id) const;

  QString m_szFilePath;     // the current file; empty before the first load
  QString m_szDirectory;    // remembered directory: where the open dialog starts
  QString m_szArchivePath;  // archive chosen for Add File to Archive; empty until chosen
  SheetDocument m_sheet;        // the sheet the grid shows
  StringTableDocument m_table;  // the string table the key browser shows
  bool m_bBusy = false;                 // a sheet is being loaded or saved
  bool m_bOpenFromCommandLine = false;  // the start-up load takes the command-line tail
  quint16 m_crc = 0;                    // checksum of the open string table

  QLabel* m_splash = nullptr;
  QLineEdit* m_cellEditor = nullptr;
  CMSFlexGrid* m_grid = nullptr;
  QIcon m_hIcon;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void reject() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateControls();
  void MakeControls();
  void StackControls();
  void ConnectControls();
  void CreateMenu();
  void SendCommand(UINT id, UINT code = 0);
  void SetBusy(bool busy);
  void RememberDirectoryOf(const QString& path);
  std::optional<QString> PathToLoad();
  void HideDocumentViews();
  void HideKeyBrowser();
  void ShowSheetView();
  QComboBox* KeyList() const;
  QTextEdit* ValueView() const;
  QLineEdit* KeySearch() const;

  EditorContext m_context;
  KeyListModel m_keyModel{m_table};  // the key list's items
  QMenuBar* m_menuBar = nullptr;
  QWidget* m_client = nullptr;  // the client area below the menu bar
  QComboBox* m_keyList = nullptr;
  QTextEdit* m_valueView = nullptr;
  QLineEdit* m_keySearch = nullptr;
  bool m_bEnded = false;  // the modal run has been ended
};
