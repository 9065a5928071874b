#include "platform/Dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace {
OpenFileDialogHandler& openHandler() {
  static OpenFileDialogHandler handler;
  return handler;
}
MessageBoxHandler& messageHandler() {
  static MessageBoxHandler handler;
  return handler;
}
QWidget* g_mainWindow = nullptr;

std::optional<QString> realOpenFileDialog(const OpenFileRequest& request) {
  QFileDialog dialog(request.owner);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  // The description is shown alone, as it stands: the sheets' filter names
  // its patterns itself ("Diablo II Data Files(*.txt;*.tbl)"), and Qt would
  // append them again.
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setNameFilter(request.filterDescription + " (" + request.filterPatterns + ")");
  dialog.setDefaultSuffix(request.defaultExtension);
  // A remembered directory that does not exist here ("C:" on a fresh start)
  // leaves the dialog in the working directory.
  if (!request.initialDirectory.isEmpty() && QFileInfo(request.initialDirectory).isDir())
    dialog.setDirectory(request.initialDirectory);
  if (!request.currentName.isEmpty()) {
    const QFileInfo current(request.currentName);
    if (request.initialDirectory.isEmpty() && current.dir().exists())
      dialog.setDirectory(current.dir());
    dialog.selectFile(current.fileName());
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  // Qt hands back '/' on every platform; the editor's paths use the
  // platform's own separator (a backslash on Windows).
  return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}

void realMessageBox(QWidget* owner, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Tabwright"), text, QMessageBox::Ok, owner);
  box.exec();
}
}  // namespace

std::optional<QString> ShowOpenFileDialog(const OpenFileRequest& request) {
  if (openHandler()) return openHandler()(request);
  return realOpenFileDialog(request);
}

void ShowMessageBox(QWidget* owner, const QString& text) {
  if (messageHandler()) return messageHandler()(owner, text);
  realMessageBox(owner, text);
}

void SetMainWindow(QWidget* window) { g_mainWindow = window; }

QWidget* MainWindow() { return g_mainWindow; }

void AfxMessageBox(const QString& text) { ShowMessageBox(g_mainWindow, text); }

OpenFileDialogHandler SetOpenFileDialogHandler(OpenFileDialogHandler handler) {
  return std::exchange(openHandler(), std::move(handler));
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
  return std::exchange(messageHandler(), std::move(handler));
}
