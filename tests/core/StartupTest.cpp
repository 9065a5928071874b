// The pure pieces of start-up: the command-line tail, path pieces, the
// settings file and the window layout.
#include <gtest/gtest.h>

#include <QSettings>

#include "TestFiles.h"
#include "app/TabSheetApp.h"
#include "platform/CommandLine.h"
#include "platform/Paths.h"
#include "ui/EditorLayout.h"

namespace {

TEST(CommandLineTail, TakesEverythingAfterTheProgramName) {
  const char* cases[][2] = {
      {"tabwright.exe    ", ""},                                   // blanks only
      {"tabwright.exe   C:\\x.txt", "C:\\x.txt"},
      {"\"C:\\Program Files\\tw.exe\" C:\\a b.txt", "C:\\a b.txt"},  // quoted name with blanks
      {"\"C:\\tw.exe\"C:\\x.txt", "C:\\x.txt"},
      {"\"C:\\never closed x.txt", ""},                             // the quote runs to the end
      {"tw.exe \"C:\\a b.txt\"", "\"C:\\a b.txt\""},                // quotes stay in the tail
      {"tw.exe a b.txt  ", "a b.txt  "},                            // trailing blanks stay
      {"tw.exe\t\x01\x1f x.txt", "x.txt"},                          // codes 1..32 are skipped
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(CommandLineTail(c[0]), QString(c[1])) << c[0];
  // Where the shell has split the line already: arguments joined by blanks.
  EXPECT_EQ(CommandLineTailFromArguments({"  /data/my", "sheet.txt "}), "/data/my sheet.txt ");
}

TEST(Paths, DirectoryAndTitle) {
  const char* cases[][2] = {
      {"/home/m/W.txt", "/home/m|W.txt"}, {"W.txt", "|W.txt"}, {"/x.txt", "|x.txt"}, {"/a.tbl/b.txt", "/a.tbl|b.txt"}};
  for (const auto& c : cases) EXPECT_EQ(DirectoryOf(c[0]) + "|" + FileTitleOf(c[0]), c[1]);
}

// The settings file of a working directory: created with "C:", an empty value
// rewritten, a value kept, and another directory's file left alone.
TEST(Settings, OneFilePerWorkingDirectoryDefaultingToC) {
  QTemporaryDir dir, other;
  const QString ini = dir.path() + "/Tabwright.ini";
  const auto settle = [](const QString& cwd, const char* write = nullptr) {
    ScopedWorkingDirectory in(cwd);
    CTabSheetApp app;
    const QString directory = app.SettleSettings();
    if (write) app.WriteProfileString("", "Directory", write);
    return directory;
  };
  const auto stored = [&] { return QSettings(ini, QSettings::IniFormat).value("Directory").toString(); };
  EXPECT_EQ(settle(dir.path()), "C:");
  EXPECT_EQ(stored(), "C:");
  EXPECT_EQ(settle(dir.path(), "/srv/mods, and more"), "C:");
  EXPECT_EQ(settle(other.path()), "C:");
  EXPECT_EQ(settle(dir.path()), "/srv/mods, and more");
  WriteBytes(ini, "[General]\nDirectory=\n");
  EXPECT_EQ(settle(dir.path()), "C:");
  EXPECT_EQ(stored(), "C:");
  EXPECT_EQ(CTabSheetApp::SettingsPathFor("/"), "//Tabwright.ini");
}

TEST(EditorLayout, PlacesEveryControl) {
  // Client width and height, then x, y, width, height of the cell editor, grid,
  // key list, key search, value view and splash.
  const int cases[][26] = {
      {900, 600, 150, 10, 600, 28, 3, 50, 894, 544, 5, 10, 300, 10,
       310, 10, 300, 28, 5, 40, 890, 555, 322, 199, 256, 202},
      {901, 600, 150, 10, 600, 28, 3, 50, 895, 544, 5, 10, 300, 10,
       310, 10, 300, 28, 5, 40, 891, 555, 322, 199, 256, 202},
      {500, 300, -50, 10, 600, 28, 3, 50, 494, 244, 5, 10, 166, 10,
       176, 10, 166, 28, 5, 40, 490, 255, 122, 49, 256, 202},
  };
  for (const auto& c : cases) {
    const EditorLayout l = ComputeEditorLayout(c[0], c[1]);
    const QRect got[] = {l.cellEditor, l.grid, l.keyList, l.keySearch, l.valueView, l.splash};
    for (int i = 0; i < 6; ++i)
      EXPECT_EQ(got[i], QRect(c[2 + 4 * i], c[3 + 4 * i], c[4 + 4 * i], c[5 + 4 * i])) << c[0] << " control " << i;
  }
}

}  // namespace
