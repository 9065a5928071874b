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

#include "TableFile.h"
#include "app/TabSheetApp.h"
#include "platform/Dialogs.h"
#include "res/resource.h"
#include "sheet/MSFlexGrid.h"
#include "ui/TabSheetDlg.h"

namespace {

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
    file.write(MakeStringTable({{"WarnDoor", "The door is locked."},
                                {"ShortBlade", "Short Blade"},
                                {"CrescentAxe", "Crescent Axe"},
                                {"AshenStaff", "\xC3\xBF" "c4Ashen Staff\nA staff of charred wood,\nwarm to the touch."},
                                {"HuntersBow", "Hunter's Bow"},
                                {"strGoldPickup", "%d Gold"},
                                {"strNotEnoughMana", "I need more mana."},
                                {"strCannotCarry", "I cannot carry any more."}})
                   .bytes);
  }

  CTabSheetApp app{QString()};
  const QString directory = app.SettleSettings();
  QString choice;
  SetOpenFileDialogHandler([&choice](const OpenFileRequest&) -> std::optional<QString> { return choice; });
  SetMessageBoxHandler([](QWidget*, const QString& text) { std::fprintf(stderr, "message: %s\n", qPrintable(text)); });

  CTabSheetDlg window;
  app.m_pMainWnd = &window;
  window.m_szDirectory = directory;
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

  window.m_szDirectory.clear();
  app.m_pMainWnd = nullptr;
  return 0;
}
