// Large-sheet benchmark: loading, saving and working in a big sheet through
// the real editor window, against what the disk alone takes.
//
//   sheet_bench suite DIR [--quick]   every measurement, each in a process of
//                                     its own, medians printed as Markdown
//   sheet_bench gen-items PATH LINES  a weapons-like sheet of LINES lines
//   sheet_bench gen-monstats PATH     a monster-stats-like sheet
//   sheet_bench read-count PATH       read the file and count its lines
//   sheet_bench copy SRC DST [sync]   copy the file (sync: to the disk)
//   sheet_bench load PATH             load command to grid on screen, then to the
//                                     file let go of; peak memory
//   sheet_bench save PATH             load, then time the save command
//   sheet_bench interact PATH         scroll to the last row, click, type
//   sheet_bench vanilla PATH          a small sheet: first load and reloads
//   sheet_bench phases PATH           the steps of a load, each timed
//
// A measurement prints one line of key=value pairs; the suite reads them.
#include <fcntl.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QMap>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "SheetGen.h"
#include "app/TabSheetApp.h"
#include "platform/Dialogs.h"
#include "res/resource.h"
#include "sheet/FileBytes.h"
#include "sheet/MSFlexGrid.h"
#include "sheet/SheetFile.h"
#include "ui/TabSheetDlg.h"

namespace {

using Fields = QMap<QString, double>;

double msSince(const QElapsedTimer& timer) { return static_cast<double>(timer.nsecsElapsed()) / 1e6; }

// CPU time of this thread, kernel time included: on a shared machine it
// counts only what this work itself cost.
double threadCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

void print(const Fields& fields) {
  QStringList parts;
  for (auto it = fields.begin(); it != fields.end(); ++it) parts << it.key() + "=" + QString::number(it.value(), 'f', 3);
  std::printf("%s\n", qPrintable(parts.join(' ')));
  std::fflush(stdout);
}

// ---- memory of this process, from /proc ----

struct Memory {
  double rssKb = 0;
  double peakKb = 0;  // VmHWM: the most resident memory so far
};

Memory readMemory() {
  Memory memory;
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return memory;
  for (const QByteArray& line : status.readAll().split('\n')) {
    const auto value = [&] { return line.mid(6).trimmed().split(' ').value(0).toDouble(); };
    if (line.startsWith("VmRSS:")) memory.rssKb = value();
    if (line.startsWith("VmHWM:")) memory.peakKb = value();
  }
  return memory;
}

// Starts the peak count afresh from the current footprint, so that start-up
// does not hide the load's own peak. False when the kernel does not allow it.
bool resetPeak() {
  QFile clear(QStringLiteral("/proc/self/clear_refs"));
  return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

// Page faults of the process so far: each first touch of a fresh page of memory.
double minorFaults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_minflt);
}

// ---- the plain file work the editor is measured against ----

int readCount(const QString& path) {
  QFileInfo(path).exists();  // Qt's first file access sets up its file system engine; not part of reading
  const double cpu = threadCpuMs();
  QElapsedTimer timer;
  timer.start();
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return 1;
  std::vector<char> block(1 << 20);
  qint64 lines = 0;
  qint64 bytes = 0;
  char last = '\n';
  for (;;) {
    const qint64 got = file.read(block.data(), static_cast<qint64>(block.size()));
    if (got <= 0) break;
    bytes += got;
    const char* p = block.data();
    const char* end = p + got;
    while (const void* lf = std::memchr(p, '\n', static_cast<size_t>(end - p))) {
      ++lines;
      p = static_cast<const char*>(lf) + 1;
    }
    last = block[static_cast<size_t>(got - 1)];
  }
  if (bytes > 0 && last != '\n') ++lines;
  print({{"ms", msSince(timer)}, {"cpu_ms", threadCpuMs() - cpu}, {"lines", double(lines)}, {"bytes", double(bytes)}});
  return 0;
}

int copyFile(const QString& from, const QString& to, bool sync) {
  QFile::remove(to);
  const double cpu = threadCpuMs();
  QElapsedTimer timer;
  timer.start();
  QFile in(from);
  QFile out(to);
  if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly)) return 1;
  std::vector<char> block(1 << 20);
  for (;;) {
    const qint64 got = in.read(block.data(), static_cast<qint64>(block.size()));
    if (got <= 0) break;
    if (out.write(block.data(), got) != got) return 1;
  }
  out.flush();
  if (sync) ::fdatasync(out.handle());
  out.close();
  const double ms = msSince(timer);
  const double cpuMs = threadCpuMs() - cpu;
  QFile::remove(to);
  print({{"ms", ms}, {"cpu_ms", cpuMs}});
  return 0;
}

// ---- the real editor window, as the program runs it ----

class Editor {
 public:
  Editor() : m_previousDirectory(QDir::currentPath()) {
    QDir::setCurrent(m_dir.path());  // the settings file lands here
    m_app = std::make_unique<CTabSheetApp>();
    SetOpenFileDialogHandler([this](const OpenFileRequest&) -> std::optional<QString> {
      if (m_next.isEmpty()) return std::nullopt;
      return std::exchange(m_next, QString());
    });
    SetMessageBoxHandler([this](QWidget*, const QString& text) { m_messages << text; });
    m_dlg = m_app->MakeEditorWindow();
    m_dlg->OnInitDialog();
    m_dlg->m_grid->viewport()->installEventFilter(&m_cellPaints);
    QApplication::processEvents();
  }
  ~Editor() {
    m_dlg.reset();
    m_app.reset();
    SetOpenFileDialogHandler({});
    SetMessageBoxHandler({});
    QDir::setCurrent(m_previousDirectory);
  }

  void command(UINT id) { m_dlg->WindowProc(WM_COMMAND, MAKEWPARAM(id, 0), 0); }
  void load(const QString& path) {
    startAction();
    m_next = path;
    command(ID_FILE_LOAD_TEXT);
  }
  // Lets every pending event run, which draws whatever changed, as the event
  // loop does between two frames. The grid's cells must have been drawn by
  // then; if nothing drew them, they are drawn here, and that counts too.
  void paint() {
    QApplication::processEvents();
    if (m_cellPaints.paints == m_paintsBefore && grid().isVisible()) {
      ++m_forcedPaints;
      grid().viewport()->repaint();
    }
  }
  int forcedPaints() const { return m_forcedPaints; }
  // Marks the start of an action: paint() wants the cells drawn since then.
  void startAction() { m_paintsBefore = m_cellPaints.paints; }

  CTabSheetDlg& dlg() { return *m_dlg; }
  CMSFlexGrid& grid() { return *m_dlg->m_grid; }
  QStringList& messages() { return m_messages; }

 private:
  QString m_previousDirectory;
  QTemporaryDir m_dir;
  std::unique_ptr<CTabSheetApp> m_app;
  std::unique_ptr<CTabSheetDlg> m_dlg;
  QString m_next;
  QStringList m_messages;
  struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Paint) ++paints;
      return false;
    }
  } m_cellPaints;
  int m_forcedPaints = 0;
  int m_paintsBefore = 0;
};

bool loadedWhole(Editor& editor, const QString& path) {
  if (editor.dlg().m_szFilePath == path && editor.grid().isVisible() && editor.grid().GetRows() > 0) return true;
  std::fprintf(stderr, "sheet_bench: %s did not load (%s)\n", qPrintable(path),
               qPrintable(editor.messages().join(QStringLiteral(" / "))));
  return false;
}

int failed(const char* what) {
  std::fprintf(stderr, "sheet_bench: %s\n", what);
  return 1;
}

// The offscreen platform says this once per window; it means nothing here.
QtMessageHandler g_defaultHandler = nullptr;
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.contains(QLatin1String("propagateSizeHints"))) return;
  if (g_defaultHandler) g_defaultHandler(type, context, message);
}

int load(const QString& path) {
  Editor editor;
  const Memory idle = readMemory();
  const bool reset = resetPeak();
  const double cpu = threadCpuMs();
  QElapsedTimer timer;
  timer.start();
  editor.load(path);
  const double commandMs = msSince(timer);
  editor.paint();
  const double screenMs = msSince(timer);
  const double cpuMs = threadCpuMs() - cpu;
  // The event loop goes on, as the program's would, until the file is let go
  // of; the peak is read after that, the private copy of its pages included.
  while (editor.grid().Store().holdsFile() && msSince(timer) < 10e3) QApplication::processEvents();
  const double letGoMs = msSince(timer) - commandMs;
  const Memory after = readMemory();
  if (!loadedWhole(editor, path)) return 1;
  const double peakKb = reset ? after.peakKb : std::max(after.peakKb, idle.peakKb);
  print({{"ms", screenMs},
         {"cpu_ms", cpuMs},
         {"command_ms", commandMs},
         {"let_go_ms", letGoMs},
         {"idle_kb", idle.rssKb},
         {"peak_kb", peakKb},
         {"peak_reset", reset ? 1.0 : 0.0},
         {"rows", double(editor.grid().GetRows())},
         {"window_w", double(editor.dlg().width())},
         {"window_h", double(editor.dlg().height())}});
  return 0;
}

int save(const QString& path) {
  Editor editor;
  editor.load(path);
  editor.paint();
  if (!loadedWhole(editor, path)) return 1;
  const qint64 before = QFileInfo(path).size();
  const double cpu = threadCpuMs();
  QElapsedTimer timer;
  timer.start();
  editor.command(ID_FILE_SAVE_TEXT);
  const double ms = msSince(timer);
  const double cpuMs = threadCpuMs() - cpu;
  if (editor.messages() != QStringList{QStringLiteral("File saved")}) return failed("save: no \"File saved\"");
  if (QFileInfo(path).size() != before) return failed("save: the size changed");  // CR LF sheets come back whole

  // Where a save's time goes: the lines made into blocks and thrown away,
  // then written to a plain file with no sync and no rename.
  struct Discard : QIODevice {
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 size) override { return size; }
  } discard;
  discard.open(QIODevice::WriteOnly);
  const double formatCpu = threadCpuMs();
  timer.start();
  WriteSheet(editor.grid().Store(), discard);
  const double formatMs = msSince(timer);
  const double formatCpuMs = threadCpuMs() - formatCpu;
  QFile plain(path + ".plain");
  if (!plain.open(QIODevice::WriteOnly)) return failed("save: cannot write beside");
  const double plainCpu = threadCpuMs();
  timer.start();
  WriteSheet(editor.grid().Store(), plain);
  plain.close();
  const double plainMs = msSince(timer);
  const double plainCpuMs = threadCpuMs() - plainCpu;
  plain.remove();
  print({{"ms", ms}, {"cpu_ms", cpuMs}, {"format_ms", formatMs}, {"format_cpu_ms", formatCpuMs},
         {"plain_write_ms", plainMs}, {"plain_write_cpu_ms", plainCpuMs}});
  return 0;
}

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t mid = values.size() / 2;
  return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

double maximum(const std::vector<double>& values) {
  return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

int interact(const QString& path) {
  Editor editor;
  editor.load(path);
  editor.paint();
  if (!loadedWhole(editor, path)) return 1;
  CMSFlexGrid& grid = editor.grid();
  QLineEdit& cellEditor = *editor.dlg().m_cellEditor;
  QScrollBar& bar = *grid.verticalScrollBar();
  const int lastViewRow = grid.model()->rowCount() - 1;
  std::vector<double> scrolls, clicks, keys, scrollsCpu, clicksCpu, keysCpu;
  QElapsedTimer timer;
  double cpu = 0;
  const auto start = [&] {
    editor.startAction();
    cpu = threadCpuMs();
    timer.start();
  };
  const auto stop = [&](std::vector<double>& wall, std::vector<double>& cpuTimes) {
    wall.push_back(msSince(timer));
    cpuTimes.push_back(threadCpuMs() - cpu);
  };
  const int forcedBefore = editor.forcedPaints();
  for (int round = 0; round < 5; ++round) {
    bar.setValue(0);  // back to the top, untimed
    QApplication::processEvents();
    start();
    bar.setValue(bar.maximum());
    editor.paint();
    stop(scrolls, scrollsCpu);

    const int viewCol = round % std::max(1, grid.model()->columnCount());
    const QRect cell = grid.visualRect(grid.model()->index(lastViewRow, viewCol));
    if (!grid.viewport()->rect().contains(cell.center())) return failed("interact: the last row is not in view");
    start();
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
    editor.paint();
    stop(clicks, clicksCpu);
    if (grid.GetRow() != lastViewRow + 1 || grid.GetCol() != viewCol + 1) return failed("interact: click missed");

    const QByteArray before = grid.GetTextMatrix(lastViewRow + 1, viewCol + 1);
    cellEditor.setFocus();
    cellEditor.end(false);
    for (const char key : {'7', 'x', '9'}) {
      start();
      QTest::keyClick(&cellEditor, key);
      editor.paint();
      stop(keys, keysCpu);
    }
    if (grid.GetTextMatrix(lastViewRow + 1, viewCol + 1) != before + "7x9") return failed("interact: typing lost");
  }
  print({{"scroll_ms", median(scrolls)},
         {"scroll_max_ms", maximum(scrolls)},
         {"click_ms", median(clicks)},
         {"click_max_ms", maximum(clicks)},
         {"key_ms", median(keys)},
         {"key_max_ms", maximum(keys)},
         {"scroll_cpu_ms", median(scrollsCpu)},
         {"scroll_cpu_max_ms", maximum(scrollsCpu)},
         {"click_cpu_ms", median(clicksCpu)},
         {"click_cpu_max_ms", maximum(clicksCpu)},
         {"key_cpu_ms", median(keysCpu)},
         {"key_cpu_max_ms", maximum(keysCpu)},
         {"forced_paints", double(editor.forcedPaints() - forcedBefore)}});
  return 0;
}

// The steps of a sheet load one by one, the way the load command takes them,
// each timed on its own: where the time of a load goes.
int phases(const QString& path) {
  Editor editor;
  CMSFlexGrid& grid = editor.grid();
  Fields times;
  QElapsedTimer timer;
  const auto step = [&](const char* name, const std::function<void()>& work) {
    const double faults = minorFaults();
    const double cpu = threadCpuMs();
    timer.start();
    work();
    times[QString::fromLatin1(name) + "_ms"] = msSince(timer);
    times[QString::fromLatin1(name) + "_cpu_ms"] = threadCpuMs() - cpu;
    times[QString::fromLatin1(name) + "_faults"] = minorFaults() - faults;
  };
  FileBytes bytes;
  QString error;
  bool highByte = false;
  step("read", [&] { ReadSheetFile(path, bytes, error, &highByte); });
  grid.hide();
  step("load", [&] { editor.dlg().m_sheet.LoadFromBytes(std::move(bytes), highByte); });
  step("columns", [&] {
    for (long col = 1; col < grid.GetCols(); ++col) {
      grid.SetColAlignment(col, 6);
      grid.SetColWidth(col, 1800);
    }
  });
  step("show", [&] {
    grid.show();
    editor.dlg().m_cellEditor->show();
  });
  step("paint", [&] { editor.paint(); });
  // Drawing again, now that fonts and caches are warm.
  step("repaint_cells", [&] { grid.viewport()->repaint(); });
  step("repaint_headers", [&] {
    grid.horizontalHeader()->viewport()->repaint();
    grid.verticalHeader()->viewport()->repaint();
  });
  if (grid.GetRows() <= 0) return failed("phases: nothing loaded");
  print(times);
  return 0;
}

int vanilla(const QString& path) {
  Editor editor;
  std::vector<double> reloads, reloadsCpu;
  double first = 0;
  double firstCpu = 0;
  QElapsedTimer timer;
  for (int round = 0; round < 6; ++round) {
    const double cpu = threadCpuMs();
    timer.start();
    editor.load(path);
    editor.paint();
    const double ms = msSince(timer);
    const double cpuMs = threadCpuMs() - cpu;
    if (round == 0) {
      first = ms;
      firstCpu = cpuMs;
    } else {
      reloads.push_back(ms);
      reloadsCpu.push_back(cpuMs);
    }
    if (!loadedWhole(editor, path)) return 1;
  }
  print({{"first_ms", first}, {"first_cpu_ms", firstCpu}, {"reload_ms", median(reloads)},
         {"reload_max_ms", maximum(reloads)}, {"reload_cpu_ms", median(reloadsCpu)},
         {"rows", double(editor.grid().GetRows())}, {"cols", double(editor.grid().GetCols())}});
  return 0;
}

// ---- the suite: each measurement in a process of its own ----

class Suite {
 public:
  Suite(QString dir, bool quick) : m_dir(std::move(dir)), m_quick(quick) {}

  int run() {
    const int sizes[] = {10'000, 100'000, 1'000'000};
    const int loadRuns = m_quick ? 1 : 5;
    const int otherRuns = m_quick ? 1 : 3;  // saving, working in the sheet, the steps
    const int baseRuns = m_quick ? 1 : 5;

    std::vector<int> lineCounts;
    std::vector<Fields> reads, loads, copies, syncedCopies, saves;
    std::vector<double> bytes;
    std::vector<double> largestLoads;  // CPU ms of each run at 1,000,000 lines
    for (const int lines : sizes) {
      const QString file = QStringLiteral("%1/items-%2.txt").arg(m_dir).arg(lines);
      if (!measure({"gen-items", file, QString::number(lines)}, 1)) return fail("gen-items");
      auto read = measure({"read-count", file}, baseRuns);
      auto loaded = measure({"load", file}, loadRuns);
      if (lines == 1'000'000) largestLoads = m_lastRuns["cpu_ms"];
      auto copied = measure({"copy", file, file + ".copy"}, baseRuns);
      auto synced = measure({"copy", file, file + ".copy", "sync"}, baseRuns);
      auto saved = measure({"save", file}, otherRuns);
      if (!read || !loaded || !copied || !synced || !saved) return fail(file);
      if (read->value("lines") != lines || loaded->value("rows") != lines) return fail("line count");
      lineCounts.push_back(lines);
      bytes.push_back(double(QFileInfo(file).size()));
      reads.push_back(*read);
      loads.push_back(*loaded);
      copies.push_back(*copied);
      syncedCopies.push_back(*synced);
      saves.push_back(*saved);
      if (lines == 1'000'000) m_largest = file;
    }

    const QString monstats = m_dir + "/monstats-like.txt";
    if (!measure({"gen-monstats", monstats}, 1)) return fail("gen-monstats");
    auto small = measure({"vanilla", monstats}, loadRuns);
    auto worked = measure({"interact", m_largest}, otherRuns);
    auto steps = measure({"phases", m_largest}, otherRuns);
    if (!small || !worked || !steps) return fail("vanilla/interact/phases");

    const Fields& last = loads.back();
    out(QStringLiteral("Medians of %1 runs of a load, %2 of the other work in the editor and %3 of the plain file "
                       "work, each run a process of its own. Wall: elapsed time. CPU: the thread's own CPU time, "
                       "kernel included; on a shared machine it is the steadier of the two. Window %4 x %5, "
                       "offscreen.\n")
            .arg(loadRuns).arg(otherRuns).arg(baseRuns).arg(last.value("window_w")).arg(last.value("window_h")));

    out("### Loading: the load command until the grid is drawn\n");
    out("| lines | file MB | read+count ms (CPU) | load ms (CPU) | load / read, wall | load / read, CPU | "
        "fastest runs, CPU | file let go, ms after the command | peak above idle MB | peak / file |");
    out("|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|");
    for (size_t i = 0; i < lineCounts.size(); ++i) {
      const Fields& r = reads[i];
      const Fields& l = loads[i];
      const double mb = bytes[i] / (1024.0 * 1024.0);
      const double peakMb = (l.value("peak_kb") - l.value("idle_kb")) / 1024.0;
      out(QStringLiteral("| %1 | %2 | %3 (%4) | %5 (%6) | %7 | %8 | %9 | %10 (%11) | %12 | %13 |")
              .arg(lineCounts[i]).arg(mb, 0, 'f', 1)
              .arg(r.value("ms"), 0, 'f', 1).arg(r.value("cpu_ms"), 0, 'f', 1)
              .arg(l.value("ms"), 0, 'f', 1).arg(l.value("cpu_ms"), 0, 'f', 1)
              .arg(l.value("ms") / r.value("ms"), 0, 'f', 2).arg(l.value("cpu_ms") / r.value("cpu_ms"), 0, 'f', 2)
              .arg(l.value("cpu_ms_min") / r.value("cpu_ms_min"), 0, 'f', 2)
              .arg(l.value("let_go_ms"), 0, 'f', 1).arg(l.value("let_go_ms_max"), 0, 'f', 1)
              .arg(peakMb, 0, 'f', 1).arg(peakMb / mb, 0, 'f', 2));
    }
    out("");
    QStringList each;
    for (const double ms : largestLoads) each << QString::number(ms, 'f', 1);
    out(QStringLiteral("Each 1,000,000-line load, CPU ms, in the order run: %1. \"Fastest runs\" divides the fastest "
                       "load by the fastest read. \"File let go\": from the end of the load command until no "
                       "descriptor, mapping or lease of the file is left, median (worst); the peak is read after "
                       "that.\n").arg(each.join(QStringLiteral(", "))));
    if (last.value("peak_reset") == 0)
      out("(The kernel would not reset the peak count, so a peak below the start-up peak does not show.)\n");
    out(QStringLiteral("Load per line, wall: %1 / %2 / %3 microseconds at 10,000 / 100,000 / 1,000,000 lines.\n")
            .arg(loads[0].value("ms") * 1000 / lineCounts[0], 0, 'f', 3)
            .arg(loads[1].value("ms") * 1000 / lineCounts[1], 0, 'f', 3)
            .arg(loads[2].value("ms") * 1000 / lineCounts[2], 0, 'f', 3));

    out("### Saving: the save command (written beside, synced to disk, renamed over) against a copy\n");
    out("| lines | copy ms (CPU) | copy + sync ms (CPU) | save ms (CPU) | save / copy, wall | save / copy + sync, wall | "
        "save / copy, CPU |");
    out("|---:|---:|---:|---:|---:|---:|---:|");
    for (size_t i = 0; i < lineCounts.size(); ++i) {
      const Fields& c = copies[i];
      const Fields& y = syncedCopies[i];
      const Fields& v = saves[i];
      out(QStringLiteral("| %1 | %2 (%3) | %4 (%5) | %6 (%7) | %8 | %9 | %10 |")
              .arg(lineCounts[i]).arg(c.value("ms"), 0, 'f', 1).arg(c.value("cpu_ms"), 0, 'f', 1)
              .arg(y.value("ms"), 0, 'f', 1).arg(y.value("cpu_ms"), 0, 'f', 1)
              .arg(v.value("ms"), 0, 'f', 1).arg(v.value("cpu_ms"), 0, 'f', 1)
              .arg(v.value("ms") / c.value("ms"), 0, 'f', 2).arg(v.value("ms") / y.value("ms"), 0, 'f', 2)
              .arg(v.value("cpu_ms") / c.value("cpu_ms"), 0, 'f', 2));
    }
    out("");
    out(QStringLiteral("Inside a save of 1,000,000 lines: making the lines into blocks and throwing them away takes "
                       "%1 ms (CPU %2 ms); writing them to a plain file, with no sync and no rename, %3 ms (CPU %4 ms).\n")
            .arg(saves.back().value("format_ms"), 0, 'f', 1).arg(saves.back().value("format_cpu_ms"), 0, 'f', 1)
            .arg(saves.back().value("plain_write_ms"), 0, 'f', 1)
            .arg(saves.back().value("plain_write_cpu_ms"), 0, 'f', 1));

    out("### Where a load of 1,000,000 lines goes\n");
    out(QStringLiteral("The steps of the load command taken one by one (medians of %1 processes); page faults are "
                       "first touches of fresh memory.\n").arg(otherRuns));
    out("| step | ms | CPU ms | page faults |");
    out("|---|---:|---:|---:|");
    const struct {
      const char* key;
      const char* what;
    } phaseRows[] = {{"read", "map the file (or read it whole), looking for high bytes"},
                     {"load", "the sheet's load: header's columns, codec (UTF-8 check only with high "
                              "bytes), index the lines, the views' resets"},
                     {"columns", "column alignment and width, every column"},
                     {"show", "show the grid and the cell editor"},
                     {"paint", "first drawing of the window"},
                     {"repaint_cells", "(drawing the cells again, warm)"},
                     {"repaint_headers", "(drawing both headers again, warm)"}};
    for (const auto& row : phaseRows) {
      const QString key = QString::fromLatin1(row.key);
      out(QStringLiteral("| %1 | %2 | %3 | %4 |")
              .arg(QString::fromLatin1(row.what))
              .arg(steps->value(key + "_ms"), 0, 'f', 1).arg(steps->value(key + "_cpu_ms"), 0, 'f', 1)
              .arg(steps->value(key + "_faults"), 0, 'f', 0));
    }
    out("");

    out("### A vanilla-sized sheet\n");
    out(QStringLiteral("Monster-stats-like sheet, %1 lines x %2 fields, %3 KB. First load in a fresh window: "
                       "%4 ms (CPU %5 ms). Reloads in the same window: %6 ms (CPU %7 ms), worst %8 ms. "
                       "Medians of %9 processes, 5 reloads each.\n")
            .arg(small->value("rows")).arg(small->value("cols") - 1).arg(QFileInfo(monstats).size() / 1024.0, 0, 'f', 0)
            .arg(small->value("first_ms"), 0, 'f', 1).arg(small->value("first_cpu_ms"), 0, 'f', 1)
            .arg(small->value("reload_ms"), 0, 'f', 1).arg(small->value("reload_cpu_ms"), 0, 'f', 1)
            .arg(m_worst["reload_max_ms"], 0, 'f', 1).arg(loadRuns));

    out("### Working at the end of a 1,000,000-line sheet\n");
    out(QStringLiteral("Each action is timed until the event loop has drawn what changed; 5 rounds in each of %1 "
                       "processes (3 key presses a round). Medians of the processes' medians; worst of all.\n")
            .arg(otherRuns));
    out("| action | median ms | worst ms | median CPU ms | worst CPU ms |");
    out("|---|---:|---:|---:|---:|");
    const struct {
      const char* what;
      const char* key;
    } actions[] = {{"scroll from the top to the last row", "scroll"},
                   {"click a cell in the last row", "click"},
                   {"type one character into the cell editor", "key"}};
    for (const auto& action : actions) {
      const QString key = QString::fromLatin1(action.key);
      out(QStringLiteral("| %1 | %2 | %3 | %4 | %5 |")
              .arg(QString::fromLatin1(action.what))
              .arg(worked->value(key + "_ms"), 0, 'f', 2).arg(m_worst[key + "_max_ms"], 0, 'f', 2)
              .arg(worked->value(key + "_cpu_ms"), 0, 'f', 2).arg(m_worst[key + "_cpu_max_ms"], 0, 'f', 2));
    }
    if (worked->value("forced_paints") > 0) out("\n(Some actions drew nothing by themselves; the grid was drawn for them.)");
    out("");
    return 0;
  }

 private:
  // Runs a measurement `runs` times, each in a new process; the median of every field.
  std::optional<Fields> measure(const QStringList& args, int runs) {
    std::map<QString, std::vector<double>> all;
    std::fprintf(stderr, "sheet_bench: %s x%d\n", qPrintable(args.join(' ').replace(m_dir, "$tmp")), runs);
    for (int run = 0; run < runs; ++run) {
      QProcess process;
      process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
      process.start(QCoreApplication::applicationFilePath(), args);
      if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
      const QList<QByteArray> lines = process.readAllStandardOutput().trimmed().split('\n');
      for (const QByteArray& pair : lines.last().split(' ')) {
        const qsizetype eq = pair.indexOf('=');
        if (eq > 0) all[QString::fromLatin1(pair.first(eq))].push_back(pair.mid(eq + 1).toDouble());
      }
    }
    Fields fields;
    m_lastRuns = all;
    for (const auto& [key, values] : all) {
      fields[key] = median(values);
      fields[key + "_min"] = *std::min_element(values.begin(), values.end());
      fields[key + "_max"] = maximum(values);
      if (key.endsWith("max_ms")) m_worst[key] = std::max(m_worst[key], maximum(values));
    }
    return fields;
  }

  int fail(const QString& what) {
    std::fprintf(stderr, "sheet_bench suite: %s failed\n", qPrintable(what));
    return 1;
  }
  void out(const QString& line) {
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
  }

  QString m_dir;
  bool m_quick;
  QString m_largest;
  std::map<QString, double> m_worst;
  std::map<QString, std::vector<double>> m_lastRuns;  // every run's values of the last measurement
};

int usage() {
  std::fprintf(stderr, "usage: sheet_bench suite DIR [--quick] | gen-items PATH LINES | gen-monstats PATH | "
                       "read-count PATH | copy SRC DST [sync] | load PATH | save PATH | interact PATH | vanilla PATH\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const QStringList args = [&] {
    QStringList list;
    for (int i = 1; i < argc; ++i) list << QString::fromLocal8Bit(argv[i]);
    return list;
  }();
  const QString mode = args.value(0);
  // The editor runs in a working directory of its own: paths must not depend on ours.
  const auto absolute = [](const QString& path) { return path.isEmpty() ? path : QFileInfo(path).absoluteFilePath(); };
  const QString a = absolute(args.value(1));
  const QString b = mode == "gen-items" ? args.value(2) : absolute(args.value(2));

  // Modes that need no window.
  if (mode == "gen-items" && !b.isEmpty()) return sheetgen::WriteFile(a, sheetgen::WideItemSheet(b.toInt())) ? 0 : 1;
  if (mode == "gen-monstats" && !a.isEmpty()) return sheetgen::WriteFile(a, sheetgen::MonsterStatsSheet()) ? 0 : 1;
  if (mode == "read-count" && !a.isEmpty()) return readCount(a);
  if (mode == "copy" && !b.isEmpty()) return copyFile(a, b, args.value(3) == "sync");
  if (mode == "suite" && !a.isEmpty()) {
    QCoreApplication app(argc, argv);
    return Suite(a, args.contains("--quick")).run();
  }

  g_defaultHandler = qInstallMessageHandler(quietHandler);
  QApplication app(argc, argv);
  if (a.isEmpty()) return usage();
  if (mode == "load") return load(a);
  if (mode == "save") return save(a);
  if (mode == "interact") return interact(a);
  if (mode == "vanilla") return vanilla(a);
  if (mode == "phases") return phases(a);
  return usage();
}
