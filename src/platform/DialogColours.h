#pragma once
// The colours of every dialog of the program: black text on mid grey.
class QWidget;

void ApplyDialogColours(QWidget* dialog);
