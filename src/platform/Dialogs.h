#pragma once
// Seams for the common open-file dialog and the message box. The program uses
// QFileDialog and QMessageBox; tests install handlers of their own.
#include <QString>
#include <functional>
#include <optional>

class QWidget;

struct OpenFileRequest {
  QWidget* owner = nullptr;
  QString filterDescription;  // shown as the filter's text, e.g. "Diablo II MPQ Archive"
  QString filterPatterns;     // Qt form, blank-separated: "*.txt *.tbl"
  QString initialDirectory;   // empty: the dialog's own default
  QString defaultExtension;   // without the dot
  QString currentName;        // what the name field starts with
};

using OpenFileDialogHandler = std::function<std::optional<QString>(const OpenFileRequest&)>;
using MessageBoxHandler = std::function<void(QWidget* owner, const QString& text)>;

// Asks for an existing file; nothing when the user cancels.
std::optional<QString> ShowOpenFileDialog(const OpenFileRequest& request);

// An OK box titled "Tabwright" with the text; returns when it is dismissed.
void ShowMessageBox(QWidget* owner, const QString& text);

// The application's main window while it runs: the owner of boxes that name none.
void SetMainWindow(QWidget* window);
QWidget* MainWindow();

// The application-level message box: owned by the application's main window.
void AfxMessageBox(const QString& text);

// Replace the real dialogs (tests). Each returns the handler it replaced;
// an empty handler restores the real dialog.
OpenFileDialogHandler SetOpenFileDialogHandler(OpenFileDialogHandler handler);
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
