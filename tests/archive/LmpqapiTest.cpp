// The archive library on real archives: what it refuses to open, and what an
// add leaves in the archive, read back with StormLib.
#define LMPQAPI_BUILD
#include "archive/lmpqapi.h"

#include <StormLib.h>
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "MpqFiles.h"

namespace {
constexpr uint32_t kMode = LMPQ_OPEN_EXISTING | LMPQ_OPEN_KEEP_LISTFILE;
constexpr uint32_t kFlags = LMPQ_ADD_ENCRYPT | LMPQ_ADD_COMPRESS | LMPQ_ADD_REPLACE;
const QByteArray kSheetName = "data\\global\\excel\\weapons.txt";

// A sheet of several 4 KiB sectors.
QByteArray SheetBytes(char seed) {
  QByteArray sheet = "name\tcode\tmindam\r\n";
  for (int row = 0; row < 600; ++row) sheet += "Axe " + QByteArray::number(row) + '\t' + seed + "ax\t3\r\n";
  return sheet;
}

// The files already in the archive, stored in several ways.
std::vector<MpqFile> Others() {
  return {{"data\\global\\excel\\armor.txt", SheetBytes('a'), MPQ_FILE_IMPLODE | MPQ_FILE_ENCRYPTED},
          {"data\\local\\LNG\\ENG\\string.tbl", QByteArray(3000, '\x07'), MPQ_FILE_COMPRESS | MPQ_FILE_FIX_KEY |
                                                                                 MPQ_FILE_ENCRYPTED},
          {"data\\global\\music.raw", QByteArray("plain bytes, stored as they are"), 0}};
}

class Lmpqapi : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(LmpqInitialize(), 1u);
    ASSERT_TRUE(MakeMpq(archive, Others()));
    ASSERT_TRUE(WriteFileBytes(source, SheetBytes('w')));
  }
  // Opens, adds and closes; the add's result.
  uint32_t AddOnce(const QString& file, const QByteArray& name, uint32_t flags = kFlags) {
    const uint32_t handle = LmpqOpenArchive(QFile::encodeName(archive).constData(), kMode, 20000);
    EXPECT_NE(handle, 0u);
    const uint32_t added = LmpqAddFile(handle, QFile::encodeName(file).constData(), name.constData(), flags);
    EXPECT_EQ(LmpqCloseArchive(handle, 0), 1u);
    return added;
  }
  QTemporaryDir dir;
  QString archive = dir.filePath("d2data.mpq");
  QString source = dir.filePath("weapons.txt");
};

TEST_F(Lmpqapi, OpenRefusesWhatItCannotUpdateAndLeavesItAlone) {
  enum What { Missing, Folder, File, ReadOnlyFile };
  struct Case {
    const char* what;
    What kind;
    QString path;
    QByteArray bytes;
    uint32_t mode;
  };
  const QByteArray mpq = FileBytes(archive);
  const Case cases[] = {
      {"missing", Missing, dir.filePath("gone.mpq"), {}, kMode},
      {"folder", Folder, dir.path(), {}, kMode},
      {"text file", File, dir.filePath("notes.mpq"), "not an archive at all\n", kMode},
      {"empty file", File, dir.filePath("empty.mpq"), {}, kMode},
      {"read-only archive", ReadOnlyFile, dir.filePath("ro.mpq"), mpq, kMode},
      {"create mode", File, archive, mpq, LMPQ_OPEN_KEEP_LISTFILE},
      {"no listfile upkeep", File, archive, mpq, LMPQ_OPEN_EXISTING},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.kind >= File) {
      ASSERT_TRUE(WriteFileBytes(c.path, c.bytes));
    }
    if (c.kind == ReadOnlyFile) QFile::setPermissions(c.path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    EXPECT_EQ(LmpqOpenArchive(QFile::encodeName(c.path).constData(), c.mode, 20000), 0u);
    if (c.kind >= File) {
      EXPECT_EQ(FileBytes(c.path), c.bytes);
    }
    if (c.kind == Missing) {
      EXPECT_FALSE(QFile::exists(c.path));
    }
  }
}

TEST_F(Lmpqapi, AddedFileIsImplodedEncryptedListedAndNothingElseMoves) {
  const std::vector<MpqFile> others = Others();
  QByteArrayList storedBefore;
  {
    MpqReader before(archive);
    for (const MpqFile& other : others) storedBefore << before.Stored(other.name);
  }
  ASSERT_EQ(AddOnce(source, kSheetName), 1u);

  MpqReader after(archive);
  ASSERT_TRUE(after.IsOpen());
  EXPECT_EQ(after.FormatVersion(), MPQ_FORMAT_VERSION_1);
  EXPECT_EQ(after.Read(kSheetName), SheetBytes('w'));
  const uint32_t flags = after.Flags(kSheetName);
  EXPECT_TRUE(flags & MPQ_FILE_IMPLODE);
  EXPECT_TRUE(flags & MPQ_FILE_ENCRYPTED);
  EXPECT_FALSE(flags & (MPQ_FILE_COMPRESS | MPQ_FILE_SINGLE_UNIT | MPQ_FILE_SECTOR_CRC));
  EXPECT_LT(after.Stored(kSheetName).size(), SheetBytes('w').size());
  EXPECT_TRUE(after.Listfile().contains(kSheetName));
  for (size_t i = 0; i < others.size(); ++i) {
    const MpqFile& other = others[i];
    SCOPED_TRACE(other.name.constData());
    EXPECT_EQ(after.Stored(other.name), storedBefore[qsizetype(i)]);
    EXPECT_EQ(after.Read(other.name), other.content);
    EXPECT_EQ(after.Flags(other.name) & ~MPQ_FILE_EXISTS, other.flags);
    EXPECT_TRUE(after.Listfile().contains(other.name));
  }
}

TEST_F(Lmpqapi, SameNameIsReplacedOnlyWhenAskedTo) {
  const QString newer = dir.filePath("newer.txt");
  ASSERT_TRUE(WriteFileBytes(newer, "name\tcode\r\nLance\tlan\r\n"));
  ASSERT_EQ(AddOnce(source, kSheetName), 1u);
  EXPECT_EQ(AddOnce(newer, kSheetName, kFlags & ~LMPQ_ADD_REPLACE), 0u);
  EXPECT_EQ(MpqReader(archive).Read(kSheetName), SheetBytes('w'));
  ASSERT_EQ(AddOnce(newer, kSheetName), 1u);
  MpqReader reader(archive);
  EXPECT_EQ(reader.Read(kSheetName), "name\tcode\r\nLance\tlan\r\n");
  EXPECT_EQ(reader.Listfile().count(kSheetName), 1);
}

TEST_F(Lmpqapi, FullHashTableGrowsToRoomForTheFilesAskedFor) {
  std::vector<MpqFile> full;
  for (int i = 0; i < 7; ++i)  // eight slots: seven files and the listfile
    full.push_back({"data\\global\\excel\\t" + QByteArray::number(i) + ".txt", SheetBytes(char('0' + i)),
                    MPQ_FILE_IMPLODE | MPQ_FILE_ENCRYPTED});
  ASSERT_TRUE(MakeMpq(archive, full, 4));
  ASSERT_EQ(MpqReader(archive).HashTableSize(), 8u);

  ASSERT_EQ(AddOnce(source, kSheetName), 1u);
  MpqReader reader(archive);
  EXPECT_GE(reader.HashTableSize(), 20000u);
  EXPECT_EQ(reader.Read(kSheetName), SheetBytes('w'));
  EXPECT_EQ(reader.Listfile().size(), qsizetype(full.size()) + 1);
  for (const MpqFile& file : full) EXPECT_EQ(reader.Read(file.name), file.content) << file.name.constData();
}

TEST_F(Lmpqapi, FailedAddLeavesTheArchiveUntouched) {
  const QByteArray before = FileBytes(archive);
  struct Case {
    const char* what;
    QString file;
    QByteArray name;
    uint32_t flags;
  };
  const Case cases[] = {{"missing source", dir.filePath("nothing.txt"), kSheetName, kFlags},
                        {"empty name", source, "", kFlags},
                        {"unknown flag", source, kSheetName, kFlags | 0x00000100u}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(AddOnce(c.file, c.name, c.flags), 0u);
    EXPECT_EQ(FileBytes(archive), before);
  }
}

TEST_F(Lmpqapi, HandlesAreSmallDistinctAndReleasedByClose) {
  const QByteArray path = QFile::encodeName(archive);
  std::vector<uint32_t> handles;
  for (uint32_t h; (h = LmpqOpenArchive(path.constData(), kMode, 20000)) != 0;) handles.push_back(h);
  ASSERT_FALSE(handles.empty());
  for (size_t i = 0; i < handles.size(); ++i) {
    EXPECT_LE(handles[i], 0xFFFFu);
    for (size_t j = 0; j < i; ++j) EXPECT_NE(handles[i], handles[j]);
  }
  const uint32_t last = handles.back();
  EXPECT_EQ(LmpqCloseArchive(last, 0), 1u);
  EXPECT_EQ(LmpqCloseArchive(last, 0), 0u);
  EXPECT_EQ(LmpqAddFile(last, QFile::encodeName(source).constData(), kSheetName.constData(), kFlags), 0u);
  handles.back() = LmpqOpenArchive(path.constData(), kMode, 20000);
  EXPECT_NE(handles.back(), 0u);
  for (uint32_t h : handles) EXPECT_EQ(LmpqCloseArchive(h, 0), 1u);
}

}  // namespace
