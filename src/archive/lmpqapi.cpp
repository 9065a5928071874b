// The archive library: puts files into existing MPQ archives with StormLib,
// stored the way Diablo II's own reader expects them (PKWARE DCL implode,
// encrypted, the archive's own format version).
#define LMPQAPI_BUILD
#include "archive/lmpqapi.h"

#include <StormLib.h>
#include <sys/stat.h>

#include <array>

namespace {

// Open archives. A handle is a slot's index plus one, so that it fits the
// interface's 32 bits and is never 0 or 0xFFFFFFFF.
struct Slot {
  HANDLE mpq = nullptr;
  uint32_t maxFiles = 0;  // the most files the archive may grow to hold
};
std::array<Slot, 16> g_slots;

Slot* SlotOf(uint32_t handle) {
  if (handle == 0 || handle > g_slots.size()) return nullptr;
  Slot* slot = &g_slots[handle - 1];
  return slot->mpq ? slot : nullptr;
}

// A regular file we may write. Root may write a file without write
// permission, so a file that has no write bit at all counts as read-only,
// like the read-only attribute elsewhere.
bool IsWritableRegularFile(const char* path) {
  struct stat info {};
  if (stat(path, &info) != 0 || !S_ISREG(info.st_mode)) return false;
  return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

DWORD StormFlagsFor(uint32_t flags) {
  DWORD storm = 0;
  if (flags & LMPQ_ADD_COMPRESS) storm |= MPQ_FILE_IMPLODE;
  if (flags & LMPQ_ADD_ENCRYPT) storm |= MPQ_FILE_ENCRYPTED;
  if (flags & LMPQ_ADD_REPLACE) storm |= MPQ_FILE_REPLACEEXISTING;
  return storm;
}

bool AddOnce(HANDLE mpq, const char* file, const char* name, DWORD stormFlags) {
  // With MPQ_FILE_IMPLODE StormLib implodes every sector itself; the
  // compression masks only matter for the other methods.
  const DWORD compression = (stormFlags & MPQ_FILE_IMPLODE) ? MPQ_COMPRESSION_PKWARE : 0;
  return SFileAddFileEx(mpq, file, name, stormFlags, compression, MPQ_COMPRESSION_NEXT_SAME);
}

}  // namespace

extern "C" {

LMPQ_EXPORT uint32_t LMPQ_CALL LmpqInitialize(void) {
  // StormLib needs no setting up; being loaded is being ready.
  return 1;
}

LMPQ_EXPORT uint32_t LMPQ_CALL LmpqOpenArchive(const char* path, uint32_t mode, uint32_t maxFiles) {
  if (mode != (LMPQ_OPEN_EXISTING | LMPQ_OPEN_KEEP_LISTFILE)) return 0;
  if (!path || !*path || !IsWritableRegularFile(path)) return 0;

  Slot* free = nullptr;
  for (Slot& slot : g_slots)
    if (!slot.mpq) {
      free = &slot;
      break;
    }
  if (!free) return 0;

  HANDLE mpq = nullptr;
  if (!SFileOpenArchive(path, 0, 0, &mpq)) return 0;
  // StormLib opens damaged or protected archives read-only; writing those
  // would fail half-way, so refuse them here.
  DWORD archiveFlags = 0;
  SFileGetFileInfo(mpq, SFileMpqFlags, &archiveFlags, sizeof(archiveFlags), nullptr);
  if (archiveFlags & (MPQ_FLAG_READ_ONLY | MPQ_FLAG_MALFORMED)) {
    SFileCloseArchive(mpq);
    return 0;
  }
  free->mpq = mpq;
  free->maxFiles = maxFiles;
  return static_cast<uint32_t>(free - g_slots.data()) + 1;
}

LMPQ_EXPORT uint32_t LMPQ_CALL LmpqAddFile(uint32_t handle, const char* file, const char* nameInArchive,
                                           uint32_t flags) {
  constexpr uint32_t known = LMPQ_ADD_REPLACE | LMPQ_ADD_COMPRESS | LMPQ_ADD_ENCRYPT;
  Slot* slot = SlotOf(handle);
  if (!slot || (flags & ~known) || !file || !*file || !nameInArchive || !*nameInArchive) return 0;

  const DWORD stormFlags = StormFlagsFor(flags);
  if (AddOnce(slot->mpq, file, nameInArchive, stormFlags)) return 1;
  if (GetLastError() != ERROR_DISK_FULL) return 0;

  // The hash table is full: grow it to the size asked for at open, once.
  DWORD current = 0;
  SFileGetFileInfo(slot->mpq, SFileMpqMaxFileCount, &current, sizeof(current), nullptr);
  if (slot->maxFiles <= current || !SFileSetMaxFileCount(slot->mpq, slot->maxFiles)) return 0;
  return AddOnce(slot->mpq, file, nameInArchive, stormFlags) ? 1 : 0;
}

LMPQ_EXPORT uint32_t LMPQ_CALL LmpqCloseArchive(uint32_t handle, uint32_t /*flags*/) {
  Slot* slot = SlotOf(handle);
  if (!slot) return 0;
  // Closing writes the tables, the (listfile) and the (attributes).
  const bool written = SFileCloseArchive(slot->mpq);
  *slot = Slot{};
  return written ? 1 : 0;
}

}  // extern "C"
