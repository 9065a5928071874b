#pragma once
// The About box: the program's name, a word of thanks and what the program
// is for. Enter and Escape close it.
#include "platform/SimpleDialog.h"

class QLabel;

class CAboutDlg : public CSimpleDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
  ~CAboutDlg() override;

  // The three texts, in the order they stand in the box.
  static const QString& TitleText();
  static const QString& ThanksText();
  static const QString& PurposeText();

 private:
  QLabel* AddText(const QString& text, const QRect& units);
};
