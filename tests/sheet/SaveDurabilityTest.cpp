// What a save asks of the disk, seen at the system calls: this program's own
// fsync and fdatasync stand in front of the C library's and note each file
// they are asked to sync. A save by a new file syncs it before it takes the
// name, then the folder that holds the name; a save that writes the file
// itself first puts the copy of the old text on the disk, name and all.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <vector>

#include "FileHolds.h"
#include "TestFiles.h"
#include "sheet/FileBytes.h"
#include "sheet/SheetDocument.h"

namespace {
// What one sync was made on, and for a folder whether a copy of a sheet's old
// text had its name there by then. The name is /proc's for the descriptor.
struct Synced {
  FileId id;
  QString name;
  bool namesCopy;
};
std::vector<Synced>* g_synced = nullptr;  // noted only while a test points it somewhere
FileId g_failing{};  // a file whose every sync fails, as a failing disk's would

int NoteAndSync(const char* function, int fd) {
  struct stat status {};
  if (g_synced && fstat(fd, &status) == 0) {
    const QString name = QFileInfo(QString("/proc/self/fd/%1").arg(fd)).symLinkTarget();
    const bool namesCopy = S_ISDIR(status.st_mode) && !QDir(name).entryList({".*.old-*"}, QDir::Files | QDir::Hidden).isEmpty();
    g_synced->push_back({{status.st_dev, status.st_ino}, name, namesCopy});
    if (g_synced->back().id == g_failing) {
      errno = EIO;
      return -1;
    }
  }
  return reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, function))(fd);
}
}  // namespace

extern "C" int fsync(int fd) { return NoteAndSync("fsync", fd); }
extern "C" int fdatasync(int fd) { return NoteAndSync("fdatasync", fd); }

namespace {
const QByteArray kOld = "name\told\r\n", kSaved = "name\tcost\r\nsword\t10\r\n";

struct SaveCase {
  const char* name;
  int namesBefore;  // 0: no file yet; 2: a hard link, so the file is written itself
  std::vector<std::string> syncs;
  bool fileSyncFails = false;
  InPlaceWriteResult::Outcome outcome = InPlaceWriteResult::kWritten;
  QByteArray after = kSaved, kept = "<missing>";  // the file's text, and the kept copy's (none)
};

void PrintTo(const SaveCase& c, std::ostream* out) { *out << c.name; }

class SaveDurability : public testing::TestWithParam<SaveCase> {};

// Each sync by what it was made on: the saved file, its folder (and whether
// the copy had its name there by then), or another file in the folder, the
// copy of the old text, which is gone by the time the save returns.
std::string WhatWasSynced(const Synced& synced, const QString& file) {
  const QString folder = QFileInfo(file).absolutePath();
  if (synced.id == FileIdOf(file)) return "file";
  if (synced.id == FileIdOf(folder)) return synced.namesCopy ? "folder naming the copy" : "folder";
  if (synced.name.startsWith(folder + "/")) return "copy";
  return synced.name.toStdString();
}

TEST_P(SaveDurability, SyncsWhatMustOutlastAPowerCut) {
  QTemporaryDir dir;
  const QString file = dir.filePath("sheet.txt");
  if (GetParam().namesBefore > 0) WriteBytes(file, kOld);
  if (GetParam().namesBefore > 1) { ASSERT_EQ(link(qPrintable(file), qPrintable(dir.filePath("twin.txt"))), 0); }
  SheetDocument sheet;
  sheet.LoadFromBytes(FileBytes(kSaved), false);
  std::vector<Synced> synced;
  const uint descriptors = QDir("/proc/self/fd").count();
  g_failing = GetParam().fileSyncFails ? FileIdOf(file) : FileId{};
  g_synced = &synced;
  const InPlaceWriteResult result = sheet.Save(file);
  g_synced = nullptr;
  EXPECT_EQ(QDir("/proc/self/fd").count(), descriptors) << "none left open";
  ASSERT_EQ(result.outcome, GetParam().outcome) << result.error.toStdString();
  std::vector<std::string> seen;
  for (const Synced& s : synced) seen.push_back(WhatWasSynced(s, file));
  EXPECT_EQ(seen, GetParam().syncs);
  EXPECT_EQ(ReadBytes(file), GetParam().after);
  EXPECT_EQ(ReadBytes(result.keptCopy), GetParam().kept);
}

INSTANTIATE_TEST_SUITE_P(Saves, SaveDurability,
                         testing::Values(SaveCase{"NewFile", 0, {"file", "folder"}},
                                         SaveCase{"FileOfOneName", 1, {"file", "folder"}},
                                         SaveCase{"FileOfTwoNames", 2, {"copy", "folder naming the copy", "file"}},
                                         // The new text never reaches the disk, nor does the old one put back.
                                         SaveCase{"FileOfTwoNamesThatCannotSync", 2,
                                                  {"copy", "folder naming the copy", "file", "file"}, true,
                                                  InPlaceWriteResult::kOldTextKept, kOld, kOld}),
                         testing::PrintToStringParamName());
}  // namespace
