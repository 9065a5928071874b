#pragma once
// The dialog the program's two small boxes (the archiver dialog and the About
// box) build on, with the old framework dialog's manners: owned by the main
// window when no parent is given, grey with black text, laid out in dialog
// units of its own font, centred on the screen, run modally by DoModal, and
// closed by Enter (result 1) and by Escape or the close box (result 2).
#include <QDialog>
#include <QRect>
#include <QSize>

#include "platform/DialogUnits.h"

class QFont;
class QVBoxLayout;

class CSimpleDialog : public QDialog {
  Q_OBJECT

 public:
  // clientUnits: the size of the area below any menu bar, in dialog units.
  CSimpleDialog(QWidget* parent, const QFont& font, QSize clientUnits);

  int DoModal();
  void EndDialog(int result);
  virtual void OnOK();      // ends the run with 1
  virtual void OnCancel();  // ends the run with 2

  // A rectangle given in dialog units, in pixels of this dialog's font.
  QRect MapDialogRect(const QRect& units) const;

 protected:
  // Where the controls go, in dialog-unit coordinates mapped by MapDialogRect.
  QWidget* ClientArea() const { return m_client; }
  QVBoxLayout* FrameLayout() const { return m_layout; }
  // Call last in a constructor, once the size is final.
  void CentreOnScreen();

  void keyPressEvent(QKeyEvent* event) override;
  void accept() override;
  void reject() override;

 private:
  QWidget* m_client = nullptr;
  QVBoxLayout* m_layout = nullptr;
  DialogUnits m_units;
};
