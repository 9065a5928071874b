#include "ui/AboutDlg.h"

#include <QFont>
#include <QLabel>

#include "res/Version.h"
#include "ui/TabSheetDlg.h"

const QString& CAboutDlg::TitleText() {
  static const QString text = QStringLiteral("Tabwright\n\t   " TW_RELEASE_NAME);
  return text;
}

const QString& CAboutDlg::ThanksText() {
  static const QString text = QStringLiteral(
      "Many thanks to the authors of StormLib,\n"
      "whose archive library is built into this program.");
  return text;
}

const QString& CAboutDlg::PurposeText() {
  // One string: the label wraps it.
  static const QString text = QStringLiteral(
      "Tabwright is an editor for the game's tab sheets and string tables (\".tbl\" files), "
      "meant to make preparing modified game data easier for users who have no spreadsheet "
      "program and would rather not use scripting or archive tools for the job.");
  return text;
}

CAboutDlg::CAboutDlg(QWidget* parent) : CSimpleDialog(parent, QFont(QStringLiteral("Arial"), 10), QSize(225, 99)) {
  setWindowTitle(QStringLiteral("About"));
  AddText(TitleText(), QRect(60, 8, 103, 17));
  AddText(ThanksText(), QRect(12, 29, 200, 17));
  AddText(PurposeText(), QRect(9, 52, 207, 41));
  CentreOnScreen();
}

CAboutDlg::~CAboutDlg() = default;

QLabel* CAboutDlg::AddText(const QString& text, const QRect& units) {
  auto* label = new QLabel(text, ClientArea());
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setWordWrap(true);
  label->setGeometry(MapDialogRect(units));
  return label;
}

void CTabSheetDlg::OnAbout() {
  // No parent given: the box is owned by the application's main window.
  CAboutDlg about;
  about.DoModal();
}
