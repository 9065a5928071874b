#pragma once
// A private X server (Xvfb) for one test, and the hands of a user at it
// (xdotool): find windows, click, type. The server picks a free display
// number itself, and it and every program started on it end with the object.
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>

#include "Run.h"

struct ScreenWindow {
  QString id;
  QString title;
  QRect geometry;  // on the screen
};

class VirtualScreen {
 public:
  VirtualScreen() = default;
  ~VirtualScreen();
  VirtualScreen(const VirtualScreen&) = delete;
  VirtualScreen& operator=(const VirtualScreen&) = delete;

  // Starts Xvfb; on failure says why in `error`. The screen's pixels are kept
  // in `framebufferDir` so that a failing test can show what was on it.
  bool Start(const QString& framebufferDir, QString& error);
  QString display() const { return m_display; }

  // The environment for a program on this screen: the system's, with the
  // display set and the toolkit on X.
  QProcessEnvironment environment() const;

  // Visible top-level windows of a process.
  QList<ScreenWindow> VisibleWindowsOf(qint64 pid) const;
  // A click at (x, y) in a window's coordinates, the pointer left there.
  bool ClickAt(const ScreenWindow& window, int x, int y) const;
  bool MovePointerInto(const ScreenWindow& window) const;
  // Keys as xdotool names them ("End", "alt+f", "Return"), one after another.
  bool Keys(const QStringList& keys) const;
  bool Type(const QString& text) const;

  // What is on the screen now, as a PNG; false when it cannot be had.
  bool SaveScreenshot(const QString& pngPath) const;

  // Whether the server still runs, and what it said, for messages.
  QString serverLog();
  // The xdotool output of the last failed command, for messages.
  QString lastError() const { return m_lastError; }

 private:
  RunResult Xdotool(const QStringList& arguments) const;

  QProcess m_server;
  QString m_display;
  QString m_framebufferDir;
  mutable QString m_lastError;
};
