// The command-line tail, the settings file and the window layout: the pure
// pieces of start-up.
#include <gtest/gtest.h>

#include <QSettings>

#include "TestFiles.h"
#include "app/TabSheetApp.h"
#include "platform/CommandLine.h"
#include "platform/Paths.h"
#include "ui/EditorLayout.h"

namespace {

struct TailCase {
  const char* commandLine;
  const char* tail;
};

class CommandLineTailTest : public testing::TestWithParam<TailCase> {};

TEST_P(CommandLineTailTest, TakesEverythingAfterTheProgramName) {
  EXPECT_EQ(CommandLineTail(QString::fromUtf8(GetParam().commandLine)), QString::fromUtf8(GetParam().tail));
}

INSTANTIATE_TEST_SUITE_P(
    Rules, CommandLineTailTest,
    testing::Values(TailCase{"tabwright.exe", ""},                                   // no tail
                    TailCase{"tabwright.exe    ", ""},                               // blanks only
                    TailCase{"tabwright.exe   C:\\x.txt", "C:\\x.txt"},              // blanks then a name
                    TailCase{"\"C:\\Program Files\\tw.exe\" C:\\a b.txt", "C:\\a b.txt"},  // quoted name with blanks
                    TailCase{"\"C:\\tw.exe\"C:\\x.txt", "C:\\x.txt"},                // nothing between
                    TailCase{"\"C:\\never closed x.txt", ""},                        // quote runs to the end
                    TailCase{"tw.exe \"C:\\a b.txt\"", "\"C:\\a b.txt\""},           // quotes stay in the tail
                    TailCase{"tw.exe a b.txt  ", "a b.txt  "},                       // trailing blanks stay
                    TailCase{"tw.exe\t\x01\x1f x.txt", "x.txt"},                     // every code 1..32 is skipped
                    TailCase{"tw.exe\tx.txt", "x.txt"},                              // a tab ends the name
                    TailCase{"", ""}));

TEST(CommandLineTailFromArguments, JoinsArgumentsWithSingleBlanks) {
  EXPECT_EQ(CommandLineTailFromArguments({}), QString());
  EXPECT_EQ(CommandLineTailFromArguments({QString()}), QString());
  EXPECT_EQ(CommandLineTailFromArguments({"/data/my", "sheet.txt"}), "/data/my sheet.txt");
  EXPECT_EQ(CommandLineTailFromArguments({"/data/my sheet.txt"}), "/data/my sheet.txt");
  EXPECT_EQ(CommandLineTailFromArguments({"  x.txt "}), "x.txt ");
}

TEST(Paths, DirectoryAndTitle) {
  const struct {
    const char* path;
    const char* directory;
    const char* title;
  } cases[] = {{"/home/m/Weapons.txt", "/home/m", "Weapons.txt"},
               {"Weapons.txt", "", "Weapons.txt"},
               {"/x.txt", "", "x.txt"},
               {"/a.tbl/b.txt", "/a.tbl", "b.txt"},
               {"/dir/", "/dir", ""}};
  for (const auto& c : cases) {
    EXPECT_EQ(DirectoryOf(c.path), QString(c.directory)) << c.path;
    EXPECT_EQ(FileTitleOf(c.path), QString(c.title)) << c.path;
  }
}

class SettingsTest : public testing::Test {
 protected:
  QTemporaryDir m_dir;
  QString iniPath() const { return m_dir.path() + "/Tabwright.ini"; }
  QString settle() {
    ScopedWorkingDirectory cwd(m_dir.path());
    CTabSheetApp app;
    return app.SettleSettings();
  }
};

TEST_F(SettingsTest, FirstStartWritesTheDefaultDirectory) {
  EXPECT_EQ(settle(), "C:");
  ASSERT_TRUE(QFile::exists(iniPath()));
  EXPECT_EQ(QSettings(iniPath(), QSettings::IniFormat).value("Directory").toString(), "C:");
}

TEST_F(SettingsTest, EmptyValueIsRewrittenAndAValueIsKept) {
  WriteBytes(iniPath(), "[General]\nDirectory=\n");
  EXPECT_EQ(settle(), "C:");
  EXPECT_EQ(QSettings(iniPath(), QSettings::IniFormat).value("Directory").toString(), "C:");

  QSettings(iniPath(), QSettings::IniFormat).setValue("Directory", "/srv/mods, and more");
  EXPECT_EQ(settle(), "/srv/mods, and more");
}

TEST_F(SettingsTest, EachWorkingDirectoryHasItsOwnFile) {
  QTemporaryDir other;
  {
    ScopedWorkingDirectory cwd(other.path());
    CTabSheetApp app;
    app.SettleSettings();
    app.WriteProfileString("", "Directory", "/elsewhere");
  }
  EXPECT_EQ(settle(), "C:");
  EXPECT_EQ(QSettings(other.path() + "/Tabwright.ini", QSettings::IniFormat).value("Directory").toString(),
            "/elsewhere");
}

TEST(SettingsPath, AppendsTheNameAsTheStringStands) {
  EXPECT_EQ(CTabSheetApp::SettingsPathFor("/home/m"), "/home/m/Tabwright.ini");
  EXPECT_EQ(CTabSheetApp::SettingsPathFor("/"), "//Tabwright.ini");
}

struct LayoutCase {
  int width, height;
  QRect cellEditor, grid, keyList, keySearch, valueView, splash;
};

TEST(EditorLayout, PlacesEveryControl) {
  const LayoutCase cases[] = {
      {900, 600, {150, 10, 600, 28}, {3, 50, 894, 544}, {5, 10, 300, 10}, {310, 10, 300, 28}, {5, 40, 890, 555},
       {322, 199, 256, 202}},
      {901, 600, {150, 10, 600, 28}, {3, 50, 895, 544}, {5, 10, 300, 10}, {310, 10, 300, 28}, {5, 40, 891, 555},
       {322, 199, 256, 202}},
      {500, 300, {-50, 10, 600, 28}, {3, 50, 494, 244}, {5, 10, 166, 10}, {176, 10, 166, 28}, {5, 40, 490, 255},
       {122, 49, 256, 202}},
      // Smaller than the offsets: the values still pass on as computed.
      {4, 20, {-298, 10, 600, 28}, {3, 50, -2, -36}, {5, 10, 1, 10}, {11, 10, 1, 28}, {5, 40, -6, -25},
       {-126, -91, 256, 202}},
  };
  for (const LayoutCase& c : cases) {
    const EditorLayout layout = ComputeEditorLayout(c.width, c.height);
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
    EXPECT_EQ(layout.cellEditor, c.cellEditor);
    EXPECT_EQ(layout.grid, c.grid);
    EXPECT_EQ(layout.keyList, c.keyList);
    EXPECT_EQ(layout.keySearch, c.keySearch);
    EXPECT_EQ(layout.valueView, c.valueView);
    EXPECT_EQ(layout.splash, c.splash);
  }
}

}  // namespace
