// The archive library as the program calls it, against real archives made
// and read back with StormLib: replacing files in archives with and without
// names, in both header formats; damaged archives refused and left as they
// were, each table check at its edges; workers and callers struck half-way
// (the old archive or the new one, whole, and the caller back within a
// bound); and the library found by the loader's search, through stand-ins.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QLibrary>
#include <QTimeZone>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <optional>

#include <StormLib.h>

#include "MpqFiles.h"  // and TestFiles.h, QProcess
#include "archive/WorkerProtocol.h"
#include "archive/lmpqapi.h"
#include "archive/worker/MpqTables.h"

namespace {
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Changes the hash or block table of an archive of format 0 or 1 whose
// header is at its start, as the worker reads them (decrypted).
template <typename Entry>
void PatchTable(QByteArray& archive, const std::function<void(std::vector<Entry>&)>& change) {
  constexpr bool hashes = std::is_same_v<Entry, mpq::HashEntry>;  // else the block table
  const qint64 at = GetU32(archive, hashes ? 0x10 : 0x14), count = GetU32(archive, hashes ? 0x18 : 0x1C);
  const uint32_t key = mpq::HashString(hashes ? "(hash table)" : "(block table)", mpq::kHashFileKey);
  std::vector<Entry> entries(static_cast<size_t>(count));
  std::memcpy(entries.data(), archive.constData() + at, entries.size() * sizeof(Entry));
  mpq::Decrypt(reinterpret_cast<uint32_t*>(entries.data()), entries.size() * 4, key);
  change(entries);
  mpq::Encrypt(reinterpret_cast<uint32_t*>(entries.data()), entries.size() * 4, key);
  std::memcpy(archive.data() + at, entries.data(), entries.size() * sizeof(Entry));
}

TEST(LmpqapiAdd, ReplacesOrAddsWithAndWithoutNamesInBothFormats) {
  const QByteArray weapons = "data\\global\\excel\\Weapons.txt", runes = "data\\global\\excel\\Runes.txt";
  // Format, listfile, the name as the program forms it, the file it replaces
  // (if any), and where the archive starts in its file.
  struct { int format; bool listfile; QByteArray name, replaces; int at = 0; } cases[] = {
      {0, false, weapons, kSheetName}, {1, false, weapons, kSheetName},  // another case of the name
      {0, true, weapons, kSheetName},  {1, true, weapons, kSheetName},
      {0, false, "data\\local\\LNG\\ENG\\patchstring.tbl", "data\\local\\LNG\\ENG\\patchstring.tbl"},
      {1, false, "DATA\\GLOBAL\\SFX\\CLICK.WAV", "data\\global\\sfx\\click.wav"},  // a stored file
      {0, false, runes, ""}, {1, false, runes, ""}, {0, true, runes, ""},
      {0, false, weapons, kSheetName, 1024}, {1, true, runes, "", 512}};  // after a program that carries it
  const QByteArray sheet = SheetBytes("Lance", 900);
  // The sheet's time, 2000-06-29 00:00 UTC, as (attributes) keeps it: 100 ns steps since 1601.
  const QDateTime sheetTime = QDateTime::fromSecsSinceEpoch(962236800, QTimeZone::utc());
  const uint64_t sheetFileTime = 126067104000000000;
  for (const auto& [format, listfile, name, replaces, at] : cases) {
    SCOPED_TRACE(testing::Message() << "format " << format << (listfile ? ", lists, " : ", no names, ") << name.data() << " at " << at);
    QTemporaryDir dir;
    const QString archive = dir.filePath("Patch_D2.mpq");
    // An archive with a (listfile) also has an (attributes).
    MakeMpq(archive, kFiles, {format, listfile, 16, listfile});
    WriteBytes(archive, QByteArray(at, 'x') + ReadBytes(archive));
    QFile source(WriteBytes(dir.filePath("source.txt"), sheet));
    ASSERT_TRUE(source.open(QIODevice::ReadWrite) && source.setFileTime(sheetTime, QFileDevice::FileModificationTime));
    source.close();
    EXPECT_EQ(Add(archive, source.fileName(), name), kAdded);
    MpqContents expected = kFiles;
    if (!replaces.isEmpty()) expected[replaces] = sheet;
    expected[name] = sheet;
    unsigned count = 0;
    EXPECT_EQ(ReadMpq(archive, NamesOf(expected), &count), expected);
    EXPECT_EQ(count, kFiles.size() + (replaces.isEmpty() ? 1 : 0)) << "replaced, not added beside";
    EXPECT_EQ(MpqInfoOf(archive, name, SFileInfoFlags) & (MPQ_FILE_IMPLODE | MPQ_FILE_COMPRESS | MPQ_FILE_ENCRYPTED),
              unsigned(MPQ_FILE_IMPLODE | MPQ_FILE_ENCRYPTED)) << "imploded and encrypted, as the game reads it";
    EXPECT_EQ(MpqInfoOf(archive, name, SFileInfoFileTime), listfile ? sheetFileTime : 0);
    EXPECT_EQ(GetU16(ReadBytes(archive), at + 12), format) << "the header's format stays";
    EXPECT_EQ(ReadBytes(archive).first(at), QByteArray(at, 'x'));
    EXPECT_EQ(FilesIn(dir.path()), QStringList({"Patch_D2.mpq", "source.txt"}));
  }
}

// Called in this process, with the library kept loaded as a caller may keep
// it: sixteen archives open at once each take their add and their close, a
// seventeenth is refused, and a closed handle is refused while its slot
// serves the next open. Names in an archive do not tell case apart: a second
// add in one session under the name in other letters replaces the first.
TEST(LmpqapiHandles, SixteenArchivesOpenAtOnceAndClosedSlotsServeAgain) {
  QLibrary library(TW_LMPQAPI_PATH);
  const auto open = reinterpret_cast<LmpqOpenArchiveFn>(library.resolve(LMPQ_NAME_OPEN_ARCHIVE));
  const auto add = reinterpret_cast<LmpqAddFileFn>(library.resolve(LMPQ_NAME_ADD_FILE));
  const auto close = reinterpret_cast<LmpqCloseArchiveFn>(library.resolve(LMPQ_NAME_CLOSE_ARCHIVE));
  ASSERT_TRUE(open && add && close) << library.errorString().toStdString();
  constexpr uint32_t kMode = LMPQ_OPEN_EXISTING | LMPQ_OPEN_KEEP_LISTFILE, kFlags = LMPQ_ADD_REPLACE | LMPQ_ADD_COMPRESS | LMPQ_ADD_ENCRYPT;
  QTemporaryDir dir;
  const auto archive = [&](int i) { return dir.filePath(QString("%1.mpq").arg(i)); };
  const QString sheet = WriteBytes(dir.filePath("w.txt"), SheetBytes("Lance"));
  const QString axe = WriteBytes(dir.filePath("a.txt"), SheetBytes("Axe"));
  // All made first: StormLib here closes descriptor 0 as it creates an
  // archive, which may by then be the library's channel to a worker.
  for (int i = 0; i < 17; ++i) MakeMpq(archive(i), kFiles, {});
  for (const int round : {0, 1}) {
    std::vector<uint32_t> handles;
    for (int i = 0; i < 17; ++i) handles.push_back(open(qPrintable(archive(i)), kMode, 20000));
    EXPECT_EQ(handles.back(), 0u) << "a seventeenth, round " << round;
    handles.pop_back();
    for (const uint32_t handle : handles) EXPECT_EQ(add(handle, qPrintable(sheet), kSheetName, kFlags), 1u) << handle;
    EXPECT_EQ(add(handles[15], qPrintable(axe), kSheetName.toUpper(), kFlags), 1u);
    for (const uint32_t handle : handles) EXPECT_EQ(close(handle, 0), 1u) << handle;
    EXPECT_EQ(add(handles[0], qPrintable(sheet), kSheetName, kFlags) + close(handles[15], 0), 0u);
    EXPECT_EQ(ReadMpq(archive(15), {kSheetName})[kSheetName], SheetBytes("Axe"));
  }
}

// A request between the library and its worker reads back as it was sent,
// up to the largest size, and not a byte past it.
TEST(WorkerProtocol, ReadsRequestsBackUpToTheLargestSize) {
  for (const uint32_t size : {lmpq::kMaxRequestBytes, lmpq::kMaxRequestBytes + 1}) {
    // The operation, then two fields of a 4-byte length each.
    const lmpq::WorkerRequest sent{lmpq::WorkerOp::kAdd, {"w.txt", std::string(size - 1 - 4 - 5 - 4, 'n')}};
    const std::string body = lmpq::EncodeRequest(sent).substr(4);
    ASSERT_EQ(body.size(), size);
    const std::optional<lmpq::WorkerRequest> read = lmpq::DecodeRequest(body);
    EXPECT_EQ(read.has_value(), size <= lmpq::kMaxRequestBytes) << size;
    EXPECT_EQ(read.value_or(sent).fields, sent.fields);
  }
}

TEST(LmpqapiFaults, DamagedArchivesAreRefusedAndLeftAsTheyWere) {
  QTemporaryDir dir;
  const QString valid = dir.filePath("valid.mpq");
  MakeMpq(valid, kFiles, {0, true, 16});
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
  // Each table check one step past its edge: a hash entry naming the block
  // just past the table, a file reaching one byte past the archive's end.
  const qint64 blocks = GetU32(good, 0x1C);
  cases.push_back({"hash entry naming the block at the count", [=](QByteArray& b) {
                     PatchTable<mpq::HashEntry>(b, [=](auto& hashes) {
                       std::ranges::find_if(hashes, [=](const auto& hash) { return hash.block < blocks; })->block = uint32_t(blocks); });
                   }});
  cases.push_back({"file past the end by one byte", [](QByteArray& b) {
                     PatchTable<mpq::BlockEntry>(b, [&](auto& entries) { entries[2].compressedSize = uint32_t(b.size()) - entries[2].offset + 1; });
                   }});
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
  // A folder; the undamaged archive takes the sheet (the cases above failed
  // for their damage alone), also with a file that ends exactly at its end.
  QDir(dir.path()).mkdir("folder.mpq");
  EXPECT_EQ(Add(dir.filePath("folder.mpq"), sheet, kSheetName), Refused(dir.filePath("folder.mpq")));
  QByteArray edge = good;
  PatchTable<mpq::BlockEntry>(edge, [&](auto& entries) { entries[2].compressedSize = uint32_t(edge.size()) - entries[2].offset; });
  for (const QByteArray& bytes : {good, edge}) {
    WriteBytes(valid, bytes);
    EXPECT_EQ(Add(valid, sheet, kSheetName), kAdded);
    EXPECT_EQ(ReadMpq(valid, {kSheetName})[kSheetName], SheetBytes("Lance"));
  }
}

enum class Fault { kKillWorker, kStopWorker, kKillCaller };

// Runs one add with `fault` striking `after` ms past the worker's start: how
// long from the strike until the caller (or, for a killed caller, the
// worker) ended; nothing when the add was over before the strike.
std::optional<Clock::duration> AddStruckBy(Fault fault, int after, const QString& archive, const QString& sheet) {
  QProcess caller;
  StartAdd(caller, archive, sheet, kSheetName);
  const qint64 worker = AwaitWorkerOf(caller.processId());
  if (caller.waitForFinished(after) || !worker) return std::nullopt;
  if (fault == Fault::kKillCaller) caller.kill();
  else Strike(worker, fault == Fault::kStopWorker);
  const auto strike = Clock::now();
  caller.waitForFinished(120000);
  // A worker whose caller was killed sees its input end and finishes on its own.
  if (fault == Fault::kKillCaller) AwaitEnd(worker);
  return Clock::now() - strike;
}

TEST(LmpqapiStrikes, AnAddStruckAtAnyPointLeavesTheOldArchiveOrTheNewAndTheCallerWaitsLittle) {
  QTemporaryDir dir;
  const QString archive = dir.filePath("Patch_D2.mpq");
  // A sheet large enough that the add takes a while to implode it.
  const QString sheet = WriteBytes(dir.filePath("weapons.txt"), SheetBytes("Lance", 100000));
  MakeMpq(archive, kFiles, {0, false, 16});
  MpqContents updated = kFiles;
  updated[kSheetName] = ReadBytes(sheet);
  const QByteArray original = ReadBytes(archive);
  // How long an add that nothing strikes runs: the strikes are spread over it.
  const auto start = Clock::now();
  AddStruckBy(Fault::kKillWorker, 120000, archive, sheet);
  const auto whole = std::chrono::ceil<std::chrono::milliseconds>(Clock::now() - start);

  // How long the caller may wait after each fault: a dead worker is seen at
  // once; a stopped one after the ten seconds without progress; a worker
  // whose caller died ends by itself when its request is done.
  const struct { Fault fault; int first, points; Clock::duration least, most; } faults[] = {
#if defined(_WIN32)
      // Under Wine a worker killed while it still starts can outlive the kill:
      // it keeps its end of the pipe open (it is given up after the ten
      // seconds without progress) and the test's output too, which holds
      // ctest up until its timeout. The strikes there start one step in.
      {Fault::kKillWorker, 1, 8, 0s, 12s}};
#else
      {Fault::kKillWorker, 0, 12, 0s, 3s}, {Fault::kKillCaller, 0, 8, 0s, 8s}, {Fault::kStopWorker, 0, 1, 10s, 13s}};
#endif
  for (const auto& [fault, first, points, least, most] : faults) {
    int olds = 0, news = 0;
    for (int i = first; i <= points; ++i) {
      SCOPED_TRACE(testing::Message() << "fault " << int(fault) << ", point " << i);
      WriteBytes(archive, original);
      // The last strike never comes: the add is over.
      const auto waited = AddStruckBy(fault, i == points ? 120000 : int(whole.count() * i / points), archive, sheet);
      EXPECT_TRUE(waited || i > 0) << "the first strike comes before the add is over";
      EXPECT_TRUE(!waited || (*waited >= least && *waited <= most))
          << std::chrono::duration_cast<std::chrono::milliseconds>(waited.value_or(0s)).count() << " ms";
      // As a reader with no recovery of ours sees it.
      const MpqContents now = ReadMpq(archive, NamesOf(updated));
      EXPECT_TRUE(now == kFiles || now == updated) << "neither the old archive nor the new one";
      olds += now == kFiles;
      news += now == updated;
    }
    // Killed workers' strikes span the add: the first leave the old archive,
    // the add that nothing strikes leaves the new one.
    EXPECT_TRUE(fault != Fault::kKillWorker || (olds > 0 && news > 0)) << olds << " old, " << news << " new";
  }
  // What killed workers left behind goes at the next open.
  EXPECT_EQ(Add(archive, sheet, kSheetName), kAdded);
  EXPECT_EQ(FilesIn(dir.path()), QStringList({"Patch_D2.mpq", "weapons.txt"}));
}

// One AddFileToArchive call in a process of its own, which finds whichever
// stand-in library its search path offers (on Windows, stand-ins that export
// their entries by ordinal alone, so that every outcome past "Can't load"
// shows them found by ordinal): each outcome has its message, and the
// library is freed after every one.
TEST(LmpqapiSearch, EachOutcomeHasItsMessageAndTheLibraryIsFreed) {
#if defined(_WIN32)
  const QString archive = "C:\\a.mpq", file = "C:\\w.txt";
  const QStringList cantLoad = {"none"};  // the ordinals' list needs every entry
#else
  const QString archive = "/a.mpq", file = "/w.txt";
  const QStringList cantLoad = {"none", "no-close"};  // no library, one entry missing
#endif
  const QByteArray open = "initialise\nopen " + archive.toUtf8() + " 5 20000\n";
  const std::pair<QByteArray, QStringList> cases[] = {
      {"message Can't load lmpqapi.dll\nresult 0, freed\n", cantLoad},
      {"initialise\nmessage Can't initialize lmpqapi.dll\nresult 0, freed\n", {"init-0", "init-2"}},
      {open + Refused(archive), {"open-0", "open-ffffffff"}},
      {open + "add 7 " + file.toUtf8() + " data\\w.txt 0x00010201\nclose 7 0\n" + kAdded, {"recorder"}}};
  for (const auto& [output, libraries] : cases)
    for (const QString& library : libraries) {
      SCOPED_TRACE(library.toStdString());
      EXPECT_EQ(Add(archive, file, "data\\w.txt", TW_STANDIN_DIR "/" + library), output);
    }
}

}  // namespace
