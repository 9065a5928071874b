#include "WorkerFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "WholeIo.h"
#include "platform/WriteBits.h"

namespace wfile {
namespace {
constexpr uint64_t kChunk = 8u << 20;
}

bool TakeChannel(int& in, int& out) {
  signal(SIGPIPE, SIG_IGN);
  in = fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 3);
  out = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  if (in < 0 || out < 0) return false;
  dup2(STDERR_FILENO, STDOUT_FILENO);
  const int nothing = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (nothing >= 0) dup2(nothing, STDIN_FILENO);
  return true;
}

int OpenForReading(const std::string& path) { return open(path.c_str(), O_RDONLY | O_CLOEXEC); }
void Close(int fd) { close(fd); }

bool ReadAt(int fd, uint64_t at, void* into, size_t size) {
  return wholeio::Through(size, [&](size_t done, size_t left) {
    return pread(fd, static_cast<char*>(into) + done, left, static_cast<off_t>(at + done));
  });
}

bool WriteAt(int fd, uint64_t at, const void* from, size_t size) {
  return wholeio::Through(size, [&](size_t done, size_t left) {
    return pwrite(fd, static_cast<const char*>(from) + done, left, static_cast<off_t>(at + done));
  });
}

std::optional<uint64_t> SizeOf(int fd) {
  struct stat info {};
  if (fstat(fd, &info) != 0) return std::nullopt;
  return static_cast<uint64_t>(info.st_size);
}

bool Truncate(int fd, uint64_t size) { return ftruncate(fd, static_cast<off_t>(size)) == 0; }

bool Sync(int fd, uint64_t from, uint64_t to, void (*progress)()) {
  // A range at a time, so that a slow disk shows as progress; then the
  // whole file, its size with it.
  constexpr unsigned kWait = SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER;
  for (uint64_t at = from; at < to; at += kChunk) {
    if (sync_file_range(fd, static_cast<off_t>(at), static_cast<off_t>(std::min(kChunk, to - at)), kWait) != 0 &&
        errno != EINTR)
      break;  // the file system has no such call: the fsync below does it all
    progress();
  }
  int result;
  do result = fsync(fd);
  while (result != 0 && errno == EINTR);
  return result == 0;
}

bool KernelCopy(int from, int to, uint64_t at, uint64_t size, void (*progress)()) {
  auto in = static_cast<off_t>(at), out = static_cast<off_t>(at);
  while (size > 0) {
    const ssize_t n = copy_file_range(from, &in, to, &out, static_cast<size_t>(std::min(size, kChunk)), 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    size -= static_cast<uint64_t>(n);
    progress();
  }
  return true;
}

std::string FullPath(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

bool IsWritableRegularFile(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  return MarkedWritable(static_cast<std::filesystem::perms>(info.st_mode & 07777));
}

ScratchFile::ScratchFile() {
  const char* folder = std::getenv("TMPDIR");
  std::string name = std::string(folder && *folder ? folder : "/tmp") + "/lmpqapi-XXXXXX";
  m_fd = mkostemp(name.data(), O_CLOEXEC);
  if (m_fd < 0) return;
  // Unlinked at once: nothing is left behind whatever ends the worker.
  // StormLib reaches it through the descriptor's name in /proc.
  unlink(name.c_str());
  m_path = "/proc/self/fd/" + std::to_string(m_fd);
}

ScratchFile::~ScratchFile() {
  if (m_fd >= 0) close(m_fd);
}

}  // namespace wfile
