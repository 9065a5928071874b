#pragma once
// Drives the real editor window offscreen: an application object in a
// working directory of its own, the open dialog answered by the test, and
// message boxes recorded instead of shown.
#include <gtest/gtest.h>

#include <QApplication>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <optional>

#include "TestFiles.h"
#include "app/TabSheetApp.h"
#include "platform/Dialogs.h"
#include "res/resource.h"
#include "ui/TabSheetDlg.h"

class EditorFixture : public testing::Test {
 protected:
  void SetUp() override {
    m_cwd = std::make_unique<ScopedWorkingDirectory>(m_dir.path());
    m_app = std::make_unique<CTabSheetApp>(m_commandLineTail);
    const QString directory = m_app->SettleSettings();
    SetOpenFileDialogHandler([this](const OpenFileRequest& request) -> std::optional<QString> {
      m_requests.push_back(request);
      if (m_nextChoice.isEmpty()) return std::nullopt;
      return m_nextChoice.takeFirst();
    });
    SetMessageBoxHandler([this](QWidget*, const QString& text) { m_messages << text; });
    m_dlg = std::make_unique<CTabSheetDlg>();
    m_app->m_pMainWnd = m_dlg.get();
    m_dlg->m_szDirectory = directory;
    m_dlg->OnInitDialog();
  }

  void TearDown() override {
    m_dlg.reset();
    m_app.reset();
    SetOpenFileDialogHandler({});
    SetMessageBoxHandler({});
    m_cwd.reset();
  }

  QString path(const QString& name) const { return m_dir.path() + "/" + name; }
  QString write(const QString& name, const QByteArray& bytes) const {
    WriteBytes(path(name), bytes);
    return path(name);
  }
  void command(UINT id, UINT code = 0) { m_dlg->WindowProc(WM_COMMAND, MAKEWPARAM(id, code), 0); }
  // Chooses `file` in the open dialog of the next Load.
  void load(const QString& file) {
    m_nextChoice << file;
    command(ID_FILE_LOAD_TEXT);
  }
  QString settingsDirectory() const {
    return m_app->GetProfileString(QString(), QStringLiteral("Directory"));
  }

  QTemporaryDir m_dir;
  QString m_commandLineTail;
  std::unique_ptr<ScopedWorkingDirectory> m_cwd;
  std::unique_ptr<CTabSheetApp> m_app;
  std::unique_ptr<CTabSheetDlg> m_dlg;
  QStringList m_nextChoice;
  std::vector<OpenFileRequest> m_requests;
  QStringList m_messages;
};
