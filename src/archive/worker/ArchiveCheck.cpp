#include "ArchiveCheck.h"

#include <StormLib.h>
#include <sys/stat.h>

#include <cctype>
#include <vector>

#include "MpqTables.h"
#include "Progress.h"
#include "WorkerFile.h"

namespace {
// Every entry of the hash table is free, deleted, or points to a file of the
// block table that exists, and every file that exists lies within the
// archive. A scribbled (encrypted) table decrypts to entries that point
// anywhere, which StormLib would silently drop along with the files they
// named.
bool TablesAreSound(HANDLE mpq, uint64_t archiveBytes) {
  DWORD hashes = 0, blocks = 0;
  ULONGLONG headerAt = 0;
  if (!SFileGetFileInfo(mpq, SFileMpqHashTableSize, &hashes, sizeof hashes, nullptr) ||
      !SFileGetFileInfo(mpq, SFileMpqBlockTableSize, &blocks, sizeof blocks, nullptr) ||
      !SFileGetFileInfo(mpq, SFileMpqHeaderOffset, &headerAt, sizeof headerAt, nullptr) || headerAt > archiveBytes)
    return false;
  // Neither table can be larger than the archive that holds it; a header
  // that says so is damaged (and would have us allocate gigabytes).
  if (uint64_t{hashes} * sizeof(TMPQHash) > archiveBytes || uint64_t{blocks} * sizeof(TMPQBlock) > archiveBytes)
    return false;
  std::vector<TMPQHash> hashTable(hashes);
  std::vector<TMPQBlock> blockTable(blocks);
  if ((hashes && !SFileGetFileInfo(mpq, SFileMpqHashTable, hashTable.data(),
                                   static_cast<DWORD>(hashes * sizeof(TMPQHash)), nullptr)) ||
      (blocks && !SFileGetFileInfo(mpq, SFileMpqBlockTable, blockTable.data(),
                                   static_cast<DWORD>(blocks * sizeof(TMPQBlock)), nullptr)))
    return false;
  for (const TMPQHash& hash : hashTable) {
    if (hash.dwBlockIndex >= mpq::kHashDeleted) continue;
    if (hash.dwBlockIndex >= blocks || !(blockTable[hash.dwBlockIndex].dwFlags & MPQ_FILE_EXISTS)) return false;
  }
  const uint64_t room = archiveBytes - headerAt;
  for (const TMPQBlock& block : blockTable)
    if ((block.dwFlags & MPQ_FILE_EXISTS) && uint64_t{block.dwFilePos} + block.dwCSize > room) return false;
  return true;
}

// The header's table sizes, checked before StormLib sees them: it allocates
// and fills whatever a header asks for, which for a scribbled size means
// minutes and gigabytes. Only formats 0 and 1 (the game's) are checked here.
bool TableSizesFit(const std::string& path, uint64_t archiveBytes) {
  const int fd = wfile::OpenForReading(path);
  if (fd < 0) return false;
  const std::optional<mpq::Header> header = mpq::FindHeader(fd, archiveBytes);
  wfile::Close(fd);
  if (!header || header->format > 1) return true;  // StormLib refuses it, or checks it itself
  return uint64_t{header->hashCount} * sizeof(mpq::HashEntry) <= archiveBytes &&
         uint64_t{header->blockCount} * sizeof(mpq::BlockEntry) <= archiveBytes;
}

// The whole of one archived file; false when it cannot be read to its end.
bool ReadArchivedFile(HANDLE mpq, const char* name, std::string& bytes) {
  HANDLE file = nullptr;
  bytes.clear();
  if (!SFileOpenFileEx(mpq, name, SFILE_OPEN_FROM_MPQ, &file)) return false;
  DWORD high = 0;
  const DWORD size = SFileGetFileSize(file, &high);
  bool whole = size != SFILE_INVALID_SIZE && high == 0;
  if (whole) {
    bytes.resize(size);
    DWORD read = 0;
    whole = size == 0 || (SFileReadFile(file, bytes.data(), size, &read, nullptr) && read == size);
    // Nothing may follow the stated size.
    char extra = 0;
    DWORD more = 0;
    if (whole && SFileReadFile(file, &extra, 1, &more, nullptr) && more != 0) whole = false;
  }
  SFileCloseFile(file);
  ReportProgress();
  return whole;
}

bool ListsReadWhole(HANDLE mpq) {
  std::string bytes;
  for (const char* list : {"(listfile)", "(attributes)"})
    if (SFileHasFile(mpq, list) && !ReadArchivedFile(mpq, list, bytes)) return false;
  return true;
}
}  // namespace

std::string ArchiveKey(std::string_view name) {
  std::string key(name);
  for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return key;
}

bool ArchiveIsSound(const std::string& path, const std::map<std::string, std::string>& expected) {
  struct stat info {};
  HANDLE mpq = nullptr;
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  const auto archiveBytes = static_cast<uint64_t>(info.st_size);
  if (!TableSizesFit(path, archiveBytes) || !SFileOpenArchive(path.c_str(), 0, MPQ_OPEN_READ_ONLY | STREAM_FLAG_WRITE_SHARE, &mpq)) return false;
  ReportProgress();
  DWORD flags = 0;
  bool sound = SFileGetFileInfo(mpq, SFileMpqFlags, &flags, sizeof flags, nullptr) &&
               !(flags & MPQ_FLAG_MALFORMED) && TablesAreSound(mpq, archiveBytes) && ListsReadWhole(mpq);
  std::string bytes;
  for (auto it = expected.begin(); sound && it != expected.end(); ++it)
    sound = ReadArchivedFile(mpq, it->first.c_str(), bytes) && bytes == it->second;
  SFileCloseArchive(mpq);
  return sound;
}
