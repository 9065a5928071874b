#include "platform/SimpleDialog.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QVBoxLayout>

#include "platform/DialogColours.h"
#include "platform/Dialogs.h"
#include "platform/WinMessages.h"

namespace {
QWidget* OwnerFor(QWidget* parent) {
  return parent ? parent : MainWindow();
}
}  // namespace

CSimpleDialog::CSimpleDialog(QWidget* parent, const QFont& font, QSize clientUnits)
    : QDialog(OwnerFor(parent)), m_units(font) {
  setFont(font);
  ApplyDialogColours(this);

  m_layout = new QVBoxLayout(this);
  m_layout->setContentsMargins(0, 0, 0, 0);
  m_layout->setSpacing(0);
  m_layout->setSizeConstraint(QLayout::SetFixedSize);
  m_client = new QWidget(this);
  m_client->setFixedSize(MapDialogRect(QRect(QPoint(0, 0), clientUnits)).size());
  m_layout->addWidget(m_client);
}

int CSimpleDialog::DoModal() { return exec(); }

void CSimpleDialog::EndDialog(int result) { done(result); }

void CSimpleDialog::OnOK() { EndDialog(static_cast<int>(IDOK)); }

void CSimpleDialog::OnCancel() { EndDialog(static_cast<int>(IDCANCEL)); }

QRect CSimpleDialog::MapDialogRect(const QRect& units) const { return m_units.Map(units); }

void CSimpleDialog::CentreOnScreen() {
  adjustSize();
  const QWidget* owner = parentWidget();
  QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect placed(QPoint(0, 0), size());
  placed.moveCenter(screen->availableGeometry().center());
  move(placed.topLeft());  // also keeps the toolkit from centring it on the owner
}

void CSimpleDialog::keyPressEvent(QKeyEvent* event) {
  // With no push button the toolkit's dialog ignores Enter; ours closes.
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      OnOK();
      return;
    case Qt::Key_Escape:
      OnCancel();
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

void CSimpleDialog::accept() { OnOK(); }

void CSimpleDialog::reject() { OnCancel(); }
