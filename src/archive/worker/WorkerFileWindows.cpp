// The worker's files on Windows: C runtime descriptors over the system's
// handles, positioned reads and writes through OVERLAPPED offsets.
#include "WorkerFile.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cerrno>

#include "WholeIo.h"

namespace wfile {
namespace {
HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

OVERLAPPED At(uint64_t offset) {
  OVERLAPPED where{};
  where.Offset = static_cast<DWORD>(offset);
  where.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return where;
}

std::string TempFolder() {
  char folder[MAX_PATH + 1];
  const DWORD length = GetTempPathA(sizeof folder, folder);
  return length && length <= MAX_PATH ? std::string(folder, length) : std::string(".\\");
}

// Scratch files that killed workers left: a running worker's own cannot be
// deleted, as it does not share deleting.
void RemoveLeftoverScratchFiles(const std::string& folder) {
  WIN32_FIND_DATAA found;
  const HANDLE find = FindFirstFileA((folder + "lmpqapi-*.tmp").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do DeleteFileA((folder + found.cFileName).c_str());
  while (FindNextFileA(find, &found));
  FindClose(find);
}
}  // namespace

bool TakeChannel(int& in, int& out) {
  _setmode(0, _O_BINARY);
  _setmode(1, _O_BINARY);
  in = _dup(0);
  out = _dup(1);
  if (in < 0 || out < 0) return false;
  _dup2(2, 1);
  const int nothing = _open("NUL", _O_RDONLY | _O_BINARY);
  if (nothing >= 0) _dup2(nothing, 0);
  return true;
}

int OpenForReading(const std::string& path) { return _open(path.c_str(), _O_RDONLY | _O_BINARY); }
void Close(int fd) { _close(fd); }

bool ReadAt(int fd, uint64_t at, void* into, size_t size) {
  return wholeio::Through(size, [&](size_t done, size_t left) -> long long {
    OVERLAPPED where = At(at + done);
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min<size_t>(left, 1u << 30));
    return ReadFile(HandleOf(fd), static_cast<char*>(into) + done, want, &got, &where) ? got : (errno = EIO, -1);
  });
}

bool WriteAt(int fd, uint64_t at, const void* from, size_t size) {
  return wholeio::Through(size, [&](size_t done, size_t left) -> long long {
    OVERLAPPED where = At(at + done);
    DWORD put = 0;
    const DWORD want = static_cast<DWORD>(std::min<size_t>(left, 1u << 30));
    return WriteFile(HandleOf(fd), static_cast<const char*>(from) + done, want, &put, &where) ? put : (errno = EIO, -1);
  });
}

std::optional<uint64_t> SizeOf(int fd) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(HandleOf(fd), &size)) return std::nullopt;
  return static_cast<uint64_t>(size.QuadPart);
}

bool Truncate(int fd, uint64_t size) { return _chsize_s(fd, static_cast<long long>(size)) == 0; }

bool Sync(int fd, uint64_t, uint64_t, void (*)()) { return FlushFileBuffers(HandleOf(fd)) != 0; }

bool KernelCopy(int, int, uint64_t, uint64_t, void (*)()) { return false; }

std::string FullPath(const std::string& path) {
  char full[MAX_PATH + 1];
  const DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
  if (length == 0 || length > MAX_PATH || GetFileAttributesA(full) == INVALID_FILE_ATTRIBUTES) return {};
  return std::string(full, length);
}

bool IsWritableRegularFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DEVICE));
}

ScratchFile::ScratchFile() {
  // Windows deletes no file that is open: the scratch file has a name of its
  // own, removed at close, and what a killed worker left goes at the next
  // worker's start.
  static std::atomic<unsigned> made{0};
  const std::string folder = TempFolder();
  RemoveLeftoverScratchFiles(folder);
  m_path = folder + "lmpqapi-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(made++) + ".tmp";
  const HANDLE file = CreateFileA(m_path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
  if (file != INVALID_HANDLE_VALUE) m_fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDWR | _O_BINARY);
  if (m_fd < 0) m_path.clear();
}

ScratchFile::~ScratchFile() {
  if (m_fd >= 0) _close(m_fd);
  if (!m_path.empty()) DeleteFileA(m_path.c_str());
}

}  // namespace wfile
