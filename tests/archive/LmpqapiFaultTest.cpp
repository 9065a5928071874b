// The archive library under real faults: damaged archives, a worker killed
// or stopped at any point of an add, the calling program killed half-way.
// Whatever happens, the caller carries on and the archive is the old one or
// the new one, whole.
#include <dirent.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <fstream>
#include <functional>
#include <thread>

#include "MpqFiles.h"
#include "TestFiles.h"

extern char** environ;

namespace {
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const QByteArray kSheetName = "data\\global\\excel\\weapons.txt";

MpqContents GameFiles() {
  MpqContents files;
  for (int i = 0; i < 9; ++i) files["data\\global\\excel\\sheet" + QByteArray::number(i) + ".txt"] = SheetBytes("s", 40 * i);
  files[kSheetName] = SheetBytes("Sword", 3000);
  return files;
}

QStringList FilesIn(const QString& folder) { return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot); }

// The worker processes whose parent is `parent`.
std::vector<pid_t> WorkersOf(pid_t parent) {
  std::vector<pid_t> found;
  DIR* proc = opendir("/proc");
  while (const dirent* entry = proc ? readdir(proc) : nullptr) {
    const pid_t pid = atoi(entry->d_name);
    if (pid <= 0) continue;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string pidText, name, state;
    pid_t ppid = 0;
    if (stat >> pidText >> name >> state >> ppid && ppid == parent && name == "(lmpqapi-worker)" && state != "Z")
      found.push_back(pid);
  }
  if (proc) closedir(proc);
  return found;
}

// Waits for a worker of `parent` to appear and gives back its id, or 0.
pid_t AwaitWorkerOf(pid_t parent) {
  const auto deadline = Clock::now() + 20s;
  std::vector<pid_t> workers;
  while ((workers = WorkersOf(parent)).empty())
    if (Clock::now() > deadline) return 0;
  return workers[0];
}

TEST(LmpqapiFaults, DamagedArchivesAreRefusedAndLeftAsTheyWere) {
  QTemporaryDir dir;
  const QString valid = dir.filePath("valid.mpq");
  MakeMpq(valid, GameFiles(), {0, true, 16});
  const QByteArray good = ReadBytes(valid);
  const int hashAt = int(HeaderWord(good, 0x10)), blockAt = int(HeaderWord(good, 0x14));
  ASSERT_TRUE(hashAt > 32 && blockAt > hashAt && blockAt < good.size());
  auto scribble = [](int at, int count) {
    return [=](QByteArray& b) {
      for (int i = 0; i < count; ++i) b[at + i * 7] = char(b[at + i * 7] ^ (0x5A + i));
    };
  };
  const std::pair<const char*, std::function<void(QByteArray&)>> cases[] = {
      {"zero-length file", [](QByteArray& b) { b.clear(); }},
      {"cut inside the header", [](QByteArray& b) { b.truncate(16); }},
      {"header only", [](QByteArray& b) { b.truncate(32); }},
      {"cut half-way", [](QByteArray& b) { b.truncate(b.size() / 2); }},
      {"cut inside the hash table", [=](QByteArray& b) { b.truncate(hashAt + 40); }},
      {"cut inside the block table", [=](QByteArray& b) { b.truncate(blockAt + 24); }},
      {"last byte missing", [](QByteArray& b) { b.chop(1); }},
      {"hash table scribbled", scribble(hashAt + 3, 6)},
      {"one hash entry scribbled", scribble(hashAt + 16 * 5 + 12, 1)},
      {"block table scribbled", scribble(blockAt + 1, 6)},
      {"one block's offset scribbled", scribble(blockAt + 16 * 3 + 1, 1)},
      {"hash table size absurd", [](QByteArray& b) { SetHeaderWord(b, 0x18, 0x40000000); }},
      {"block table size absurd", [](QByteArray& b) { SetHeaderWord(b, 0x1C, 0x7FFFFFFF); }},
      {"hash table past the end", [](QByteArray& b) { SetHeaderWord(b, 0x10, 0xFFFFFF00); }},
      {"noise after a header", [](QByteArray& b) {
         for (int i = 32; i < b.size(); ++i) b[i] = char((i * 2654435761u) >> 24);
       }},
      {"no archive at all", [](QByteArray& b) { b = SheetBytes("text"); }},
  };
  Lmpqapi library;
  ASSERT_EQ(library.initialize(), 1u);
  const QString sheet = WriteBytes(dir.filePath("weapons.txt"), SheetBytes("Lance"));
  for (const auto& [what, damage] : cases) {
    SCOPED_TRACE(what);
    QByteArray bytes = good;
    damage(bytes);
    const QString archive = WriteBytes(dir.filePath("damaged.mpq"), bytes);
    const unsigned handle = library.open(archive);
    EXPECT_EQ(handle, 0u);
    if (handle) library.close(handle);  // no add: the archive stays as it is
    EXPECT_EQ(ReadBytes(archive), bytes);
    EXPECT_EQ(FilesIn(dir.path()), QStringList({"damaged.mpq", "valid.mpq", "weapons.txt"}));
  }
  // A folder, and the undamaged archive, which opens (so the cases above
  // failed for their damage alone).
  QDir(dir.path()).mkdir("folder.mpq");
  EXPECT_EQ(library.open(dir.filePath("folder.mpq")), 0u);
  EXPECT_NE(library.addFile(valid, sheet, kSheetName), 0u);
  EXPECT_EQ(ReadMpq(valid, {kSheetName})[kSheetName], SheetBytes("Lance"));
}

// A new archive is the old one with the sheet replaced, every file whole.
bool IsOldOrNew(const QString& archive, const QByteArray& old, const MpqContents& updated) {
  if (ReadBytes(archive) == old) return true;
  return ReadMpq(archive, NamesOf(updated)) == updated;
}

enum class Fault { kKillWorker, kStopWorker, kKillCaller };

// Runs one add with `fault` striking `after` the worker starts, unless the
// add is over by then.
void AddStruckBy(Fault fault, Clock::duration after, const QString& archive, const QString& sheet) {
  if (fault != Fault::kKillCaller) {
    Lmpqapi library;
    std::mutex mutex;
    std::condition_variable over;
    bool done = false;
    std::thread striker([&] {
      const pid_t worker = AwaitWorkerOf(getpid());
      std::unique_lock lock(mutex);
      if (!over.wait_for(lock, after, [&] { return done; }) && worker)
        kill(worker, fault == Fault::kStopWorker ? SIGSTOP : SIGKILL);
    });
    library.addFile(archive, sheet, kSheetName);
    {
      std::lock_guard lock(mutex);
      done = true;
    }
    over.notify_one();
    striker.join();
  } else {
    const std::string args[] = {TW_LMPQAPI_CALLER, TW_LMPQAPI_PATH, QFile::encodeName(archive).toStdString(),
                                QFile::encodeName(sheet).toStdString(), kSheetName.toStdString()};
    char* argv[] = {const_cast<char*>(args[0].c_str()), const_cast<char*>(args[1].c_str()),
                    const_cast<char*>(args[2].c_str()), const_cast<char*>(args[3].c_str()),
                    const_cast<char*>(args[4].c_str()), nullptr};
    pid_t caller = 0;
    posix_spawn(&caller, argv[0], nullptr, nullptr, argv, environ);
    const pid_t worker = AwaitWorkerOf(caller);
    const auto strike = Clock::now() + after;
    bool ended = false;
    while (!(ended = waitpid(caller, nullptr, WNOHANG) == caller) && Clock::now() < strike)
      std::this_thread::sleep_for(1ms);
    if (!ended) {
      kill(caller, SIGKILL);
      waitpid(caller, nullptr, 0);
    }
    // An orphaned worker comes to this process (a subreaper); it sees its
    // input end and finishes on its own.
    if (worker) waitpid(worker, nullptr, 0);
  }
}

TEST(LmpqapiFaults, AnAddStruckAtAnyPointLeavesTheOldArchiveOrTheNew) {
  ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  QTemporaryDir dir;
  const QString archive = dir.filePath("Patch_D2.mpq");
  const QString sheet = WriteBytes(dir.filePath("weapons.txt"), SheetBytes("Lance", 5000));
  MakeMpq(archive, GameFiles(), {0, false, 16});
  MpqContents updated = GameFiles();
  updated[kSheetName] = ReadBytes(sheet);

  // How long an add takes when nothing strikes.
  const QByteArray original = ReadBytes(archive);
  auto started = Clock::now();
  ASSERT_NE(Lmpqapi().addFile(archive, sheet, kSheetName), 0u);
  const auto whole = Clock::now() - started;
  ASSERT_EQ(ReadMpq(archive, NamesOf(updated)), updated);

  const std::pair<Fault, int> faults[] = {{Fault::kKillWorker, 16}, {Fault::kKillCaller, 10}, {Fault::kStopWorker, 1}};
  for (const auto& [fault, points] : faults) {
    // A stopped worker counts as hung after this long.
    if (fault == Fault::kStopWorker) setenv("LMPQAPI_WORKER_TIMEOUT_MS", "5000", 1);
    int olds = 0, news = 0;
    for (int i = 0; i <= points; ++i) {
      SCOPED_TRACE(testing::Message() << "fault " << int(fault) << ", point " << i);
      WriteBytes(archive, original);
      // The last point never comes: that add runs to its end.
      AddStruckBy(fault, i == points ? 1h : whole * i / points, archive, sheet);
      const QByteArray after = ReadBytes(archive);
      EXPECT_TRUE(IsOldOrNew(archive, original, updated));
      (after == original ? olds : news) += 1;
    }
    // The strikes span the add: the first leave the old archive, the add
    // that nothing strikes leaves the new one.
    EXPECT_GT(olds, 0) << "fault " << int(fault);
    EXPECT_GT(news, 0) << "fault " << int(fault);
    unsetenv("LMPQAPI_WORKER_TIMEOUT_MS");
  }
  // Copies that killed workers left behind go at the next open.
  EXPECT_NE(Lmpqapi().addFile(archive, sheet, kSheetName), 0u);
  EXPECT_EQ(FilesIn(dir.path()), QStringList({"Patch_D2.mpq", "weapons.txt"}));
}

// Without its worker beside it the library is not ready, and says so.
TEST(LmpqapiFaults, ALibraryWithoutItsWorkerIsNotReady) {
  QTemporaryDir dir;
  const QString alone = dir.filePath("liblmpqapi.so");
  ASSERT_TRUE(QFile::copy(TW_LMPQAPI_PATH, alone));
  void* library = dlopen(QFile::encodeName(alone).constData(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr);
  auto initialize = reinterpret_cast<unsigned (*)()>(dlsym(library, "LmpqInitialize"));
  auto open = reinterpret_cast<unsigned (*)(const char*, unsigned, unsigned)>(dlsym(library, "LmpqOpenArchive"));
  EXPECT_EQ(initialize(), 0u);
  const QString archive = dir.filePath("a.mpq");
  MakeMpq(archive, GameFiles(), {0, true, 16});
  EXPECT_EQ(open(QFile::encodeName(archive).constData(), 5, 20000), 0u);
  dlclose(library);
}

}  // namespace
