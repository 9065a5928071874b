#pragma once
// Drives a modal box: `open` starts its modal run, `inside` gets the box once
// it is up and must end the run.
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <functional>

inline void WhileModal(const std::function<void()>& open, const std::function<void(QDialog*)>& inside) {
  bool reached = false;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    reached = true;
    if (box) inside(box);
    if (box && box->isVisible()) box->done(-1);  // a test that forgot to close fails, not hangs
  });
  open();
  if (!reached) QApplication::processEvents();
}
