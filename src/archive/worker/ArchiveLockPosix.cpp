#include "ArchiveLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "Progress.h"

namespace {
// A writer that holds the lock this long is not coming back; the library
// gives up on a worker that makes no progress long before.
constexpr auto kLongestWait = std::chrono::minutes(5);

bool SameFile(int fd, const std::string& path) {
  struct stat open {}, named {};
  return fstat(fd, &open) == 0 && stat(path.c_str(), &named) == 0 && open.st_dev == named.st_dev &&
         open.st_ino == named.st_ino;
}
}  // namespace

ArchiveLock::~ArchiveLock() {
  if (m_fd >= 0) close(m_fd);
}

bool ArchiveLock::Acquire(const std::string& path) {
  const auto deadline = std::chrono::steady_clock::now() + kLongestWait;
  for (;;) {
    m_fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (m_fd < 0) return false;
    while (flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
      if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() > deadline) {
        close(m_fd);
        m_fd = -1;
        return false;
      }
      ReportProgress();  // waiting for another writer, which is itself watched
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // The writer before may have put a new file in the archive's place.
    if (SameFile(m_fd, path)) return true;
    close(m_fd);
  }
}
