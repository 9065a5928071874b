#include "FileRange.h"

#include <algorithm>
#include <vector>

#include "Progress.h"
#include "WorkerFile.h"

bool CopyRange(int from, int to, uint64_t at, uint64_t size) {
  if (wfile::KernelCopy(from, to, at, size, ReportProgress)) return true;
  // Not between these two files: through a buffer, from the start again
  // (what the kernel copied is simply copied once more).
  std::vector<char> block(std::min<uint64_t>(size, 8u << 20));
  for (uint64_t done = 0; done < size;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(block.size(), size - done));
    if (!wfile::ReadAt(from, at + done, block.data(), n) || !wfile::WriteAt(to, at + done, block.data(), n)) return false;
    done += n;
    ReportProgress();
  }
  return true;
}

bool SyncFile(int fd, uint64_t from, uint64_t to) { return wfile::Sync(fd, from, to, ReportProgress); }
