#include "VirtualScreen.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QtEndian>

namespace {
constexpr int kPollMs = 100;  // while Xvfb starts
constexpr int kXdotoolTimeoutMs = 15000;
}  // namespace

VirtualScreen::~VirtualScreen() {
  if (m_server.state() == QProcess::NotRunning) return;
  m_server.terminate();
  if (!m_server.waitForFinished(5000)) {
    m_server.kill();
    m_server.waitForFinished(5000);
  }
}

bool VirtualScreen::Start(const QString& framebufferDir, QString& error) {
  m_framebufferDir = framebufferDir;
  // -displayfd 1: the server takes the first free display and prints its
  // number once it accepts clients.
  m_server.start(QStringLiteral("Xvfb"),
                 {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                  QStringLiteral("1280x800x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                  QStringLiteral("-fbdir"), framebufferDir});
  if (!m_server.waitForStarted(10000)) {
    error = QStringLiteral("Xvfb does not start: ") + m_server.errorString();
    return false;
  }
  QByteArray said;
  QElapsedTimer clock;
  clock.start();
  while (!said.contains('\n') && clock.elapsed() < 30000 && m_server.state() == QProcess::Running) {
    m_server.waitForReadyRead(kPollMs);
    said += m_server.readAllStandardOutput();
  }
  bool ok = false;
  const int number = said.trimmed().toInt(&ok);
  if (!ok) {
    error = QStringLiteral("Xvfb gave no display number: ") + QString::fromUtf8(said + m_server.readAllStandardError());
    return false;
  }
  m_display = QStringLiteral(":%1").arg(number);
  // A client must get through before the program is started on it.
  const RunResult probe = RunCommand(QStringLiteral("xdotool"), {QStringLiteral("getdisplaygeometry")}, kXdotoolTimeoutMs,
                                     environment());
  if (!probe.ok()) {
    error = QStringLiteral("no client gets through to Xvfb on %1: %2\n%3")
                .arg(m_display, QString::fromStdString(probe.text()), serverLog());
    return false;
  }
  return true;
}

QString VirtualScreen::serverLog() {
  const bool running = m_server.state() == QProcess::Running && !m_server.waitForFinished(0);
  return QStringLiteral("Xvfb on %1 %2\n").arg(m_display, running ? QStringLiteral("runs") : QStringLiteral("has ended")) +
         QString::fromLocal8Bit(m_server.readAllStandardError());
}

QProcessEnvironment VirtualScreen::environment() const {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("DISPLAY"), m_display);
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
  env.remove(QStringLiteral("WAYLAND_DISPLAY"));
  return env;
}

RunResult VirtualScreen::Xdotool(const QStringList& arguments) const {
  RunResult result = RunCommand(QStringLiteral("xdotool"), arguments, kXdotoolTimeoutMs, environment());
  if (!result.ok())
    m_lastError = QStringLiteral("xdotool %1: %2").arg(arguments.join(' '), QString::fromStdString(result.text()));
  return result;
}

QList<ScreenWindow> VirtualScreen::VisibleWindowsOf(qint64 pid) const {
  QList<ScreenWindow> windows;
  // No window at all is exit code 1, not a failure.
  const RunResult search = RunCommand(QStringLiteral("xdotool"),
                               {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                                QString::number(pid)},
                               kXdotoolTimeoutMs, environment());
  for (const QByteArray& id : search.out.split('\n')) {
    if (id.trimmed().isEmpty()) continue;
    ScreenWindow window;
    window.id = QString::fromLatin1(id.trimmed());
    // The window may go while we look; skip it then.
    const RunResult name = Xdotool({QStringLiteral("getwindowname"), window.id});
    const RunResult geometry = Xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window.id});
    if (!name.ok() || !geometry.ok()) continue;
    window.title = QString::fromUtf8(name.out).chopped(name.out.endsWith('\n') ? 1 : 0);
    int x = 0, y = 0, w = 0, h = 0;
    for (const QByteArray& line : geometry.out.split('\n')) {
      const QList<QByteArray> pair = line.split('=');
      if (pair.size() != 2) continue;
      const int value = pair[1].trimmed().toInt();
      if (pair[0] == "X") x = value;
      else if (pair[0] == "Y") y = value;
      else if (pair[0] == "WIDTH") w = value;
      else if (pair[0] == "HEIGHT") h = value;
    }
    window.geometry = QRect(x, y, w, h);
    windows << window;
  }
  return windows;
}

bool VirtualScreen::ClickAt(const ScreenWindow& window, int x, int y) const {
  return Xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), QStringLiteral("--window"), window.id,
                  QString::number(x), QString::number(y), QStringLiteral("click"), QStringLiteral("1")})
      .ok();
}

bool VirtualScreen::MovePointerInto(const ScreenWindow& window) const {
  return Xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), QStringLiteral("--window"), window.id,
                  QString::number(window.geometry.width() / 2), QString::number(window.geometry.height() / 2)})
      .ok();
}

bool VirtualScreen::Keys(const QStringList& keys) const {
  return Xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("60")} + keys).ok();
}

bool VirtualScreen::Type(const QString& text) const {
  return Xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("40"), QStringLiteral("--"), text})
      .ok();
}

bool VirtualScreen::SaveScreenshot(const QString& pngPath) const {
  // The framebuffer file is an XWD image: a big-endian header, a colour
  // map, then the pixels (32 bits each for our 24-bit screen).
  QFile file(m_framebufferDir + QStringLiteral("/Xvfb_screen0"));
  if (!file.open(QIODevice::ReadOnly)) return false;
  const QByteArray data = file.readAll();
  if (data.size() < 100) return false;
  auto field = [&](int index) { return qFromBigEndian<quint32>(data.constData() + 4 * index); };
  const quint32 headerSize = field(0), width = field(4), height = field(5), bitsPerPixel = field(11),
                bytesPerLine = field(12), colours = field(19);
  const qint64 offset = qint64(headerSize) + qint64(colours) * 12;
  if (bitsPerPixel != 32 || offset + qint64(bytesPerLine) * height > data.size()) return false;
  const QImage image(reinterpret_cast<const uchar*>(data.constData() + offset), int(width), int(height),
                     int(bytesPerLine), QImage::Format_RGB32);
  return image.copy().save(pngPath);
}
