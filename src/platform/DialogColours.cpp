#include "platform/DialogColours.h"

#include <QPalette>
#include <QWidget>

void ApplyDialogColours(QWidget* dialog) {
  QPalette colours = dialog->palette();
  colours.setColor(QPalette::Window, QColor(128, 128, 128));
  colours.setColor(QPalette::WindowText, Qt::black);
  dialog->setPalette(colours);
  dialog->setAutoFillBackground(true);
}
