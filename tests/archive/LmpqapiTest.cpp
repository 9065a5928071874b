// The archive library as the program calls it, against real archives made
// and read back with StormLib: replacing files in archives with and without
// names, in both header formats; damaged archives; a worker or the calling
// program killed half-way. Whatever happens, the caller carries on and the
// archive is the old one or the new one, whole, with nothing left beside it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <chrono>
#include <functional>

#include "MpqFiles.h"
#include "TestFiles.h"

namespace {
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const QByteArray kSheetName = "data\\global\\excel\\weapons.txt";
// One file stored each way MakeMpq stores them, in this order.
const MpqContents kGameFiles = {
    {"data\\global\\excel\\armor.txt", SheetBytes("Plate")},      // imploded, encrypted
    {kSheetName, SheetBytes("Sword", 3000)},                      // compressed, encrypted with the fixed key
    {"data\\global\\sfx\\click.wav", QByteArray(9000, '\x80')},   // stored as it is
    {"data\\local\\LNG\\ENG\\patchstring.tbl", "\x01\x02tbl"},    // one encrypted unit
    {"data\\local\\ui\\panel.dc6", QByteArray(20000, 'p')},       // compressed
};

QStringList FilesIn(const QString& folder) { return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot); }

const QString kLibraryFolder = QFileInfo(TW_LMPQAPI_PATH).path();
const QByteArray kAdded = "result 1, freed\n";

// What the probe printed for one add, from `libraryFolder`.
QByteArray Add(const QString& archive, const QString& file, const QByteArray& name,
               const QString& libraryFolder = kLibraryFolder) {
  QProcess probe;
  StartAdd(probe, libraryFolder, {archive, file, QString::fromLatin1(name)});
  return probe.waitForFinished(120000) ? probe.readAllStandardOutput() : "<no end>";
}
QByteArray Refused(const QString& archive) {
  return "message Can't open " + archive.toUtf8() + " as an D2Data.MPQ archive\nresult 0, freed\n";
}

TEST(LmpqapiAdd, ReplacesOrAddsWithAndWithoutNamesInBothFormats) {
  const QByteArray weapons = "data\\global\\excel\\Weapons.txt", runes = "data\\global\\excel\\Runes.txt";
  // Format, listfile, the name as the program forms it, the file it replaces (if any).
  const std::tuple<int, bool, QByteArray, QByteArray> cases[] = {
      {0, false, weapons, kSheetName}, {1, false, weapons, kSheetName},  // another case of the name
      {0, true, weapons, kSheetName},  {1, true, weapons, kSheetName},
      {0, false, "data\\local\\LNG\\ENG\\patchstring.tbl", "data\\local\\LNG\\ENG\\patchstring.tbl"},
      {1, false, "DATA\\GLOBAL\\SFX\\CLICK.WAV", "data\\global\\sfx\\click.wav"},  // a stored file
      {0, false, runes, ""}, {1, false, runes, ""}, {0, true, runes, ""}};
  for (const auto& [format, listfile, name, replaces] : cases) {
    SCOPED_TRACE(testing::Message() << "format " << format << (listfile ? ", listfile, " : ", no names, ") << name.data());
    QTemporaryDir dir;
    const QString archive = dir.filePath("Patch_D2.mpq");
    MakeMpq(archive, kGameFiles, {format, listfile, 16});
    QList<QByteArray> names = NamesOf(kGameFiles);
    ASSERT_EQ(ReadMpq(archive, names), kGameFiles);  // the test's own archive reads back
    const QByteArray header = ReadBytes(archive).left(16);
    const QByteArray sheet = SheetBytes("Lance", 900);
    EXPECT_EQ(Add(archive, WriteBytes(dir.filePath("source.txt"), sheet), name), kAdded);

    MpqContents expected = kGameFiles;
    if (!replaces.isEmpty()) expected[replaces] = sheet;
    expected[name] = sheet;
    unsigned count = 0;
    EXPECT_EQ(ReadMpq(archive, names << name, &count), expected);
    EXPECT_EQ(count, kGameFiles.size() + (replaces.isEmpty() ? 1 : 0)) << "replaced, not added beside";
    EXPECT_EQ(ReadBytes(archive).mid(12, 2), header.mid(12, 2)) << "the header's format stays";
    EXPECT_EQ(FilesIn(dir.path()), QStringList({"Patch_D2.mpq", "source.txt"}));
  }
}

TEST(LmpqapiFaults, DamagedArchivesAreRefusedAndLeftAsTheyWere) {
  QTemporaryDir dir;
  const QString valid = dir.filePath("valid.mpq");
  MakeMpq(valid, kGameFiles, {0, true, 16});
  const QByteArray good = ReadBytes(valid);
  const int hashAt = int(GetU32(good, 0x10)), blockAt = int(GetU32(good, 0x14));
  ASSERT_TRUE(hashAt > 32 && blockAt > hashAt && blockAt < good.size());
  using Damage = std::function<void(QByteArray&)>;
  std::vector<std::pair<std::string, Damage>> cases = {
      {"noise after a header", [](QByteArray& b) { for (int i = 32; i < b.size(); ++i) b[i] = char((i * 2654435761u) >> 24); }},
      {"no archive at all", [](QByteArray& b) { b = SheetBytes("text"); }}};
  // Cut inside the header, after it, half-way, in either table, by one byte.
  for (const int size : {0, 16, 32, int(good.size() / 2), hashAt + 40, blockAt + 24, int(good.size() - 1)})
    cases.push_back({"cut to " + std::to_string(size), [=](QByteArray& b) { b.truncate(size); }});
  // A table scribbled, or one of its entries.
  for (const auto& [at, count] : {std::pair{hashAt + 3, 6}, {hashAt + 16 * 5 + 12, 1}, {blockAt + 1, 6}, {blockAt + 16 * 3 + 1, 1}})
    cases.push_back({"scribbled at " + std::to_string(at), [=](QByteArray& b) {
                       for (int i = 0; i < count; ++i) b[at + i * 7] = char(b[at + i * 7] ^ (0x5A + i)); }});
  // A table's size absurd, or its place past the end.
  for (const auto& [at, value] : {std::pair{0x18, 0x40000000u}, {0x1C, 0x7FFFFFFFu}, {0x10, 0xFFFFFF00u}})
    cases.push_back({"header word " + std::to_string(at), [=](QByteArray& b) { PutU32(b, at, value); }});
  const QString sheet = WriteBytes(dir.filePath("w.txt"), SheetBytes("Lance"));
  for (const auto& [what, damage] : cases) {
    SCOPED_TRACE(what);
    QByteArray bytes = good;
    damage(bytes);
    const QString archive = WriteBytes(dir.filePath("damaged.mpq"), bytes);
    EXPECT_EQ(Add(archive, sheet, kSheetName), Refused(archive));
    EXPECT_EQ(ReadBytes(archive), bytes);
    EXPECT_EQ(FilesIn(dir.path()), QStringList({"damaged.mpq", "valid.mpq", "w.txt"}));
  }
  // A folder; the undamaged archive takes the sheet (the cases above failed for their damage alone).
  QDir(dir.path()).mkdir("folder.mpq");
  EXPECT_EQ(Add(dir.filePath("folder.mpq"), sheet, kSheetName), Refused(dir.filePath("folder.mpq")));
  EXPECT_EQ(Add(valid, sheet, kSheetName), kAdded);
  EXPECT_EQ(ReadMpq(valid, {kSheetName})[kSheetName], SheetBytes("Lance"));
}

// Waits for a worker process of `parent` to appear: its id, or 0.
pid_t AwaitWorkerOf(pid_t parent) {
  for (const auto deadline = Clock::now() + 20s; Clock::now() < deadline;)
    for (const QString& pid : QDir("/proc").entryList(QDir::Dirs)) {
      const QList<QByteArray> stat = ReadBytes("/proc/" + pid + "/stat").split(' ');  // pid (name) state ppid
      if (stat.size() > 3 && stat[1] == "(lmpqapi-worker)" && stat[2] != "Z" && stat[3].toInt() == parent)
        return pid.toInt();
    }
  return 0;
}

enum class Fault { kKillWorker, kStopWorker, kKillCaller };

// Runs one add with `fault` striking `after` ms past the worker's start,
// unless the add is over by then; how long the add ran from that start.
Clock::duration AddStruckBy(Fault fault, int after, const QString& archive, const QString& sheet) {
  QProcess caller;
  StartAdd(caller, kLibraryFolder, {archive, sheet, QString::fromLatin1(kSheetName)});
  const pid_t worker = AwaitWorkerOf(pid_t(caller.processId()));
  const auto started = Clock::now();
  if (!caller.waitForFinished(after) && worker) {
    if (fault == Fault::kKillCaller) caller.kill();
    else kill(worker, fault == Fault::kStopWorker ? SIGSTOP : SIGKILL);
  }
  caller.waitForFinished(120000);
  // A worker whose caller was killed comes to this process (a subreaper); it
  // sees its input end and finishes on its own.
  if (worker && fault == Fault::kKillCaller) waitpid(worker, nullptr, 0);
  return Clock::now() - started;
}

TEST(LmpqapiFaults, AnAddStruckAtAnyPointLeavesTheOldArchiveOrTheNew) {
  ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  QTemporaryDir dir;
  const QString archive = dir.filePath("Patch_D2.mpq");
  const QString sheet = WriteBytes(dir.filePath("weapons.txt"), SheetBytes("Lance", 5000));
  MakeMpq(archive, kGameFiles, {0, false, 16});
  MpqContents updated = kGameFiles;
  updated[kSheetName] = ReadBytes(sheet);

  // How long an add takes when nothing strikes.
  const QByteArray original = ReadBytes(archive);
  const auto whole = std::chrono::ceil<std::chrono::milliseconds>(AddStruckBy(Fault::kKillWorker, 120000, archive, sheet));
  ASSERT_EQ(ReadMpq(archive, NamesOf(updated)), updated);

  for (const auto& [fault, points] : {std::pair{Fault::kKillWorker, 16}, {Fault::kKillCaller, 10}, {Fault::kStopWorker, 1}}) {
    // A stopped worker counts as hung after this long.
    if (fault == Fault::kStopWorker) setenv("LMPQAPI_WORKER_TIMEOUT_MS", "5000", 1);
    int olds = 0, news = 0;
    for (int i = 0; i <= points; ++i) {
      SCOPED_TRACE(testing::Message() << "fault " << int(fault) << ", point " << i);
      WriteBytes(archive, original);
      AddStruckBy(fault, i == points ? 120000 : int(whole.count()) * i / points, archive, sheet);  // the last never comes
      if (ReadBytes(archive) == original) {
        ++olds;
      } else {
        EXPECT_EQ(ReadMpq(archive, NamesOf(updated)), updated);
        ++news;
      }
    }
    // The strikes span the add: the first leave the old archive, the add
    // that nothing strikes leaves the new one.
    EXPECT_TRUE(olds > 0 && news > 0) << "fault " << int(fault) << ": " << olds << " old, " << news << " new";
    unsetenv("LMPQAPI_WORKER_TIMEOUT_MS");
  }
  // Copies that killed workers left behind go at the next open.
  EXPECT_EQ(Add(archive, sheet, kSheetName), kAdded);
  EXPECT_EQ(FilesIn(dir.path()), QStringList({"Patch_D2.mpq", "weapons.txt"}));
}

// Without its worker beside it the library is not ready, and says so.
TEST(LmpqapiFaults, ALibraryWithoutItsWorkerIsNotReady) {
  QTemporaryDir dir;
  ASSERT_TRUE(QFile::copy(TW_LMPQAPI_PATH, dir.filePath("liblmpqapi.so")));
  const QString archive = dir.filePath("a.mpq");
  MakeMpq(archive, kGameFiles, {0, true, 16});
  EXPECT_EQ(Add(archive, archive, kSheetName, dir.path()), "message Can't initialize lmpqapi.dll\nresult 0, freed\n");
}

}  // namespace
