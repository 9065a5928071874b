// Loading through the real editor window: the start view, the command line
// and the open dialog, the grid, the caption, the remembered directory, what
// a bad file gets, how the window ends and its restored size, F1, and the
// filter the real open dialog shows. (When Save and Freeze do nothing: with
// the key browser's tests.)
#include <QComboBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QTimer>

#include "EditorFixture.h"
#include "ui/AboutDlg.h"

using SheetLoadTest = EditorFixture;

// Records the files the desktop is asked to open.
class OpenedFiles : public QObject {
  Q_OBJECT
 public slots:
  void open(const QUrl& url) { urls << url; }

 public:
  QList<QUrl> urls;
};

// Restored from maximised, the area below the menu bar is the window
// template's 364 x 260 dialog units of its font, converted as the About box
// converts its own.
TEST_F(SheetLoadTest, StartViewRestoredSizeAndTheWaysOut) {
  EXPECT_TRUE(m_dlg->isMaximized());
  m_dlg->showNormal();
  QCoreApplication::processEvents();
  EXPECT_EQ(m_dlg->GetDlgItem(IDC_GRID)->parentWidget()->size(), CAboutDlg().MapDialogRect(QRect(0, 0, 364, 260)).size());
  menu(ID_FILE_LOAD_TEXT);  // cancelled: the start view stays
  EXPECT_EQ(m_requests.at(0).initialDirectory, "C:");
  for (int id : {IDC_SPLASH, IDC_GRID, IDC_CELL_EDIT, IDC_KEY_LIST, IDC_VALUE_VIEW, IDC_KEY_SEARCH})
    EXPECT_EQ(m_dlg->GetDlgItem(id)->isVisible(), id == IDC_SPLASH) << id;
  EXPECT_EQ(m_dlg->GetDlgItem(IDC_SPLASH)->size(), QSize(256, 202));
  // Enter does nothing; Escape ends the run with 2, Exit with 1.
  QTest::keyClick(m_dlg.get(), Qt::Key_Return);
  EXPECT_TRUE(m_dlg->isVisible());
  QTest::keyClick(m_dlg.get(), Qt::Key_Escape);
  EXPECT_EQ(m_dlg->isVisible() ? -1 : m_dlg->result(), 2);
  start();
  menu(ID_FILE_EXIT);
  EXPECT_EQ(m_dlg->isVisible() ? -1 : m_dlg->result(), 1);
}

// The file named on the command line opens without a dialog. The next load
// asks with the open dialog, which starts where that file was. A cancelled
// dialog, or a file that cannot be read, leaves the sheet as it was; the bad
// file is named, and a later save still writes the sheet that is shown.
TEST_F(SheetLoadTest, LoadsFromTheCommandLineAndThroughTheOpenDialog) {
  const QString first = m_app->m_lpCmdLine = write("start sheet.txt", "name\tvalue\r\nx\t1\r\n");
  start();
  EXPECT_TRUE(m_requests.empty());
  EXPECT_EQ(CellsOf(grid()->Store()), "|name|value\n1|x|1\n");
  const QString file = write("Weapons.txt", "a\tb\tc\r\n1\t2\t3\r\n4\t5\t6\r\n");
  load(file);
  for (const int col : {0, 2})  // every field right and top, from the first to the last
    EXPECT_EQ(grid()->model()->index(0, col).data(Qt::TextAlignmentRole), int(Qt::AlignRight | Qt::AlignTop)) << col;
  const OpenFileRequest r = m_requests.at(0);
  EXPECT_EQ((QStringList{r.filterDescription, r.filterPatterns, r.defaultExtension, r.initialDirectory, r.currentName}),
            (QStringList{"Diablo II Data Files(*.txt;*.tbl)", "*.txt *.tbl", "txt", dir(), first}));
  EXPECT_EQ(m_app->GetProfileString("", "Directory"), dir());
  for (const std::optional<QString>& bad : {std::optional<QString>(), std::optional(path("missing.txt")), std::optional(dir())}) {
    m_choice = bad;  // none: cancelled
    menu(ID_FILE_LOAD_TEXT);
    EXPECT_EQ(m_messages.size(), bad.has_value());
    EXPECT_TRUE(m_messages.join("").contains(bad.value_or(""))) << m_messages.join("").toStdString();
    EXPECT_EQ(m_dlg->m_szFilePath + "|" + m_dlg->windowTitle(), file + "|Weapons.txt");
    EXPECT_EQ(CellsOf(grid()->Store()), "|a|b|c\n1|1|2|3\n2|4|5|6\n");
    EXPECT_TRUE(grid()->isVisible() && editor()->isVisible() && !m_dlg->GetDlgItem(IDC_SPLASH)->isVisible());
    EXPECT_TRUE(!m_dlg->m_bBusy && !QApplication::overrideCursor());
    m_messages.clear();
  }
  EXPECT_EQ(saveAndRead(file), "a\tb\tc\r\n1\t2\t3\r\n4\t5\t6\r\n");
  load(write("empty.txt", ""));
  EXPECT_EQ(CellsOf(grid()->Store()), "");
}

// The real open dialog shows the filter's description exactly as written,
// and lists the files its patterns match.
TEST_F(SheetLoadTest, TheOpenDialogShowsTheFilterAsWritten) {
  SetOpenFileDialogHandler({});
  QStringList shown, patterns;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_TRUE(dialog);
    const auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
    for (int i = 0; types && i < types->count(); ++i) shown << types->itemText(i);
    if (const auto* files = dialog->findChild<QFileSystemModel*>()) patterns = files->nameFilters();
    dialog->reject();
  });
  menu(ID_FILE_LOAD_TEXT);
  EXPECT_EQ((shown.join(" | ") + " / " + patterns.join(" ")).toStdString(), "Diablo II Data Files(*.txt;*.tbl) / *.txt *.tbl");
  EXPECT_TRUE(m_messages.isEmpty() && m_dlg->m_szFilePath.isEmpty());  // a rejected dialog opens nothing
}

// F1 opens the help file where one is set, and nothing where none is.
TEST_F(SheetLoadTest, F1OpensTheHelpFileWhereThereIsOne) {
  OpenedFiles opened;
  QDesktopServices::setUrlHandler("file", &opened, "open");
  for (const QString& help : {QString(), path("help.html")}) {
    m_app->m_pszHelpFilePath = help;
    QTest::keyClick(m_dlg.get(), Qt::Key_F1);
  }
  QDesktopServices::unsetUrlHandler("file");
  EXPECT_EQ(opened.urls, QList<QUrl>{QUrl::fromLocalFile(path("help.html"))});
}

// About, from the menu: a box of that name with its three texts in order,
// which Enter closes as OK.
TEST_F(SheetLoadTest, AboutShowsItsTextsAndEnterClosesIt) {
  QStringList seen;
  QTimer::singleShot(0, [&] {
    if (auto* box = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget())) {
      seen << box->windowTitle();
      for (const QLabel* label : box->findChildren<QLabel*>()) seen << label->text();
      QTest::keyClick(box, Qt::Key_Return);
      seen << QString::number(box->result());
      box->done(0);  // should Enter have left it open
    }
  });
  menu(ID_ABOUT);
  EXPECT_EQ(seen, QStringList({"About", CAboutDlg::TitleText(), CAboutDlg::ThanksText(), CAboutDlg::PurposeText(), "1"}));
}

#include "SheetLoadTest.moc"
