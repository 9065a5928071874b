// What AddFileToArchive leaves in a real archive, read back with StormLib,
// and what it leaves when the archive will not open.
#include "archive/AddFileToArchive.h"

#include <StormLib.h>
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include "MpqFiles.h"
#include "TestFiles.h"
#include "platform/Dialogs.h"

namespace {

const QByteArray kName = "data\\global\\excel\\weapons.txt";

// A sheet of several 4 KiB sectors.
QByteArray Sheet(char seed) {
  QByteArray sheet = "name\tcode\tmindam\r\n";
  for (int row = 0; row < 600; ++row) sheet += "Axe " + QByteArray::number(row) + '\t' + seed + "ax\t3\r\n";
  return sheet;
}

// The header's 32-bit field at offset, and the format version.
uint32_t HeaderField(const QString& archive, int offset) {
  return qFromLittleEndian<uint32_t>(ReadBytes(archive).constData() + offset);
}

class ArchiveContent : public testing::Test {
 protected:
  void SetUp() override {
    m_previous = SetMessageBoxHandler([this](QWidget*, const QString& text) { messages << text; });
    WriteBytes(sheet, Sheet('w'));
  }
  void TearDown() override { SetMessageBoxHandler(m_previous); }
  int Add(const QString& file) { return AddFileToArchive(archive, file, QString::fromLatin1(kName)); }

  QTemporaryDir dir;
  QString archive = dir.filePath("d2data.mpq");
  QString sheet = dir.filePath("weapons.txt");
  QStringList messages;
  MessageBoxHandler m_previous;
};

TEST_F(ArchiveContent, FileGoesInImplodedAndEncryptedAndNothingElseMoves) {
  const std::vector<MpqFile> others = {
      {"data\\global\\excel\\armor.txt", Sheet('a'), MPQ_FILE_IMPLODE | MPQ_FILE_ENCRYPTED},
      {"data\\local\\LNG\\ENG\\string.tbl", QByteArray(3000, '\x07'),
       MPQ_FILE_COMPRESS | MPQ_FILE_ENCRYPTED | MPQ_FILE_FIX_KEY},
      {"data\\global\\music.raw", "stored as it is", 0}};
  ASSERT_TRUE(MakeMpq(archive, others));
  QByteArrayList storedBefore;
  for (const MpqFile& other : others) storedBefore << MpqReader(archive).Stored(other.name);

  EXPECT_EQ(Add(sheet), 1);
  EXPECT_TRUE(messages.isEmpty());
  EXPECT_EQ(HeaderField(archive, 0x0C) & 0xFFFF, 0u);  // still format version 1
  MpqReader reader(archive);
  EXPECT_EQ(reader.Read(kName), Sheet('w'));
  EXPECT_EQ(reader.Flags(kName) & (MPQ_FILE_COMPRESS_MASK | MPQ_FILE_ENCRYPTED | MPQ_FILE_SINGLE_UNIT),
            uint32_t(MPQ_FILE_IMPLODE | MPQ_FILE_ENCRYPTED));
  EXPECT_LT(reader.Stored(kName).size(), Sheet('w').size());
  EXPECT_TRUE(reader.Listfile().contains(kName));
  for (size_t i = 0; i < others.size(); ++i) {
    SCOPED_TRACE(others[i].name.constData());
    EXPECT_EQ(reader.Stored(others[i].name), storedBefore[qsizetype(i)]);
    EXPECT_EQ(reader.Read(others[i].name), others[i].content);
    EXPECT_EQ(reader.Flags(others[i].name), others[i].flags | MPQ_FILE_EXISTS);
    EXPECT_TRUE(reader.Listfile().contains(others[i].name));
  }
}

TEST_F(ArchiveContent, SameNameIsReplaced) {
  ASSERT_TRUE(MakeMpq(archive, {{kName, "old sheet", MPQ_FILE_IMPLODE}}));
  EXPECT_EQ(Add(sheet), 1);
  MpqReader reader(archive);
  EXPECT_EQ(reader.Read(kName), Sheet('w'));
  EXPECT_EQ(reader.Listfile().count(kName), 1);
}

TEST_F(ArchiveContent, FullHashTableGrowsToRoomFor20000Files) {
  std::vector<MpqFile> full;  // eight slots: seven files and the listfile
  for (char i = '0'; i < '7'; ++i) full.push_back({"data\\global\\excel\\" + QByteArray(1, i), Sheet(i), 0});
  ASSERT_TRUE(MakeMpq(archive, full, 4));
  ASSERT_EQ(HeaderField(archive, 0x18), 8u);

  EXPECT_EQ(Add(sheet), 1);
  EXPECT_GE(HeaderField(archive, 0x18), 20000u);
  MpqReader reader(archive);
  EXPECT_EQ(reader.Read(kName), Sheet('w'));
  EXPECT_EQ(reader.Listfile().size(), qsizetype(full.size() + 1));
  for (const MpqFile& file : full) EXPECT_EQ(reader.Read(file.name), file.content) << file.name.constData();
}

TEST_F(ArchiveContent, ArchiveThatWillNotOpenIsReportedAndLeftAsItWas) {
  ASSERT_TRUE(MakeMpq(archive, {}));
  const QString readOnly = dir.filePath("locked.mpq");
  ASSERT_TRUE(QFile::copy(archive, readOnly));
  QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
  WriteBytes(dir.filePath("notes.mpq"), "just some notes\n");
  WriteBytes(dir.filePath("empty.mpq"), "");
  const QString cases[] = {readOnly, dir.filePath("notes.mpq"), dir.filePath("empty.mpq"),
                           dir.filePath("vanished.mpq"), dir.path()};
  for (const QString& path : cases) {
    SCOPED_TRACE(path.toStdString());
    const QByteArray before = ReadBytes(path);
    messages.clear();
    EXPECT_EQ(AddFileToArchive(path, sheet, QString::fromLatin1(kName)), 0);
    EXPECT_EQ(messages, QStringList{"Can't open " + path + " as an D2Data.MPQ archive"});
    EXPECT_EQ(ReadBytes(path), before);
  }
}

}  // namespace
