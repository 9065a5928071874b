// Start-up's settings file and where the editor window centres its controls.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <optional>

#include "TestFiles.h"
#include "app/TabSheetApp.h"
#include "platform/DialogUnits.h"
#include "platform/Process.h"
#include "ui/EditorLayout.h"

namespace {

// Starts as the program does in `cwd`, giving the directory it settles on,
// then remembers `remembered` there, when given.
QString Settle(const QString& cwd, const std::optional<QString>& remembered = {}) {
  ScopedWorkingDirectory in(cwd);
  CTabSheetApp app;
  const QString directory = app.SettleSettings();
  if (remembered) app.WriteProfileString("", "Directory", *remembered);
  return directory;
}

// The settings file of a working directory: created with "C:", an empty value
// rewritten, a value kept, another directory's file left alone, and a value
// edited by hand where it stands read back as typed (on Windows the file is
// the platform's own, which lays out the unnamed section its own way).
TEST(Settings, OneFilePerWorkingDirectoryDefaultingToC) {
  QTemporaryDir dir, other;
  const QString ini = dir.path() + "/Tabwright.ini";
  const auto edit = [&](const QByteArray& value) {
    WriteBytes(ini, ReadBytes(ini).replace("Directory=C:", "Directory=" + value));
  };
  const QByteArray typed = QDir::toNativeSeparators("C:/Mods/x").toLatin1();  // backslashes on Windows, as typed there
  EXPECT_EQ(Settle(dir.path(), "/srv/mods, and more"), "C:");
  EXPECT_EQ(Settle(other.path()), "C:");
  EXPECT_EQ(Settle(dir.path(), "C:"), "/srv/mods, and more");
  edit("");
  EXPECT_EQ(Settle(dir.path()), "C:");
  EXPECT_TRUE(ReadBytes(ini).replace("\r", "").contains("Directory=C:\n")) << ReadBytes(ini).toStdString();
  edit(typed);
  EXPECT_EQ(Settle(dir.path()), QString::fromLatin1(typed));
#if defined(_WIN32)
  // At a drive root the directory already ends in a backslash: two in a row.
  ScopedWorkingDirectory root("C:/");
  EXPECT_EQ(CTabSheetApp::SettingsPathFor(ProcessWorkingDirectory()), "C:\\\\Tabwright.ini");
#else
  EXPECT_EQ(CTabSheetApp::SettingsPathFor("/"), "//Tabwright.ini");
#endif
}

#if !defined(_WIN32)
// A remembered folder of any characters a folder name can hold reads back as
// it was written at the next start; so does one typed into the file by hand
// where QSettings' INI form lets it stand as typed (commas, any script).
TEST(Settings, AFolderOfAnyCharactersReadsBackAsRemembered) {
  const struct { const char* what; QString folder; bool typable; } cases[] = {
      {"commas", "/srv/a,b,,c,", true},
      {"one to four bytes", QString::fromUtf8("/srv/a\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80"), true},
      {"blanks", " /srv/my mods/ x, y ", false},
      {"INI's own", "/srv/;#=[x]\"q\" 'q' \\ %41 $HOME ~", false},
      {"a lead @", "@Variant(x)", false},
      {"tab and line break", "/srv/a\tb\nc\r", false},
  };
  QTemporaryDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Settle(dir.path(), c.folder);
    EXPECT_EQ(Settle(dir.path()), c.folder);
    if (c.typable) {
      WriteBytes(dir.path() + "/Tabwright.ini", "[General]\nDirectory=" + c.folder.toUtf8() + "\n");
      EXPECT_EQ(Settle(dir.path()), c.folder);
    }
  }
}
#endif

// The cell editor across the top and the splash picture in the middle are
// centred with the odd pixel after them, also in a client narrower or lower
// than they are.
TEST(EditorLayout, CentresTheCellEditorAndTheSplash) {
  // Equal room before and after along one side, or one pixel more after.
  const auto centred = [](int start, int length, int room) { return room - start - length - start == room % 2; };
  for (const int w : {-301, 255, 500, 501, 900, 901})
    for (const int h : {101, 203, 300, 600}) {
      const EditorLayout l = ComputeEditorLayout(w, h);
      EXPECT_TRUE(centred(l.cellEditor.x(), l.cellEditor.width(), w)) << w << " x " << h;
      EXPECT_TRUE(centred(l.splash.x(), l.splash.width(), w) && centred(l.splash.y(), l.splash.height(), h)) << w << " x " << h;
    }
}

// Eight dialog units down make one line of the dialog's font, whatever its size.
TEST(DialogUnits, EightDownMakeALineOfTheFont) {
  for (const int points : {8, 9, 12, 20}) {
    const QFont font("DejaVu Sans", points);
    EXPECT_EQ(DialogUnits(font).Map(QSize(4, 8)).height(), QFontMetrics(font).height()) << points << " points";
  }
}

}  // namespace
