// AddFileToArchive against the real library and against stand-ins that the
// loader finds on its search path.
#include "archive/AddFileToArchive.h"

#include <StormLib.h>
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "MpqFiles.h"
#include "platform/Dialogs.h"

namespace {

TEST(NameInArchive, SheetsGoToTheTablesEverythingElseToTheEnglishStrings) {
  const struct {
    const char* title;
    const char* name;
  } cases[] = {
      {"sheet.txt", "data\\global\\excel\\sheet.txt"},
      {"strings.tbl", "data\\local\\LNG\\ENG\\strings.tbl"},
      {"SHEET.TXT", "data\\local\\LNG\\ENG\\SHEET.TXT"},
      {"old.txt.bak", "data\\global\\excel\\old.txt.bak"},
      {"txt", "data\\local\\LNG\\ENG\\txt"},
  };
  for (const auto& c : cases) EXPECT_EQ(NameInArchive(QString::fromLatin1(c.title)), QLatin1String(c.name));
}

// Collects the message boxes shown meanwhile.
class Messages {
 public:
  Messages() {
    m_previous = SetMessageBoxHandler([this](QWidget*, const QString& text) { texts << text; });
  }
  ~Messages() { SetMessageBoxHandler(m_previous); }
  QStringList texts;

 private:
  MessageBoxHandler m_previous;
};

class AddFileToArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeMpq(archive, {{"data\\global\\excel\\armor.txt", "name\tac\r\n", MPQ_FILE_IMPLODE}}));
    ASSERT_TRUE(WriteFileBytes(sheet, "name\tcode\r\nAxe\taxe\r\n"));
  }
  QTemporaryDir dir;
  QString archive = dir.filePath("patch d2.mpq");
  QString sheet = dir.filePath("weapons.txt");
};

TEST_F(AddFileToArchiveTest, StoresTheFileAndSaysNothing) {
  Messages messages;
  EXPECT_EQ(AddFileToArchive(archive, sheet, "data\\global\\excel\\weapons.txt"), 1);
  EXPECT_TRUE(messages.texts.isEmpty());
  MpqReader reader(archive);
  EXPECT_EQ(reader.Read("data\\global\\excel\\weapons.txt"), "name\tcode\r\nAxe\taxe\r\n");
  EXPECT_EQ(reader.Read("data\\global\\excel\\armor.txt"), "name\tac\r\n");
}

TEST_F(AddFileToArchiveTest, ArchiveThatWillNotOpenIsReportedAndLeftAsItWas) {
  const QString text = dir.filePath("notes.mpq");
  ASSERT_TRUE(WriteFileBytes(text, "just some notes\n"));
  const QString readOnly = dir.filePath("locked.mpq");
  ASSERT_TRUE(QFile::copy(archive, readOnly));
  QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
  const QString vanished = dir.filePath("vanished.mpq");

  for (const QString& path : {text, readOnly, vanished}) {
    SCOPED_TRACE(path.toStdString());
    const QByteArray before = FileBytes(path);
    Messages messages;
    EXPECT_EQ(AddFileToArchive(path, sheet, "data\\global\\excel\\weapons.txt"), 0);
    EXPECT_EQ(messages.texts, QStringList{"Can't open " + path + " as an D2Data.MPQ archive"});
    EXPECT_EQ(FileBytes(path), before);
    EXPECT_EQ(QFile::exists(path), path != vanished);
  }
}

// One AddFileToArchive call in a probe process whose loader searches only
// libraryDir; what it showed and which entries it called.
struct ProbeRun {
  QStringList messages;
  int result = -1;
  bool loadedAfter = true;
  QStringList calls;
};

ProbeRun RunProbe(const QString& libraryDir, const QString& archive, const QString& file, const QString& name) {
  QTemporaryDir logDir;
  const QString log = logDir.filePath("calls.log");
  QProcess probe;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("LD_LIBRARY_PATH", libraryDir);
  env.insert("LMPQAPI_STANDIN_LOG", log);
  probe.setProcessEnvironment(env);
  probe.start(TW_ARCHIVE_PROBE, {archive, file, name});
  ProbeRun run;
  if (!probe.waitForFinished(60000) || probe.exitCode() != 0) return run;
  for (const QString& line : QString::fromLocal8Bit(probe.readAllStandardOutput()).split('\n')) {
    if (line.startsWith("message: ")) run.messages << line.mid(9);
    if (line.startsWith("result: ")) run.result = line.mid(8).toInt();
    if (line.startsWith("loaded after: ")) run.loadedAfter = line.endsWith("yes");
  }
  const QString calls = QString::fromLocal8Bit(FileBytes(log));
  run.calls = calls.split('\n', Qt::SkipEmptyParts);
  return run;
}

TEST(AddFileToArchiveProbe, EachLibraryOutcomeHasItsMessageAndTheLibraryIsFreed) {
  const QString archive = "/nowhere/d2data.mpq";
  const QString file = "/data/weapons.txt";
  const QString name = "data\\global\\excel\\weapons.txt";
  const QString openFailed = "Can't open " + archive + " as an D2Data.MPQ archive";
  const QString initialise = "initialise";
  const QString open = "open " + archive + " 5 20000";
  const struct {
    const char* library;
    int result;
    QStringList messages;
    QStringList calls;
  } cases[] = {
      {"none", 0, {"Can't load lmpqapi.dll"}, {}},
      {"no-add", 0, {"Can't load lmpqapi.dll"}, {}},
      {"init-0", 0, {"Can't initialize lmpqapi.dll"}, {initialise}},
      {"init-2", 0, {"Can't initialize lmpqapi.dll"}, {initialise}},
      {"open-0", 0, {openFailed}, {initialise, open}},
      {"open-ffffffff", 0, {openFailed}, {initialise, open}},
      {"recorder", 1, {}, {initialise, open, "add 7 " + file + " " + name + " 0x00010201", "close 7 0"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.library);
    const ProbeRun run = RunProbe(QString(TW_STANDIN_DIR "/") + c.library, archive, file, name);
    EXPECT_EQ(run.result, c.result);
    EXPECT_EQ(run.messages, c.messages);
    EXPECT_EQ(run.calls, c.calls);
    EXPECT_FALSE(run.loadedAfter);
  }
}

TEST(AddFileToArchiveProbe, RealLibraryIsFoundByItsBareNameOnTheSearchPath) {
  QTemporaryDir dir;
  const QString archive = dir.filePath("d2data.mpq");
  const QString sheet = dir.filePath("armor.txt");
  ASSERT_TRUE(MakeMpq(archive, {}));
  ASSERT_TRUE(WriteFileBytes(sheet, "name\tac\r\n"));
  const ProbeRun run = RunProbe(TW_REAL_LIBRARY_DIR, archive, sheet, "data\\global\\excel\\armor.txt");
  EXPECT_EQ(run.result, 1);
  EXPECT_TRUE(run.messages.isEmpty());
  EXPECT_EQ(MpqReader(archive).Read("data\\global\\excel\\armor.txt"), "name\tac\r\n");
}

}  // namespace
