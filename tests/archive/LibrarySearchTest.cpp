// AddFileToArchive against whatever library the loader's search finds: each
// case runs the probe with LD_LIBRARY_PATH on one stand-in's folder.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include "MpqFiles.h"
#include "TestFiles.h"

namespace {

// What one AddFileToArchive call showed, returned and called.
struct ProbeRun {
  QStringList messages;
  int result = -1;
  bool loadedAfter = true;
  QStringList calls;
};

ProbeRun RunProbe(const QString& libraryDir, const QStringList& arguments) {
  QTemporaryDir logDir;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("LD_LIBRARY_PATH", libraryDir);
  env.insert("LMPQAPI_STANDIN_LOG", logDir.filePath("calls"));
  QProcess probe;
  probe.setProcessEnvironment(env);
  probe.start(TW_ARCHIVE_PROBE, arguments);
  ProbeRun run;
  if (!probe.waitForFinished(60000) || probe.exitCode() != 0) return run;
  for (const QString& line : QString::fromLocal8Bit(probe.readAllStandardOutput()).split('\n')) {
    if (line.startsWith("message: ")) run.messages << line.mid(9);
    if (line.startsWith("result: ")) run.result = line.mid(8).toInt();
    if (line.startsWith("loaded after: ")) run.loadedAfter = line.endsWith("yes");
  }
  if (QFile::exists(logDir.filePath("calls")))
    run.calls = QString::fromLocal8Bit(ReadBytes(logDir.filePath("calls"))).split('\n', Qt::SkipEmptyParts);
  return run;
}

TEST(LibrarySearch, EachLibraryOutcomeHasItsMessageAndTheLibraryIsFreed) {
  const QString archive = "/nowhere/d2data.mpq";
  const QString file = "/data/weapons.txt";
  const QString name = "data\\global\\excel\\weapons.txt";
  const QString openFailed = "Can't open " + archive + " as an D2Data.MPQ archive";
  const QString open = "open " + archive + " 5 20000";
  const struct {
    const char* library;
    int result;
    QStringList messages;
    QStringList calls;
  } cases[] = {
      {"none", 0, {"Can't load lmpqapi.dll"}, {}},
      {"no-add", 0, {"Can't load lmpqapi.dll"}, {}},
      {"init-0", 0, {"Can't initialize lmpqapi.dll"}, {"initialise"}},
      {"init-2", 0, {"Can't initialize lmpqapi.dll"}, {"initialise"}},
      {"open-0", 0, {openFailed}, {"initialise", open}},
      {"open-ffffffff", 0, {openFailed}, {"initialise", open}},
      {"recorder", 1, {}, {"initialise", open, "add 7 " + file + " " + name + " 0x00010201", "close 7 0"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.library);
    const ProbeRun run = RunProbe(QString(TW_STANDIN_DIR "/") + c.library, {archive, file, name});
    EXPECT_EQ(run.result, c.result);
    EXPECT_EQ(run.messages, c.messages);
    EXPECT_EQ(run.calls, c.calls);
    EXPECT_FALSE(run.loadedAfter);
  }
}

TEST(LibrarySearch, RealLibraryIsFoundByItsBareName) {
  QTemporaryDir dir;
  const QString archive = dir.filePath("d2data.mpq");
  ASSERT_TRUE(MakeMpq(archive, {}));
  WriteBytes(dir.filePath("armor.txt"), "name\tac\r\n");
  const ProbeRun run = RunProbe(TW_REAL_LIBRARY_DIR, {archive, dir.filePath("armor.txt"), "armor.txt"});
  EXPECT_EQ(run.result, 1);
  EXPECT_TRUE(run.messages.isEmpty());
  EXPECT_EQ(MpqReader(archive).Read("armor.txt"), "name\tac\r\n");
}

}  // namespace
