// Makes the README's pictures of the editor window, built and driven as the
// program builds it, under the offscreen platform: the sheet view with a
// sample sheet and the table view with a string table of our own.
//   make-screenshots <sheet.txt> <output folder>
// writes screenshot-sheet.png and screenshot-table.png. The window's caption
// is drawn above each picture, as there is no window frame offscreen.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

#include "app/TabSheetApp.h"
#include "platform/Dialogs.h"
#include "res/resource.h"
#include "sheet/MSFlexGrid.h"
#include "ui/TabSheetDlg.h"

namespace {

// A string table as the game lays them out: a 21-byte header, the index array,
// 17-byte nodes, then the keys and values, whose CRC-16/IBM-3740 heads the file.
//   0 u16 CRC  2 u16 entries  4 u32 nodes  9 u32 texts start  17 u32 texts end
//   node: +0 u8 used  +1 u16 entry  +7 u32 key offset  +11 u32 value offset  +15 u16 value length
QByteArray StringTableBytes(const std::vector<std::pair<QByteArray, QByteArray>>& entries) {
  const int count = int(entries.size()), texts = 21 + 19 * count;
  QByteArray bytes(texts, '\0');
  const auto put = [&bytes](int at, quint32 value, int size) {
    for (int i = 0; i < size; ++i) bytes[at + i] = char(value >> (8 * i));
  };
  put(2, count, 2);
  put(4, count, 4);
  put(9, texts, 4);
  for (int i = 0; i < count; ++i) {
    const int node = 21 + 2 * count + 17 * i;
    put(21 + 2 * i, i, 2);
    put(node, 1, 1);
    put(node + 1, i, 2);
    put(node + 7, bytes.size(), 4);
    bytes += entries[i].first + '\0';
    put(node + 11, bytes.size(), 4);
    put(node + 15, entries[i].second.size(), 2);
    bytes += entries[i].second + '\0';
  }
  put(17, bytes.size(), 4);
  quint16 crc = 0xFFFF;
  for (const char byte : bytes.sliced(texts)) {
    crc ^= quint16(quint8(byte) << 8);
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x8000) ? quint16((crc << 1) ^ 0x1021) : quint16(crc << 1);
  }
  put(0, crc, 2);
  return bytes;
}

bool SaveWithCaption(CTabSheetDlg& window, const QString& path) {
  QApplication::processEvents();
  const QPixmap client = window.grab();
  constexpr int kCaption = 30;
  QImage picture(client.width(), client.height() + kCaption, QImage::Format_RGB32);
  QPainter painter(&picture);
  painter.fillRect(QRect(0, 0, picture.width(), kCaption), QColor(48, 52, 60));
  painter.drawPixmap(QPoint(12, 7), window.windowIcon().pixmap(16, 16));
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(14);
  painter.setFont(font);
  painter.setPen(QColor(235, 235, 235));
  painter.drawText(QRect(36, 0, picture.width() - 48, kCaption), Qt::AlignVCenter | Qt::AlignLeft, window.windowTitle());
  painter.drawPixmap(0, kCaption, client);
  painter.end();
  if (picture.save(path)) return true;
  std::fprintf(stderr, "make-screenshots: cannot write %s\n", qPrintable(path));
  return false;
}

void Command(CTabSheetDlg& window, UINT id, UINT code = 0) {
  window.WindowProc(WM_COMMAND, MAKEWPARAM(id, code), 0);
  QApplication::processEvents();
}

}  // namespace

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication qtApp(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tabwright"));
  if (argc != 3) {
    std::fprintf(stderr, "usage: make-screenshots <sheet.txt> <output folder>\n");
    return 2;
  }
  const QString sample = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
  const QString output = QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath();
  QDir().mkpath(output);

  // A working folder of its own, for the settings file and the files shown.
  QTemporaryDir work;
  QDir::setCurrent(work.path());
  const QString sheet = work.path() + "/" + QFileInfo(sample).fileName();
  if (!QFile::copy(sample, sheet)) {
    std::fprintf(stderr, "make-screenshots: cannot read %s\n", qPrintable(sample));
    return 1;
  }
  const QString table = work.path() + "/patchstring.tbl";
  {
    QFile file(table);
    if (!file.open(QIODevice::WriteOnly)) return 1;
    file.write(StringTableBytes({{"WarnDoor", "The door is locked."},
                                 {"ShortBlade", "Short Blade"},
                                 {"CrescentAxe", "Crescent Axe"},
                                 {"AshenStaff", "\xC3\xBF" "c4Ashen Staff\nA staff of charred wood,\nwarm to the touch."},
                                 {"HuntersBow", "Hunter's Bow"},
                                 {"strGoldPickup", "%d Gold"},
                                 {"strNotEnoughMana", "I need more mana."},
                                 {"strCannotCarry", "I cannot carry any more."}}));
  }

  CTabSheetApp app{QString()};
  QString choice;
  SetOpenFileDialogHandler([&choice](const OpenFileRequest&) -> std::optional<QString> { return choice; });
  SetMessageBoxHandler([](QWidget*, const QString& text) { std::fprintf(stderr, "message: %s\n", qPrintable(text)); });

  const std::unique_ptr<CTabSheetDlg> made = app.MakeEditorWindow();
  CTabSheetDlg& window = *made;
  window.OnInitDialog();
  window.showNormal();
  window.resize(1200, 700);
  QApplication::processEvents();

  // The sheet view, a cell of the fourth record clicked.
  choice = sheet;
  Command(window, ID_FILE_LOAD_TEXT);
  CMSFlexGrid* grid = window.m_grid;
  const QModelIndex cell = grid->model()->index(3, 0);
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(cell).center());
  if (!SaveWithCaption(window, output + "/screenshot-sheet.png")) return 1;

  // The table view, a key picked from the list.
  choice = table;
  Command(window, ID_FILE_LOAD_TEXT);
  if (auto* keys = qobject_cast<QComboBox*>(window.GetDlgItem(IDC_KEY_LIST))) {
    keys->setCurrentIndex(3);
    Command(window, IDC_KEY_LIST, CBN_SELCHANGE);
  }
  if (!SaveWithCaption(window, output + "/screenshot-table.png")) return 1;

  return 0;
}
