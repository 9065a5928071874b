#include "ArchiveLock.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <chrono>

#include "Progress.h"

namespace {
constexpr auto kLongestWait = std::chrono::minutes(5);

// The lock is on one byte far past the end of any archive: our writers
// exclude each other, while a reader's or another program's reads and
// writes of the archive itself are never blocked by it.
OVERLAPPED LockedByte() {
  OVERLAPPED where{};
  where.Offset = 0xFFFFFFFE;
  where.OffsetHigh = 0x7FFFFFFF;
  return where;
}

bool SameFile(HANDLE open, const std::string& path) {
  const HANDLE named = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (named == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION a{}, b{};
  const bool same = GetFileInformationByHandle(open, &a) && GetFileInformationByHandle(named, &b) &&
                    a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
                    a.nFileIndexLow == b.nFileIndexLow;
  CloseHandle(named);
  return same;
}
}  // namespace

ArchiveLock::~ArchiveLock() {
  if (m_fd >= 0) _close(m_fd);  // closing the handle releases the lock
}

bool ArchiveLock::Acquire(const std::string& path) {
  const auto deadline = std::chrono::steady_clock::now() + kLongestWait;
  for (;;) {
    // An archive that another program holds open without sharing writing
    // (the game, while it runs) does not open here: it is refused.
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    OVERLAPPED where = LockedByte();
    while (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &where)) {
      if (GetLastError() != ERROR_LOCK_VIOLATION || std::chrono::steady_clock::now() > deadline) {
        CloseHandle(file);
        return false;
      }
      ReportProgress();  // waiting for another writer, which is itself watched
      Sleep(20);
      where = LockedByte();
    }
    // The writer before may have put a new file in the archive's place.
    if (SameFile(file, path)) {
      m_fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDWR | _O_BINARY);
      if (m_fd >= 0) return true;
    }
    CloseHandle(file);
  }
}
