// The full copy on Windows: made beside the archive without sharing delete
// access (so that no other worker takes it for a leftover while its maker
// runs), and moved over the archive with MoveFileEx, written through.
#include "ReplacementFile.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "FileRange.h"
#include "platform/PathSplit.h"
#include "WorkerFile.h"

namespace {
constexpr const char* kMark = ".lmpqapi-";
constexpr const char* kSuffix = ".tmp";

// The folder with its separator, ready to take a name; empty for none.
std::string FolderOf(const std::string& path) {
  return path.substr(0, path.size() - pathsplit::NamePart(std::string_view(path), "\\/").size());
}
}  // namespace

ReplacementFile::~ReplacementFile() { Discard(); }

void ReplacementFile::RemoveLeftovers(const std::string& target) {
  WIN32_FIND_DATAA found;
  const HANDLE find = FindFirstFileA((target + kMark + "*" + kSuffix).c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  const std::string folder = FolderOf(target);
  // A copy whose maker still runs is open without delete sharing: it stays.
  do DeleteFileA((folder + found.cFileName).c_str());
  while (FindNextFileA(find, &found));
  FindClose(find);
}

bool ReplacementFile::CreateFrom(const std::string& target) {
  Discard();
  const int from = wfile::OpenForReading(target);
  if (from < 0) return false;
  const std::optional<uint64_t> size = wfile::SizeOf(from);
  m_target = target;
  m_path = target + kMark + std::to_string(GetCurrentProcessId()) + kSuffix;
  const HANDLE file = CreateFileA(m_path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) m_fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDWR | _O_BINARY);
  const bool copied = m_fd >= 0 && size && CopyRange(from, m_fd, 0, *size);
  wfile::Close(from);
  if (m_fd < 0) m_path.clear();  // the folder takes no new file
  if (!copied) Discard();
  return copied;
}

bool ReplacementFile::Commit() {
  if (m_fd < 0) return false;
  const std::optional<uint64_t> size = wfile::SizeOf(m_fd);
  const bool synced = size && SyncFile(m_fd, 0, *size);
  _close(m_fd);  // a file open without delete sharing cannot be moved
  m_fd = -1;
  if (!synced || !MoveFileExA(m_path.c_str(), m_target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    Discard();
    return false;
  }
  m_path.clear();  // it is the original now
  return true;
}

void ReplacementFile::Discard() {
  if (m_fd >= 0) _close(m_fd);
  m_fd = -1;
  if (!m_path.empty()) DeleteFileA(m_path.c_str());
  m_path.clear();
}
