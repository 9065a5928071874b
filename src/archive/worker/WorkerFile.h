#pragma once
// The worker's use of files, the part that differs by platform
// (WorkerFilePosix.cpp, WorkerFileWindows.cpp). Files are the C library's
// descriptors on both; everything above this reads the same on both.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace wfile {

// The library's channel, taken off the standard input and output, which
// then point elsewhere, so that nothing StormLib or the C library prints
// can get into a reply. False when the channel is not there.
bool TakeChannel(int& in, int& out);

// -1 when the file does not open.
int OpenForReading(const std::string& path);
void Close(int fd);

// Exactly `size` bytes at `at`, leaving the descriptor's offset alone.
bool ReadAt(int fd, uint64_t at, void* into, size_t size);
bool WriteAt(int fd, uint64_t at, const void* from, size_t size);
std::optional<uint64_t> SizeOf(int fd);
bool Truncate(int fd, uint64_t size);
// Gets what was written onto the disk, the file's size with it; `from` and
// `to` bound what was written. `progress` runs between parts of a long sync.
bool Sync(int fd, uint64_t from, uint64_t to, void (*progress)());
// Copies a range within the kernel where the system can; false when it
// cannot, and the caller copies through a buffer.
bool KernelCopy(int from, int to, uint64_t at, uint64_t size, void (*progress)());

// Whether StormLib may put a compacted file in the place of one the worker
// holds open: not on Windows, where an open file cannot be deleted.
#if defined(_WIN32)
constexpr bool kCanCompactOpenFiles = false;
#else
constexpr bool kCanCompactOpenFiles = true;
#endif

// The full path of an existing file, links resolved; empty when there is none.
std::string FullPath(const std::string& path);
// A regular file that we may write. A file marked read-only (no write bit at
// all on POSIX) counts as read-only even for an administrator.
bool IsWritableRegularFile(const std::string& path);

// A file in the temporary folder that is gone once closed, also when the
// worker is killed (or, where the system cannot do that, at the next
// worker's start). StormLib opens it again by `path`.
class ScratchFile {
 public:
  ScratchFile();
  ~ScratchFile();
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  int fd() const { return m_fd; }
  const std::string& path() const { return m_path; }

 private:
  int m_fd = -1;
  std::string m_path;
};

}  // namespace wfile
