// The installed program in a real X server, used the way a user uses it:
// started on a file named on its command line, a cell clicked, the cell
// editor typed into, the sheet saved through the File menu, "File saved"
// dismissed, the program left with Escape; and a string table opened the same
// way, its entry count and checksum read from the window title.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>
#include <optional>

#include "InstallTree.h"
#include "TableFile.h"
#include "VirtualScreen.h"

namespace {

constexpr int kStartMs = 60000;     // a sanitizer build starts slowly on a busy machine
constexpr int kResponseMs = 30000;  // for anything the program does in answer to us
constexpr int kPollMs = 100;

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void WriteAll(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
  file.write(bytes);
}

// A sheet whose cells name themselves, so that the bytes saved tell which
// cell the click reached. The name column holds bytes that are not UTF-8
// (0x81, which Windows-1252 leaves undefined, and 0x92) and must come back as
// they were after passing through the cell editor.
constexpr int kSheetRows = 30;
QByteArray NameCell(int row) { return "r" + QByteArray::number(row) + " " + QByteArray("\x81") + "Fl" + QByteArray("\x92") + "il"; }

QByteArray Sheet(int editedRow = -1, const QByteArray& typed = {}) {
  QByteArray bytes = "name\tcode\tnote\r\n";
  for (int row = 1; row <= kSheetRows; ++row) {
    const QByteArray n = QByteArray::number(row);
    bytes += NameCell(row) + (row == editedRow ? typed : QByteArray()) + "\tc" + n + "\tn" + n + QByteArray("\x85") + "\r\n";
  }
  return bytes;
}

// The saved line whose name cell ends in `typed`; -1 when there is not exactly one.
int EditedRow(const QByteArray& saved, const QByteArray& typed) {
  int found = -1;
  const QList<QByteArray> lines = saved.split('\n');
  for (int row = 1; row < lines.size(); ++row) {
    if (!lines[row].split('\t').value(0).endsWith(typed)) continue;
    if (found != -1) return -1;
    found = row;
  }
  return found;
}

class EndToEnd : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_work.isValid() && m_data.isValid() && m_framebuffer.isValid() && m_runtime.isValid());
    m_tree = std::make_unique<InstallTree>();
    ASSERT_TRUE(m_tree->ok()) << m_tree->log();
    QString error;
    ASSERT_TRUE(m_screen.Start(m_framebuffer.path(), error)) << error.toStdString();
  }

  void TearDown() override {
    if (HasFailure()) {
      const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
      const QString shot = QStringLiteral(TW_BUILD_DIR "/tests/%1.%2.png").arg(test->test_suite_name(), test->name());
      if (m_screen.SaveScreenshot(shot)) std::fprintf(stderr, "The screen at the failure: %s\n", qPrintable(shot));
      if (!m_screen.lastError().isEmpty()) std::fprintf(stderr, "Last xdotool failure: %s\n", qPrintable(m_screen.lastError()));
      std::fprintf(stderr, "%s\n", qPrintable(m_screen.serverLog()));
    }
    if (m_program.state() != QProcess::NotRunning) {
      m_program.kill();
      m_program.waitForFinished(10000);
    }
    if (HasFailure()) std::fprintf(stderr, "The program said:\n%s\n", m_program.readAllStandardError().constData());
  }

  // Starts the installed program on the screen, in a working folder of its
  // own (its settings file lands there), with one file on its command line.
  void StartProgram(const QString& file) {
    QProcessEnvironment env = m_screen.environment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
    // The sanitizers' settings of the test run apply, but for strict string
    // checks: on a real X server the X keyboard library copies strings of X
    // replies, which have no terminating zero, by their length.
    if (env.contains(QStringLiteral("ASAN_OPTIONS")))
      env.insert(QStringLiteral("ASAN_OPTIONS"),
                 env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":strict_string_checks=0"));
    m_program.setProcessEnvironment(env);
    m_program.setWorkingDirectory(m_work.path());
    m_program.start(m_tree->program(), {file});
    ASSERT_TRUE(m_program.waitForStarted(10000)) << m_program.errorString().toStdString();
  }

  // Polls the program's windows until one has the title, or the program has
  // ended, or the time is up.
  std::optional<ScreenWindow> WaitForTitle(const QString& title, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    do {
      for (const ScreenWindow& window : m_screen.VisibleWindowsOf(m_program.processId()))
        if (window.title == title) return window;
    } while (!Ended(kPollMs) && clock.elapsed() < timeoutMs);
    return std::nullopt;
  }

  bool WaitUntilGone(const ScreenWindow& gone, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    do {
      bool present = false;
      for (const ScreenWindow& window : m_screen.VisibleWindowsOf(m_program.processId()))
        present = present || window.id == gone.id;
      if (!present) return true;
    } while (!Ended(kPollMs) && clock.elapsed() < timeoutMs);
    return false;
  }

  // Waits up to `ms` for the program to end; true once it has.
  bool Ended(int ms) { return m_program.state() == QProcess::NotRunning || m_program.waitForFinished(ms); }

  QString Titles() {
    QStringList titles;
    for (const ScreenWindow& window : m_screen.VisibleWindowsOf(m_program.processId())) titles << '"' + window.title + '"';
    return titles.join(QStringLiteral(", "));
  }

  // The program has ended by itself, cleanly, with nothing from the sanitizers.
  void ExpectEndsCleanly() {
    ASSERT_TRUE(m_program.waitForFinished(kResponseMs)) << "the program is still running";
    const QByteArray said = m_program.readAllStandardError();
    EXPECT_EQ(m_program.exitStatus(), QProcess::NormalExit) << said.constData();
    EXPECT_EQ(m_program.exitCode(), 0) << said.constData();
    EXPECT_FALSE(said.contains("Sanitizer") || said.contains("runtime error")) << said.constData();
  }

  QString RememberedDirectory() const {
    return QSettings(m_work.path() + "/Tabwright.ini", QSettings::IniFormat).value(QStringLiteral("Directory")).toString();
  }

  QTemporaryDir m_work, m_data, m_framebuffer, m_runtime;
  std::unique_ptr<InstallTree> m_tree;
  VirtualScreen m_screen;
  QProcess m_program;  // goes before the screen it runs on
};

TEST_F(EndToEnd, EditsACellSavesThroughTheMenuAndEscapeDropsWhatWasNotSaved) {
  const QString sheet = m_data.path() + "/sheet.txt";
  WriteAll(sheet, Sheet());
  StartProgram(sheet);

  // The caption becomes the file's name once the sheet is in the grid.
  const std::optional<ScreenWindow> window = WaitForTitle(QStringLiteral("sheet.txt"), kStartMs);
  ASSERT_TRUE(window) << "no window titled sheet.txt; windows: " << Titles().toStdString();
  const int width = window->geometry.width();
  ASSERT_GE(width, 600);
  ASSERT_GE(window->geometry.height(), 300);

  // The client area starts below the menu bar (20 to 30 pixels): the cell
  // editor spans y 10 to 38 in it, the grid starts at y 50, its first field
  // column right after the narrow label column.
  const int editorY = 46;
  ASSERT_TRUE(m_screen.ClickAt(*window, 90, 150)) << m_screen.lastError().toStdString();
  ASSERT_TRUE(m_screen.ClickAt(*window, width / 2, editorY)) << m_screen.lastError().toStdString();
  ASSERT_TRUE(m_screen.Keys({QStringLiteral("End")}));
  const QByteArray typed = " edited";
  ASSERT_TRUE(m_screen.Type(QString::fromLatin1(typed)));
  // Enter does nothing: the program stays, and Enter types nothing.
  ASSERT_TRUE(m_screen.Keys({QStringLiteral("Return")}));
  // File > Save Text File, from the keyboard.
  ASSERT_TRUE(m_screen.Keys({QStringLiteral("alt+f"), QStringLiteral("s")}));

  const std::optional<ScreenWindow> saved = WaitForTitle(QStringLiteral("Tabwright"), kResponseMs);
  ASSERT_TRUE(saved) << "no \"File saved\" box; windows: " << Titles().toStdString();
  const QByteArray onDisk = ReadAll(sheet);
  const int row = EditedRow(onDisk, typed);
  ASSERT_GE(row, 1) << "no single name cell ends in the typed text; saved:\n" << onDisk.toStdString();
  EXPECT_EQ(onDisk, Sheet(row, typed)) << "row " << row;

  ASSERT_TRUE(m_screen.MovePointerInto(*saved));
  ASSERT_TRUE(m_screen.Keys({QStringLiteral("Return")}));
  ASSERT_TRUE(WaitUntilGone(*saved, kResponseMs)) << "the box stays";

  // More typing, then Escape: the program ends at once and the file keeps
  // what was saved.
  ASSERT_TRUE(m_screen.ClickAt(*window, width / 2, editorY));
  ASSERT_TRUE(m_screen.Keys({QStringLiteral("End")}));
  ASSERT_TRUE(m_screen.Type(QStringLiteral(" unsaved")));
  ASSERT_TRUE(m_screen.Keys({QStringLiteral("Escape")}));
  ExpectEndsCleanly();
  EXPECT_EQ(ReadAll(sheet), onDisk);
  EXPECT_EQ(RememberedDirectory(), m_data.path());
}

TEST_F(EndToEnd, OpensAStringTableAndTitlesItWithCountAndChecksum) {
  const TableFile table = MakeStringTable({{"WarnDoor", "The door is locked."},
                                           {"ShortSword", "\xC3\xBF" "c4Short Sword"},
                                           {"Gold", "Gold"},
                                           {"Gold", "Twice"}});
  const QString path = m_data.path() + "/strings.tbl";
  WriteAll(path, table.bytes);
  StartProgram(path);

  const QString title =
      QStringLiteral("strings.tbl - 4 entries (CRC of 0x%1)").arg(QString::number(table.crc, 16).toUpper());
  const std::optional<ScreenWindow> window = WaitForTitle(title, kStartMs);
  ASSERT_TRUE(window) << "no window titled " << title.toStdString() << "; windows: " << Titles().toStdString();

  // Save does nothing to a string table: no "File saved" box stands in the
  // way of Escape, and the file stays as it was.
  ASSERT_TRUE(m_screen.MovePointerInto(*window));
  ASSERT_TRUE(m_screen.Keys({QStringLiteral("alt+f"), QStringLiteral("s"), QStringLiteral("Escape")}));
  ExpectEndsCleanly();
  EXPECT_EQ(ReadAll(path), table.bytes);
  EXPECT_EQ(RememberedDirectory(), m_data.path());
}

}  // namespace
