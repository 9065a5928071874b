// String table benchmark: opening a table of 65,535 entries (the most the
// file's u16 count allows) through the real editor window, and the steps it
// is made of. Prints a Markdown table of medians; asserts nothing about time.
//
//   strtable_bench [--quick]    --quick: fewer rounds
//
// Run under QT_QPA_PLATFORM=offscreen when there is no display.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "TableWriter.h"
#include "app/TabSheetApp.h"
#include "platform/Dialogs.h"
#include "res/resource.h"
#include "strtable/KeyNames.h"
#include "strtable/RegionCrc.h"
#include "strtable/StringTable.h"
#include "strtable/TableCodec.h"
#include "ui/TabSheetDlg.h"

namespace {

constexpr int kEntries = 65535;

// Keys and values of the sizes and kinds the game's tables hold: short
// names, sentences with colour codes in UTF-8.
QByteArray GameLikeTable() {
  std::vector<TableEntry> entries;
  entries.reserve(kEntries);
  for (int i = 0; i < kEntries; ++i) {
    const QByteArray n = QByteArray::number(i);
    entries.push_back({"StrKey" + n + (i % 3 ? "Name" : "Desc"),
                       "\xC3\xBF" "c4Item " + n + " grants +" + QByteArray::number(i % 97) +
                           " to something of the kind the game describes at some length"});
  }
  return WriteStringTable(entries);
}

double Median(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  return samples[samples.size() / 2];
}

double TimeMs(const std::function<void()>& work) {
  QElapsedTimer timer;
  timer.start();
  work();
  return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

struct Row {
  const char* what;
  std::vector<double> ms;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const int rounds = app.arguments().contains("--quick") ? 3 : 9;

  QTemporaryDir dir;
  const QString path = dir.filePath("bench.tbl");
  const QString hostilePath = dir.filePath("hostile.tbl");
  const QByteArray bytes = GameLikeTable();
  for (const auto& [where, what] :
       {std::pair(path, bytes),
        std::pair(hostilePath, WriteOverlappingTable(QByteArray("\xC3\xA9").repeated(40000), kEntries, 2, 2, 99))}) {
    QFile file(where);
    if (!file.open(QIODevice::WriteOnly) || file.write(what) != what.size()) {
      std::fprintf(stderr, "strtable_bench: cannot write %s\n", qPrintable(where));
      return 1;
    }
  }

  const QString previous = QDir::currentPath();
  QDir::setCurrent(dir.path());  // the settings file goes to the temporary folder
  CTabSheetApp tabwright;
  QString chosen = path;
  SetOpenFileDialogHandler([&](const OpenFileRequest&) { return std::optional<QString>(chosen); });
  SetMessageBoxHandler([](QWidget*, const QString& text) { std::fprintf(stderr, "%s\n", qPrintable(text)); });

  std::vector<Row> rows = {{"read file + parse", {}},     {"choose codec + decode keys", {}},
                           {"fill a bare QComboBox", {}}, {"region CRC of the read bytes", {}},
                           {"**open command, total**", {}}, {"first resize after open", {}},
                           {"first paint of the window", {}}, {"drop-down list shown", {}},
                           {"drop-down list shown, uniform item sizes", {}},
                           {"search for the last key", {}},
                           {"open command, hostile table: every key runs through one 80 KB stretch", {}}};
  int items = 0;
  for (int round = 0; round < rounds; ++round) {
    StringTable table;
    rows[0].ms.push_back(TimeMs([&] {
      QFile file(path);
      file.open(QIODevice::ReadOnly);
      table = ParseStringTable(file.readAll());
    }));
    QStringList keys;
    rows[1].ms.push_back(TimeMs([&] {
      const TextCodec codec = CodecForTable(table);
      keys.reserve(kEntries);
      for (const QByteArrayView key : table.m_keyNames) keys.append(KeyListText(codec, key));
    }));
    QComboBox bare;
    rows[2].ms.push_back(TimeMs([&] { bare.addItems(keys); }));
    rows[3].ms.push_back(TimeMs([&] { ComputeRegionCrc(QByteArrayView(table.m_fileBytes)); }));

    // The whole of it in a fresh editor window, as the user meets it.
    const std::unique_ptr<CTabSheetDlg> dlg = tabwright.MakeEditorWindow();
    dlg->OnInitDialog();
    QApplication::processEvents();
    rows[4].ms.push_back(TimeMs([&] { dlg->WindowProc(WM_COMMAND, MAKEWPARAM(ID_FILE_LOAD_TEXT, 0), 0); }));
    rows[5].ms.push_back(TimeMs([&] {
      dlg->resize(dlg->width() - 10, dlg->height() - 10);
      QApplication::processEvents();
    }));
    rows[6].ms.push_back(TimeMs([&] { dlg->grab(); }));
    auto* keyList = qobject_cast<QComboBox*>(dlg->GetDlgItem(IDC_KEY_LIST));
    rows[7].ms.push_back(TimeMs([&] {
      keyList->showPopup();
      QApplication::processEvents();
      keyList->hidePopup();
    }));
    // What the same list costs when its rows are declared to be of one height.
    if (auto* view = qobject_cast<QListView*>(keyList->view())) view->setUniformItemSizes(true);
    rows[8].ms.push_back(TimeMs([&] {
      keyList->showPopup();
      QApplication::processEvents();
      keyList->hidePopup();
    }));
    auto* search = qobject_cast<QLineEdit*>(dlg->GetDlgItem(IDC_KEY_SEARCH));
    rows[9].ms.push_back(TimeMs([&] { search->setText(keys.constLast()); }));
    items = keyList->count();
    if (keyList->currentIndex() != kEntries - 1) std::fprintf(stderr, "strtable_bench: search missed\n");

    const std::unique_ptr<CTabSheetDlg> hostile = tabwright.MakeEditorWindow();
    hostile->OnInitDialog();
    chosen = hostilePath;
    rows[10].ms.push_back(TimeMs([&] { hostile->WindowProc(WM_COMMAND, MAKEWPARAM(ID_FILE_LOAD_TEXT, 0), 0); }));
    chosen = path;
  }
  SetOpenFileDialogHandler({});
  SetMessageBoxHandler({});
  QDir::setCurrent(previous);

  std::printf("### Opening a string table of %d entries (%.1f MB), median of %d\n\n", items,
              bytes.size() / 1e6, rounds);
  std::printf("| step | ms |\n|---|---:|\n");
  for (const Row& row : rows) std::printf("| %s | %.1f |\n", row.what, Median(row.ms));
  return 0;
}
