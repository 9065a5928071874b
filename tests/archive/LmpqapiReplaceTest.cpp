// Adding through the archive library to archives that do and do not know
// their files' names, in both header formats the game's archives use: the
// added file reads back, every other file reads back as before, and nothing
// is left beside the archive.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "MpqFiles.h"
#include "TestFiles.h"

void PrintTo(const QByteArray& bytes, std::ostream* os) { *os << bytes.left(40).toStdString(); }

namespace {

const MpqContents kGameFiles = {
    {"data\\global\\excel\\armor.txt", SheetBytes("Plate")},      // imploded, encrypted
    {"data\\global\\excel\\weapons.txt", SheetBytes("Sword")},    // compressed, encrypted with the fixed key
    {"data\\global\\sfx\\click.wav", QByteArray(9000, '\x80')},   // stored as it is
    {"data\\local\\LNG\\ENG\\patchstring.tbl", "\x01\x02tbl"},    // one encrypted unit
    {"data\\local\\ui\\panel.dc6", QByteArray(20000, 'p')},       // compressed
};

struct Case {
  int format;
  bool listfile;
  QByteArray name;      // as the program forms it from the file's title
  QByteArray replaces;  // the file of the archive it takes the place of, if any
};

const QByteArray kWeapons = "data\\global\\excel\\Weapons.txt";

TEST(LmpqapiAdd, ReplacesOrAddsWithAndWithoutNamesInBothFormats) {
  const Case cases[] = {
      // The everyday case: the archive holds the sheet under another case of its name.
      {0, false, kWeapons, "data\\global\\excel\\weapons.txt"},
      {1, false, kWeapons, "data\\global\\excel\\weapons.txt"},
      {0, true, kWeapons, "data\\global\\excel\\weapons.txt"},
      {1, true, kWeapons, "data\\global\\excel\\weapons.txt"},
      {0, false, "data\\local\\LNG\\ENG\\patchstring.tbl", "data\\local\\LNG\\ENG\\patchstring.tbl"},
      {1, false, "DATA\\GLOBAL\\SFX\\CLICK.WAV", "data\\global\\sfx\\click.wav"},  // a stored file
      {0, false, "data\\global\\excel\\Runes.txt", ""},
      {1, false, "data\\global\\excel\\Runes.txt", ""},
      {0, true, "data\\global\\excel\\Runes.txt", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "format " << c.format << (c.listfile ? ", listfile, " : ", no names, ")
                                    << c.name.constData());
    QTemporaryDir dir;
    const QString archive = dir.filePath("Patch_D2.mpq");
    MakeMpq(archive, kGameFiles, {c.format, c.listfile, 16});
    QList<QByteArray> names = NamesOf(kGameFiles);
    ASSERT_EQ(ReadMpq(archive, names), kGameFiles);  // the test's own archive reads back
    const QByteArray header = ReadBytes(archive).left(16);

    const QByteArray sheet = SheetBytes("Lance", 900);
    const QString file = WriteBytes(dir.filePath("source.txt"), sheet);
    Lmpqapi library;
    ASSERT_TRUE(library.loaded());
    EXPECT_NE(library.addFile(archive, file, c.name), 0u);

    MpqContents expected = kGameFiles;
    if (!c.replaces.isEmpty()) expected[c.replaces] = sheet;
    expected[c.name] = sheet;
    names << c.name;
    unsigned count = 0;
    EXPECT_EQ(ReadMpq(archive, names, &count), expected);
    EXPECT_EQ(count, kGameFiles.size() + (c.replaces.isEmpty() ? 1 : 0)) << "replaced, not added beside";
    EXPECT_EQ(ReadBytes(archive).left(16).mid(12, 2), header.mid(12, 2)) << "the header's format stays";
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot),
              QStringList({"Patch_D2.mpq", "source.txt"}));
  }
}

}  // namespace
