#include "ReplacementFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "FileRange.h"
#include "platform/PathSplit.h"

namespace {
constexpr const char* kMark = ".lmpqapi-";
constexpr const char* kSuffix = ".tmp";

// The folder as a name to open: "." for none, "/" for the root.
std::string FolderOf(const std::string& path) {
  const size_t slash = pathsplit::LastSeparator(std::string_view(path), "/");
  if (slash == pathsplit::kNone) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) { return std::string(pathsplit::NamePart(std::string_view(path), "/")); }

bool SyncFolder(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = fsync(fd) == 0;
  close(fd);
  return synced;
}
}  // namespace

ReplacementFile::~ReplacementFile() { Discard(); }

void ReplacementFile::RemoveLeftovers(const std::string& target) {
  const std::string folder = FolderOf(target);
  const std::string prefix = NameOf(target) + kMark;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.size() <= prefix.size() + 4 || name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - 4, 4, kSuffix) != 0)
      continue;
    const std::string path = folder + "/" + name;
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) continue;
    // Its maker holds the lock for as long as it runs.
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) unlink(path.c_str());
    close(fd);
  }
  closedir(dir);
}

bool ReplacementFile::CreateFrom(const std::string& target) {
  Discard();
  const int from = open(target.c_str(), O_RDONLY | O_CLOEXEC);
  if (from < 0) return false;
  struct stat info {};
  fstat(from, &info);
  m_target = target;
  m_path = target + kMark + std::to_string(getpid()) + kSuffix;
  m_fd = open(m_path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (m_fd < 0) {  // the folder takes no new file (or a copy of ours is in the way)
    m_path.clear();
    close(from);
    return false;
  }
  m_original = info;
  const bool copied = flock(m_fd, LOCK_EX | LOCK_NB) == 0 &&
                      CopyRange(from, m_fd, 0, static_cast<uint64_t>(info.st_size));
  close(from);
  if (!copied) Discard();
  return copied;
}

bool ReplacementFile::Commit() {
  if (m_fd < 0) return false;
  // Opened again by name: StormLib may have put a compacted file in the
  // copy's place.
  const int copy = open(m_path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
  struct stat info {};
  bool done = copy >= 0 && fstat(copy, &info) == 0 && fchmod(copy, m_original.st_mode & 07777) == 0;
  // The owner stays as it is where we may keep it; elsewhere the copy is ours.
  if (done && fchown(copy, m_original.st_uid, m_original.st_gid) != 0) errno = 0;
  done = done && SyncFile(copy, 0, static_cast<uint64_t>(info.st_size)) && rename(m_path.c_str(), m_target.c_str()) == 0;
  if (copy >= 0) close(copy);
  if (!done) {
    Discard();
    return false;
  }
  m_path.clear();  // it is the original now
  close(m_fd);
  m_fd = -1;
  // The rename is on disk only once the folder is.
  return SyncFolder(FolderOf(m_target));
}

void ReplacementFile::Discard() {
  if (!m_path.empty()) unlink(m_path.c_str());
  m_path.clear();
  if (m_fd >= 0) close(m_fd);
  m_fd = -1;
}
