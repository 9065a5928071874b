// Start-up's settings file and the editor window's layout.
#include <gtest/gtest.h>

#include <QSettings>

#include "TestFiles.h"
#include "app/TabSheetApp.h"
#include "platform/Process.h"
#include "ui/EditorLayout.h"

namespace {

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
#if defined(_WIN32)
  // At a drive root the directory already ends in a backslash: two in a row.
  ScopedWorkingDirectory root("C:/");
  EXPECT_EQ(CTabSheetApp::SettingsPathFor(ProcessWorkingDirectory()), "C:\\\\Tabwright.ini");
#else
  EXPECT_EQ(CTabSheetApp::SettingsPathFor("/"), "//Tabwright.ini");
#endif
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
      {900, 101, 150, 10, 600, 28, 3, 50, 894, 45, 5, 10, 300, 10,  // odd, below the splash's height
       310, 10, 300, 28, 5, 40, 890, 56, 322, -51, 256, 202},
  };
  for (const auto& c : cases) {
    const EditorLayout l = ComputeEditorLayout(c[0], c[1]);
    const QRect got[] = {l.cellEditor, l.grid, l.keyList, l.keySearch, l.valueView, l.splash};
    for (int i = 0; i < 6; ++i)
      EXPECT_EQ(got[i], QRect(c[2 + 4 * i], c[3 + 4 * i], c[4 + 4 * i], c[5 + 4 * i])) << c[0] << " control " << i;
  }
}

}  // namespace
