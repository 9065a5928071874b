#include "ArchiveSession.h"

#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "ArchiveCheck.h"
#include "Progress.h"
#include "WorkerFile.h"
#include "archive/lmpqapi.h"

namespace {
DWORD StormFlagsFor(uint32_t flags) {
  DWORD storm = 0;
  if (flags & LMPQ_ADD_COMPRESS) storm |= MPQ_FILE_IMPLODE;
  if (flags & LMPQ_ADD_ENCRYPT) storm |= MPQ_FILE_ENCRYPTED;
  if (flags & LMPQ_ADD_REPLACE) storm |= MPQ_FILE_REPLACEEXISTING;
  return storm;
}

bool ReadDiskFile(const std::string& path, std::string& bytes, uint64_t& fileTime) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > UINT32_MAX) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), {});
  // The archive keeps Windows file times: 100 ns steps since 1601.
  fileTime = (static_cast<uint64_t>(info.st_mtime) + 11644473600ull) * 10000000ull;
  return !in.bad();
}

// StormLib's word on each sector it writes.
void WINAPI OnSectorWritten(void*, DWORD, DWORD, bool) { ReportProgress(); }
}  // namespace

ArchiveSession::~ArchiveSession() {
  if (m_mpq) SFileCloseArchive(m_mpq);
  // The scratch and full copies go with their destructors: an update not
  // closed leaves no trace.
}

uint32_t ArchiveSession::Open(const std::string& path, uint32_t mode, uint32_t maxFiles) {
  if (m_mpq || mode != (LMPQ_OPEN_EXISTING | LMPQ_OPEN_KEEP_LISTFILE)) return 0;
  m_path = wfile::FullPath(path);
  if (m_path.empty() || !wfile::IsWritableRegularFile(m_path) || !m_lock.Acquire(m_path)) return 0;
  m_maxFiles = maxFiles;
  ReplacementFile::RemoveLeftovers(m_path);
  // An archive StormLib chokes on ends this worker here, with the archive
  // untouched: StormLib writes only to a copy.
  if (!ArchiveIsSound(m_path) || !OpenWorkCopy()) return 0;
  SFileSetAddFileCallback(m_mpq, OnSectorWritten, nullptr);
  return 1;
}

bool ArchiveSession::OpenWorkCopy() {
  m_appending = m_appended.Prepare(m_lock.fd());
  if (!m_appending && !m_copy.CreateFrom(m_path)) return false;
  const std::string work = m_appending ? m_appended.ScratchPath() : m_copy.path();
  // StormLib shares writing with the worker, which holds the copy open too
  // (Windows refuses a second opener otherwise).
  if (!SFileOpenArchive(work.c_str(), 0, STREAM_FLAG_WRITE_SHARE, &m_mpq)) {
    m_mpq = nullptr;
    return false;
  }
  // StormLib opens damaged or protected archives read-only; writing those
  // would fail half-way.
  DWORD flags = 0;
  SFileGetFileInfo(m_mpq, SFileMpqFlags, &flags, sizeof flags, nullptr);
  if (flags & (MPQ_FLAG_READ_ONLY | MPQ_FLAG_MALFORMED)) {
    SFileCloseArchive(m_mpq);
    m_mpq = nullptr;
    return false;
  }
  return true;
}

bool ArchiveSession::StoreFile(const std::string& name, const std::string& bytes, uint64_t fileTime,
                               DWORD stormFlags) {
  // A file the archive holds without its name (no (listfile) entry) gets the
  // name first, by being opened under it; StormLib can only replace a file
  // whose name it knows.
  HANDLE file = nullptr;
  if (SFileOpenFileEx(m_mpq, name.c_str(), SFILE_OPEN_FROM_MPQ, &file)) SFileCloseFile(file);

  const auto size = static_cast<DWORD>(bytes.size());
  if (!SFileCreateFile(m_mpq, name.c_str(), fileTime, size, 0, stormFlags, &file)) {
    if (GetLastError() != ERROR_DISK_FULL) return false;
    // The hash table is full: grow it to the size asked for at open, once.
    // StormLib can do that only when it knows every file's name.
    DWORD current = 0;
    SFileGetFileInfo(m_mpq, SFileMpqMaxFileCount, &current, sizeof current, nullptr);
    if (m_maxFiles <= current || !SFileSetMaxFileCount(m_mpq, m_maxFiles)) return false;
    if (!SFileCreateFile(m_mpq, name.c_str(), fileTime, size, 0, stormFlags, &file)) return false;
  }
  // With MPQ_FILE_IMPLODE StormLib implodes every sector itself; the
  // compression mask only matters for the other methods.
  const bool written = size == 0 || SFileWriteFile(file, bytes.data(), size, MPQ_COMPRESSION_PKWARE);
  return SFileFinishFile(file) && written;
}

uint32_t ArchiveSession::Add(const std::string& file, const std::string& nameInArchive, uint32_t flags) {
  constexpr uint32_t known = LMPQ_ADD_REPLACE | LMPQ_ADD_COMPRESS | LMPQ_ADD_ENCRYPT;
  if (!m_mpq || (flags & ~known) || nameInArchive.empty()) return 0;
  std::string bytes;
  uint64_t fileTime = 0;
  if (!ReadDiskFile(file, bytes, fileTime)) return 0;
  if (!StoreFile(nameInArchive, bytes, fileTime, StormFlagsFor(flags))) return 0;
  m_added[ArchiveKey(nameInArchive)] = std::move(bytes);
  return 1;
}

uint32_t ArchiveSession::Close() {
  if (!m_mpq) return 0;
  // A full copy drops the space that replaced files and old tables took,
  // where StormLib knows every file's key (it cannot otherwise, and then
  // leaves the copy as it is).
  if (!m_appending && !m_added.empty() && wfile::kCanCompactOpenFiles) SFileCompactArchive(m_mpq, nullptr, false);
  // Closing writes the copy's tables, its (listfile) and its (attributes).
  const bool written = SFileCloseArchive(m_mpq);
  m_mpq = nullptr;
  if (!written) return 0;
  if (m_added.empty()) return 1;  // nothing changed: the archive stays as it is
  if (m_appending) return m_appended.Commit(m_added) ? 1 : 0;
  return ArchiveIsSound(m_copy.path(), m_added) && m_copy.Commit() ? 1 : 0;
}
