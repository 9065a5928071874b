#include "FileRange.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "Progress.h"
#include "WholeIo.h"

namespace {
constexpr uint64_t kChunk = 8u << 20;

// The kernel copies without the bytes passing through here, where it can.
bool KernelCopy(int from, int to, uint64_t at, uint64_t size) {
  auto in = static_cast<off_t>(at), out = static_cast<off_t>(at);
  while (size > 0) {
    const ssize_t n = copy_file_range(from, &in, to, &out, static_cast<size_t>(std::min(size, kChunk)), 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    size -= static_cast<uint64_t>(n);
    ReportProgress();
  }
  return true;
}
}  // namespace

bool CopyRange(int from, int to, uint64_t at, uint64_t size) {
  if (KernelCopy(from, to, at, size)) return true;
  // Not between these two file systems: through a buffer, from the start
  // again (what the kernel copied is simply copied once more).
  std::vector<char> block(std::min(size, kChunk));
  for (uint64_t done = 0; done < size;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(block.size(), size - done));
    if (!wholeio::ReadWholeAt(from, at + done, block.data(), n) || !wholeio::WriteWholeAt(to, at + done, block.data(), n))
      return false;
    done += n;
    ReportProgress();
  }
  return true;
}

bool SyncFile(int fd, uint64_t from, uint64_t to) {
  // A range at a time, so that a slow disk shows as progress; then the
  // whole file, its size with it.
  constexpr unsigned kWait = SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER;
  for (uint64_t at = from; at < to; at += kChunk) {
    if (sync_file_range(fd, static_cast<off_t>(at), static_cast<off_t>(std::min(kChunk, to - at)), kWait) != 0 &&
        errno != EINTR)
      break;  // the file system has no such call: the fsync below does it all
    ReportProgress();
  }
  int result;
  do result = fsync(fd);
  while (result != 0 && errno == EINTR);
  return result == 0;
}
