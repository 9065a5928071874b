// The archiver dialog and the About box on their own.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTest>
#include <memory>

#include "ModalRun.h"
#include "archive/ArchiverDlg.h"
#include "res/resource.h"
#include "ui/AboutDlg.h"

namespace {

QStringList Lines(const CArchiverDlg& dialog) {
  QStringList lines;
  for (int i = 0; i < dialog.m_archiveList->count(); ++i) lines << dialog.m_archiveList->item(i)->text();
  return lines;
}

TEST(ArchiverDlg, EveryShowWindowNotificationAddsALine) {
  CArchiverDlg dialog;
  EXPECT_EQ(dialog.windowTitle(), "MPQ Archiver");
  EXPECT_EQ(dialog.GetDlgItem(IDC_ARCHIVE_LIST), dialog.m_archiveList);
  EXPECT_FALSE(dialog.m_archiveList->isEnabled());
  EXPECT_EQ(dialog.m_archiveList->count(), 0);

  // Hiding is a show-window notification too.
  const struct {
    bool show;
    int lines;
  } steps[] = {{true, 1}, {false, 2}, {true, 3}};
  for (const auto& step : steps) {
    dialog.setVisible(step.show);
    EXPECT_EQ(Lines(dialog), QStringList(step.lines, "Not functional yet"));
  }
}

TEST(ArchiverDlg, LoadMpqIsTheOnlyMenuItemAndDoesNothing) {
  CArchiverDlg dialog;
  QAction* load = dialog.MenuCommand(ID_LOAD_MPQ);
  ASSERT_NE(load, nullptr);
  EXPECT_EQ(load->text(), "&Load MPQ");
  EXPECT_EQ(load->menu(), nullptr);
  EXPECT_EQ(dialog.findChild<QMenuBar*>()->actions(), QList<QAction*>{load});

  WhileModal([&] { dialog.DoModal(); },
             [&](QDialog* box) {
               ASSERT_EQ(box, &dialog);
               load->trigger();
               EXPECT_TRUE(dialog.isVisible());
               EXPECT_EQ(Lines(dialog), QStringList{"Not functional yet"});
               box->done(0);
             });
}

TEST(AboutDlg, NamesTheProgramThanksStormLibAndSaysWhatItIsFor) {
  CAboutDlg about;
  EXPECT_EQ(about.windowTitle(), "About");
  QStringList texts;
  for (const QLabel* label : about.findChildren<QLabel*>()) texts << label->text();
  ASSERT_EQ(texts, (QStringList{CAboutDlg::TitleText(), CAboutDlg::ThanksText(), CAboutDlg::PurposeText()}));

  EXPECT_EQ(texts[0].split('\n'), (QStringList{"Tabwright", "\t   Beta 1"}));
  EXPECT_EQ(texts[1].count('\n'), 1);
  EXPECT_TRUE(texts[1].contains("StormLib"));
  EXPECT_FALSE(texts[2].contains('\n'));
  EXPECT_NEAR(texts[2].size(), 240, 20);
  EXPECT_TRUE(texts[2].contains("\".tbl\""));
  EXPECT_TRUE(about.findChildren<QLabel*>().last()->wordWrap());
}

// Both boxes: grey with black text, centred on the screen, closed by Enter
// with 1 and by Escape with 2.
TEST(SmallDialogs, EnterAndEscapeCloseACentredGreyBox) {
  using Make = std::function<std::unique_ptr<CSimpleDialog>()>;
  const Make makers[] = {[] { return std::make_unique<CArchiverDlg>(); },
                         [] { return std::make_unique<CAboutDlg>(); }};
  const struct {
    Qt::Key key;
    int result;
  } keys[] = {{Qt::Key_Return, 1}, {Qt::Key_Enter, 1}, {Qt::Key_Escape, 2}};
  for (const Make& make : makers) {
    for (const auto& key : keys) {
      std::unique_ptr<CSimpleDialog> dialog = make();
      SCOPED_TRACE(dialog->windowTitle().toStdString() + " key " + std::to_string(key.key));
      EXPECT_EQ(dialog->palette().color(QPalette::Window), QColor(128, 128, 128));
      EXPECT_EQ(dialog->palette().color(QPalette::WindowText), QColor(Qt::black));
      int result = -1;
      WhileModal([&] { result = dialog->DoModal(); },
                 [&](QDialog* box) {
                   const QPoint centre = box->screen()->availableGeometry().center();
                   // Placed before its frame is known, the box may sit off by the frame's width.
                   const int frame = box->geometry().left() - box->frameGeometry().left();
                   EXPECT_LE((box->geometry().center() - centre).manhattanLength(), 2 * frame + 2);
                   QTest::keyClick(box, key.key);
                 });
      EXPECT_EQ(result, key.result);
    }
  }
}

}  // namespace
