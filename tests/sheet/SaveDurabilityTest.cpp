// What a save asks of the disk, seen at the system calls: this program's own
// fsync and fdatasync stand in front of the C library's and note each file
// they are asked to sync. A save by a new file syncs it before it takes the
// name, then the folder that holds the name; a save that writes the file
// itself first puts the copy of the old text on the disk, name and all.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <QDir>

#include "TestFiles.h"
#include "sheet/FileBytes.h"
#include "sheet/SheetDocument.h"

namespace {
struct Synced {
  dev_t device;
  ino_t inode;
  std::string name;  // as /proc names the descriptor at the time of the sync
  bool namesCopy;    // a folder holding a copy of a sheet's old text by then
};
std::vector<Synced>* g_synced = nullptr;  // noted only while a test points it somewhere

void Note(int fd) {
  if (!g_synced) return;
  struct stat status {};
  fstat(fd, &status);
  char name[4096];
  const ssize_t length = readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), name, sizeof name);
  const QString path = QString::fromLocal8Bit(name, length > 0 ? length : 0);
  const bool namesCopy = S_ISDIR(status.st_mode) && !QDir(path).entryList({".sheet.txt.old-*"}, QDir::Files | QDir::Hidden).isEmpty();
  g_synced->push_back({status.st_dev, status.st_ino, path.toStdString(), namesCopy});
}

int Forward(const char* function, int fd) {
  Note(fd);
  const auto real = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, function));
  return real(fd);
}
}  // namespace

extern "C" int fsync(int fd) { return Forward("fsync", fd); }
extern "C" int fdatasync(int fd) { return Forward("fdatasync", fd); }

namespace {
struct SaveCase {
  const char* name;
  int namesBefore;  // 0: no file yet; 2: a hard link, so the file is written itself
  std::vector<std::string> syncs;
};

void PrintTo(const SaveCase& c, std::ostream* out) { *out << c.name; }

class SaveDurability : public testing::TestWithParam<SaveCase> {};

// Each sync by what it was made on: the saved file, its folder (and whether
// the copy had its name there by then), or another file in the folder, the
// copy of the old text, which is gone by the time the save returns.
std::string WhatWasSynced(const Synced& synced, const QString& file) {
  struct stat target {}, folder {};
  const QString folderPath = QFileInfo(file).absolutePath();
  stat(QFile::encodeName(file).constData(), &target);
  stat(QFile::encodeName(folderPath).constData(), &folder);
  if (synced.device == target.st_dev && synced.inode == target.st_ino) return "file";
  if (synced.device == folder.st_dev && synced.inode == folder.st_ino) return synced.namesCopy ? "folder naming the copy" : "folder";
  if (synced.name.starts_with(folderPath.toStdString() + "/")) return "copy";
  return synced.name;
}

TEST_P(SaveDurability, SyncsWhatMustOutlastAPowerCut) {
  QTemporaryDir dir;
  const QString file = dir.filePath("sheet.txt");
  if (GetParam().namesBefore > 0) WriteBytes(file, "name\told\r\n");
  if (GetParam().namesBefore > 1) {
    ASSERT_EQ(link(qPrintable(file), qPrintable(dir.filePath("twin.txt"))), 0);
  }
  SheetDocument sheet;
  sheet.LoadFromBytes(FileBytes(QByteArray("name\tcost\r\nsword\t10\r\n")), false);
  std::vector<Synced> synced;
  g_synced = &synced;
  const InPlaceWriteResult result = sheet.Save(file);
  g_synced = nullptr;
  ASSERT_EQ(result.outcome, InPlaceWriteResult::kWritten) << result.error.toStdString();
  std::vector<std::string> seen;
  for (const Synced& s : synced) seen.push_back(WhatWasSynced(s, file));
  EXPECT_EQ(seen, GetParam().syncs);
  EXPECT_EQ(ReadBytes(file), "name\tcost\r\nsword\t10\r\n");
}

INSTANTIATE_TEST_SUITE_P(Saves, SaveDurability,
                         testing::Values(SaveCase{"NewFile", 0, {"file", "folder"}},
                                         SaveCase{"FileOfOneName", 1, {"file", "folder"}},
                                         SaveCase{"FileOfTwoNames", 2, {"copy", "folder naming the copy", "file"}}),
                         [](const testing::TestParamInfo<SaveCase>& info) { return std::string(info.param.name); });
}  // namespace
