// archive_stress [count] [seed] [first]: mutated archives through the archive
// library's four entries, as the program calls them. Each archive is a valid
// one (made here, in one of the shapes the game uses) with a few random
// faults: bytes flipped anywhere or in its tables, cut short, grown, header
// words set to odd values, a range overwritten. Every archive must be either
// refused at open and left byte for byte as it was, or updated into one that
// the library opens again (and an update killed at a random moment leaves
// the old archive or exactly the new one); no call may wait much past the library's bound of
// ten seconds without progress, and the calling process must
// survive every one. Prints the tally and each finding; fails on a finding.
#include <dlfcn.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <cerrno>
#include <chrono>
#include <random>
#include <thread>

#include "archive/MpqFiles.h"
#include "archive/lmpqapi.h"
#include "TestFiles.h"

namespace {

// The build's archive library, its four entries called directly: a process
// per archive would make the run ten times longer.
class Lmpqapi {
 public:
  Lmpqapi() : m_handle(dlopen(TW_LMPQAPI_PATH, RTLD_NOW | RTLD_LOCAL)) {}
  ~Lmpqapi() { if (m_handle) dlclose(m_handle); }
  bool loaded() const { return m_handle != nullptr; }
  unsigned initialize() { return entry<LmpqInitializeFn>(LMPQ_NAME_INITIALIZE)(); }
  unsigned open(const QString& archive) {
    return entry<LmpqOpenArchiveFn>(LMPQ_NAME_OPEN_ARCHIVE)(QFile::encodeName(archive).constData(), 5, 20000);
  }
  void add(unsigned handle, const QString& file, const char* name) {
    entry<LmpqAddFileFn>(LMPQ_NAME_ADD_FILE)(handle, QFile::encodeName(file).constData(), name, 0x00010201);
  }
  void close(unsigned handle) { entry<LmpqCloseArchiveFn>(LMPQ_NAME_CLOSE_ARCHIVE)(handle, 0); }

 private:
  template <typename Entry> Entry entry(const char* name) { return reinterpret_cast<Entry>(dlsym(m_handle, name)); }
  void* m_handle;
};

void Mutate(QByteArray& b, std::mt19937_64& rng) {
  auto below = [&](qint64 n) { return n <= 0 ? 0 : qint64(rng() % quint64(n)); };
  if (b.size() < 32) {  // cut short before: only noise can follow
    b.append(QByteArray(int(below(64)), char(rng())));
    return;
  }
  const qint64 hashAt = GetU32(b, 0x10), blockAt = GetU32(b, 0x14);
  switch (below(7)) {
    case 0:  // bytes flipped anywhere
      for (qint64 n = 1 + below(16); n > 0; --n) b[below(b.size())] = char(rng());
      break;
    case 1: {  // bytes flipped in the hash or the block table
      const qint64 table = below(2) ? hashAt : blockAt;
      for (qint64 n = 1 + below(8); n > 0 && table < b.size(); --n) {
        const qint64 at = table + below(std::min<qint64>(256, b.size() - table));
        b[at] = char(b[at] ^ (1 << below(8)));
      }
      break;
    }
    case 2:  // cut short
      b.truncate(below(b.size()));
      break;
    case 3: {  // a header word set to an odd value
      const quint32 odd[] = {0, 1, 0xFFFFFFFF, 0x7FFFFFFF, 0x10000, quint32(b.size()), quint32(b.size() + 16),
                             quint32(rng())};
      PutU32(b, 4 * int(1 + below(7)), odd[below(8)]);
      break;
    }
    case 4: {  // a range overwritten
      const qint64 at = below(b.size()), length = std::min<qint64>(1 + below(512), b.size() - at);
      for (qint64 i = 0; i < length; ++i) b[at + i] = char(rng());
      break;
    }
    case 5:  // grown with noise
      for (qint64 n = 1 + below(4096); n > 0; --n) b.append(char(rng()));
      break;
    default: {  // a chunk cut out of the middle
      const qint64 at = below(b.size());
      b.remove(at, std::min<qint64>(1 + below(64), b.size() - at));
    }
  }
}

// The same add in a process of its own, killed together with its worker at
// `micros` past its start, as a crash or a kill -9 would strike.
void AddKilledAt(Lmpqapi& library, const QString& archive, const QString& sheet, int micros) {
  const pid_t caller = fork();
  if (caller == 0) {
    setpgid(0, 0);  // the worker joins this group
    const unsigned handle = library.open(archive);
    if (handle) {
      library.add(handle, sheet, kSheetName);
      library.close(handle);
    }
    _exit(0);
  }
  setpgid(caller, caller);
  std::this_thread::sleep_for(std::chrono::microseconds(micros));
  kill(-caller, SIGKILL);
  // Both come to this process (a subreaper) to be waited for.
  while (waitpid(-1, nullptr, 0) > 0 || errno == EINTR) {
  }
}

}  // namespace

int main(int argc, char** argv) {
  const long count = argc > 1 ? std::atol(argv[1]) : 10000;
  const quint64 seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1;
  const long first = argc > 3 ? std::atol(argv[3]) : 0;  // to make one archive of a run again
  QTemporaryDir dir;
  const QString archive = dir.filePath("stress.mpq");
  const QString sheet = WriteBytes(dir.filePath("weapons.txt"), SheetBytes("Lance", 200));

  MpqContents files;
  for (int i = 0; i < 6; ++i) files["data\\global\\excel\\s" + QByteArray::number(i) + ".txt"] = SheetBytes("s", 30 * i);
  files[kSheetName] = SheetBytes("Sword", 400);
  std::vector<QByteArray> shapes;
  for (const MpqRecipe& recipe : {MpqRecipe{0, true, 16}, MpqRecipe{0, false, 16}, MpqRecipe{1, true, 16},
                                  MpqRecipe{1, false, 16}, MpqRecipe{0, true, 8}}) {
    MakeMpq(archive, files, recipe);
    shapes.push_back(ReadBytes(archive));
  }

  Lmpqapi library;
  if (!library.loaded() || library.initialize() != 1) return std::puts("archive_stress: no library"), 2;
  prctl(PR_SET_CHILD_SUBREAPER, 1);
  long refused = 0, updated = 0, unchanged = 0, givenUp = 0, killedOld = 0, killedNew = 0, findings = 0;
  qint64 slowest = 0;
  QElapsedTimer all;
  all.start();
  auto finding = [&](long i, const char* what) {
    if (++findings <= 20) std::printf("finding: archive %ld (seed %llu): %s\n", i, seed, what);
  };
  for (long i = first; i < first + count; ++i) {
    std::mt19937_64 rng(seed * 1000003 + quint64(i));
    QByteArray bytes = shapes[rng() % shapes.size()];
    for (int n = 1 + int(rng() % 3); n > 0; --n) Mutate(bytes, rng);
    WriteBytes(archive, bytes);

    QElapsedTimer call;
    call.start();
    const unsigned handle = library.open(archive);
    if (handle) {
      library.add(handle, sheet, kSheetName);
      library.close(handle);
    }
    slowest = std::max(slowest, call.elapsed());
    // The library gives up on a worker after ten seconds without progress;
    // a call much longer than that has hung.
    if (call.elapsed() >= 10000) ++givenUp;
    if (call.elapsed() >= 15000) finding(i, "a call outlasted the bound on waiting");
    const QByteArray after = ReadBytes(archive);
    if (!handle) {
      ++refused;
      if (after != bytes) finding(i, "a refused archive changed");
    } else if (after == bytes) {
      ++unchanged;
    } else {
      ++updated;
      const unsigned again = library.open(archive);
      if (!again) finding(i, "an updated archive does not open again");
      else library.close(again);
      // Once more, killed at a random moment of the add (which takes a few
      // milliseconds): the archive must then be the old one, its bytes
      // intact (an unused tail may follow them), or exactly the new one.
      WriteBytes(archive, bytes);
      AddKilledAt(library, archive, sheet, int(rng() % 12000));
      const QByteArray killed = ReadBytes(archive);
      if (killed == after) ++killedNew;
      else if (killed.startsWith(bytes)) ++killedOld;
      else finding(i, "an add killed half-way left neither the old archive nor the new one");
      const unsigned cleanup = library.open(archive);  // removes what the killed add left
      if (cleanup) library.close(cleanup);
    }
    if (QDir(dir.path()).entryList(QDir::Files).size() != 2) finding(i, "a copy was left beside the archive");
    if ((i + 1) % 1000 == 0) std::fprintf(stderr, "archive_stress: %ld archives\n", i + 1);
  }
  std::printf("archive_stress: %ld mutated archives (seed %llu) in %lld s: %ld refused unchanged, %ld updated, "
              "%ld opened but left unchanged; %ld given up after 10 s without progress; slowest call %lld ms; "
              "updates killed at a random moment: %ld left the old archive, %ld the new; %ld findings\n",
              count, seed, all.elapsed() / 1000, refused, updated, unchanged, givenUp, slowest, killedOld, killedNew,
              findings);
  return findings ? 1 : 0;
}
