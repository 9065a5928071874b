// Saving benchmark: a generated sheet of 1,000,000 rows saved through the
// real editor window's save command, beside copying the same file, which is
// the least any save of it can cost.
//
//   save_bench [--rows N] [--runs N] [DIR]
//
// DIR holds the sheets (a temporary folder when none is given). Prints
// Markdown; the figures are medians over the runs. It asserts nothing about
// time, but stops when a save does not write what it should.
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "SheetGen.h"
#include "app/TabSheetApp.h"
#include "platform/Dialogs.h"
#include "res/resource.h"
#include "sheet/MSFlexGrid.h"
#include "ui/TabSheetDlg.h"

namespace {

double msSince(const QElapsedTimer& timer) { return static_cast<double>(timer.nsecsElapsed()) / 1e6; }

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t mid = values.size() / 2;
  return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "save_bench: %s\n", what);
  std::exit(1);
}

// The yardstick: the file copied in blocks of the size the save writes, to a
// new file beside it; with `sync`, also to the disk, as the save's commit does.
double copyFile(const QString& from, const QString& to, bool sync) {
  QFile::remove(to);
  QElapsedTimer timer;
  timer.start();
  QFile in(from);
  QFile out(to);
  if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
    fail("copy: cannot open");
  std::vector<char> block(1 << 20);
  for (;;) {
    const qint64 got = in.read(block.data(), static_cast<qint64>(block.size()));
    if (got <= 0) break;
    if (out.write(block.data(), got) != got) fail("copy: short write");
  }
  if (sync) ::fdatasync(out.handle());
  out.close();
  const double ms = msSince(timer);
  QFile::remove(to);
  return ms;
}

// The editor window as the program runs it, with the open dialog answered and
// message boxes recorded.
class Editor {
 public:
  explicit Editor(const QString& dir) {
    QDir::setCurrent(dir);  // the settings file lands there
    m_app = std::make_unique<CTabSheetApp>();
    SetOpenFileDialogHandler([this](const OpenFileRequest&) -> std::optional<QString> { return m_next; });
    SetMessageBoxHandler([this](QWidget*, const QString& text) { m_messages << text; });
    m_dlg = m_app->MakeEditorWindow();
    m_dlg->OnInitDialog();
  }
  ~Editor() {
    m_dlg.reset();
    m_app.reset();
    SetOpenFileDialogHandler({});
    SetMessageBoxHandler({});
  }

  void command(UINT id) { m_dlg->WindowProc(WM_COMMAND, MAKEWPARAM(id, 0), 0); }
  void load(const QString& path) {
    m_next = path;
    command(ID_FILE_LOAD_TEXT);
    QApplication::processEvents();
    if (m_dlg->m_szFilePath != path || m_dlg->m_grid->GetRows() == 0) fail("the sheet did not load");
  }
  // The save command, timed; it must say "File saved".
  double save() {
    m_messages.clear();
    QElapsedTimer timer;
    timer.start();
    command(ID_FILE_SAVE_TEXT);
    const double ms = msSince(timer);
    if (m_messages != QStringList{QStringLiteral("File saved")}) fail("the save did not say \"File saved\"");
    return ms;
  }
  CMSFlexGrid& grid() { return *m_dlg->m_grid; }

 private:
  std::unique_ptr<CTabSheetApp> m_app;
  std::unique_ptr<CTabSheetDlg> m_dlg;
  QString m_next;
  QStringList m_messages;
};

QByteArray readAll(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) fail("cannot read back");
  return file.readAll();
}

// The offscreen platform says this once per window; it means nothing here.
QtMessageHandler g_defaultHandler = nullptr;
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.contains(QLatin1String("propagateSizeHints"))) return;
  if (g_defaultHandler) g_defaultHandler(type, context, message);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  g_defaultHandler = qInstallMessageHandler(quietHandler);
  QApplication app(argc, argv);
  QStringList args = QApplication::arguments().mid(1);
  int rows = 1000000;
  int runs = 3;
  for (const char* option : {"--rows", "--runs"}) {
    const qsizetype at = args.indexOf(QLatin1String(option));
    if (at < 0 || at + 1 >= args.size()) continue;
    (QLatin1String(option) == QLatin1String("--rows") ? rows : runs) = std::max(1, args[at + 1].toInt());
    args.remove(at, 2);
  }
  QTemporaryDir temporary;
  const QString dir = args.isEmpty() ? temporary.path() : args.first();
  if (!QDir().mkpath(dir)) fail("no folder for the sheets");

  const QString sheet = dir + "/save_bench_items.txt";
  const QByteArray bytes = sheetgen::WideItemSheet(rows);
  if (!sheetgen::WriteFile(sheet, bytes)) fail("cannot write the sheet");

  std::vector<double> copyMs, syncCopyMs, saveMs, editedSaveMs;
  qsizetype edits = 0;
  {
    Editor editor(dir);
    editor.load(sheet);
    for (int run = 0; run < runs; ++run) {
      copyMs.push_back(copyFile(sheet, sheet + ".copy", false));
      syncCopyMs.push_back(copyFile(sheet, sheet + ".copy", true));
      saveMs.push_back(editor.save());
    }
    if (readAll(sheet) != bytes) fail("an unedited save changed the file");

    // One cell in every hundredth row edited: those rows are written from
    // their cells, the others as they were read.
    const long total = editor.grid().GetRows();
    for (long row = 1; row < total; row += 100, ++edits) editor.grid().SetTextMatrix(row, 2, "edited");
    for (int run = 0; run < runs; ++run) editedSaveMs.push_back(editor.save());
    if (readAll(sheet).count("edited") < edits) fail("the edits were not saved");
  }

  const double copy = median(copyMs);
  const double syncCopy = median(syncCopyMs);
  const double save = median(saveMs);
  const double edited = median(editedSaveMs);
  std::printf("Sheet: %d lines, %.1f MB (generated weapons-like, 20 fields); medians of %d runs. ", rows,
              static_cast<double>(bytes.size()) / (1 << 20), runs);
  std::printf("The save writes a new file and renames it over the old one, with a sync to the disk on the way.\n\n");
  std::printf("| | ms | / copy | / copy+sync |\n|---|---:|---:|---:|\n");
  std::printf("| copy (read and write, 1 MiB blocks) | %.1f | 1.00 | %.2f |\n", copy, copy / syncCopy);
  std::printf("| copy + fdatasync | %.1f | %.2f | 1.00 |\n", syncCopy, syncCopy / copy);
  std::printf("| save, unedited (OnFileSaveText) | %.1f | %.2f | %.2f |\n", save, save / copy, save / syncCopy);
  std::printf("| save, %lld rows edited (1 in 100) | %.1f | %.2f | %.2f |\n", static_cast<long long>(edits), edited,
              edited / copy, edited / syncCopy);
  QFile::remove(sheet);
  return 0;
}
