#include "ArchiveCheck.h"

#include <sys/stat.h>

#include <cctype>
#include <cstring>
#include <fstream>

namespace {
// StormLib calls a file whose name it does not know "File00000012.ext",
// after its index in the block table.
bool IsIndexName(const char* name) {
  if (std::strncmp(name, "File", 4) != 0) return false;
  for (int i = 4; i < 12; ++i)
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return false;
  return name[12] == '.';
}

// Every entry of the hash table is free, deleted, or points to a file of the
// block table that exists. A scribbled (encrypted) table decrypts to entries
// that point anywhere, which StormLib would silently drop along with the
// files they named.
bool HashTableIsSound(HANDLE mpq, uint64_t archiveBytes) {
  constexpr DWORD kDeleted = 0xFFFFFFFE;  // and 0xFFFFFFFF: free
  DWORD hashes = 0, blocks = 0;
  if (!SFileGetFileInfo(mpq, SFileMpqHashTableSize, &hashes, sizeof hashes, nullptr) ||
      !SFileGetFileInfo(mpq, SFileMpqBlockTableSize, &blocks, sizeof blocks, nullptr))
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
    if (hash.dwBlockIndex >= kDeleted) continue;
    if (hash.dwBlockIndex >= blocks || !(blockTable[hash.dwBlockIndex].dwFlags & MPQ_FILE_EXISTS)) return false;
  }
  return true;
}

uint32_t Word(const char* at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(at[i]);
  return value;
}

// The header's table sizes, checked before StormLib sees them: it allocates
// and fills whatever a header asks for, which for a scribbled size means
// minutes and gigabytes. StormLib looks for the header at every 512 bytes,
// possibly behind a user-data block that says where it is; so do we. Only the
// formats with 32-bit table sizes (0 and 1, the game's) are checked here.
bool TableSizesFit(const std::string& path, uint64_t archiveBytes) {
  std::ifstream in(path, std::ios::binary);
  char header[32];
  for (uint64_t at = 0; at + sizeof header <= archiveBytes; at += 512) {
    if (!in.seekg(static_cast<std::streamoff>(at)) || !in.read(header, sizeof header)) return true;
    if (std::memcmp(header, "MPQ\x1B", 4) == 0) {  // user data first: the header is further on
      const uint64_t real = at + Word(header + 8);
      if (real + sizeof header > archiveBytes || !in.seekg(static_cast<std::streamoff>(real)) ||
          !in.read(header, sizeof header))
        return true;
    }
    if (std::memcmp(header, "MPQ\x1A", 4) != 0) continue;
    const uint16_t format = static_cast<uint16_t>(static_cast<uint8_t>(header[12]) | static_cast<uint8_t>(header[13]) << 8);
    if (format > 1) return true;
    return uint64_t{Word(header + 0x18)} * sizeof(TMPQHash) <= archiveBytes &&
           uint64_t{Word(header + 0x1C)} * sizeof(TMPQBlock) <= archiveBytes;
  }
  return true;  // no header: StormLib refuses it
}
}  // namespace

std::string ArchiveKey(std::string_view name) {
  std::string key(name);
  for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return key;
}

uint64_t Digest(std::string_view bytes) {
  // FNV-1a over the bytes, then the length: enough to tell a file read back
  // from one that changed.
  uint64_t hash = 0xcbf29ce484222325ull;
  for (const char c : bytes) hash = (hash ^ static_cast<uint8_t>(c)) * 0x100000001b3ull;
  return (hash ^ bytes.size()) * 0x100000001b3ull;
}

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
  return whole;
}

bool ReadEveryFile(const std::string& path, const std::vector<std::string>& alsoNamed, ArchiveContents& contents) {
  struct stat info {};
  HANDLE mpq = nullptr;
  if (stat(path.c_str(), &info) != 0 || !TableSizesFit(path, static_cast<uint64_t>(info.st_size)) ||
      !SFileOpenArchive(path.c_str(), 0, MPQ_OPEN_READ_ONLY, &mpq))
    return false;
  DWORD flags = 0;
  bool sound = SFileGetFileInfo(mpq, SFileMpqFlags, &flags, sizeof flags, nullptr) &&
               !(flags & MPQ_FLAG_MALFORMED) && HashTableIsSound(mpq, static_cast<uint64_t>(info.st_size));

  std::string bytes;
  SFILE_FIND_DATA found;
  HANDLE find = sound ? SFileFindFirstFile(mpq, "*", &found, nullptr) : nullptr;
  for (bool more = find != nullptr; sound && more; more = SFileFindNextFile(find, &found)) {
    const bool named = !IsIndexName(found.cFileName);
    if (ReadArchivedFile(mpq, found.cFileName, bytes)) {
      if (named) contents.named[ArchiveKey(found.cFileName)] = Digest(bytes);
      else ++contents.unnamed;
    } else if (named || !(found.dwFileFlags & MPQ_FILE_ENCRYPTED)) {
      sound = false;
    }
  }
  if (find) SFileFindClose(find);
  for (const std::string& name : alsoNamed) {
    if (!sound) break;
    sound = ReadArchivedFile(mpq, name.c_str(), bytes);
    contents.named[ArchiveKey(name)] = Digest(bytes);
  }
  SFileCloseArchive(mpq);
  return sound;
}
