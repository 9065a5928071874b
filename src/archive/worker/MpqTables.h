#pragma once
// The few facts of an MPQ archive's layout that the worker reads and writes
// itself, before and after StormLib: where the header is, the hash and block
// tables (decrypted), and the table cipher. Only the formats with 32-bit
// table places (0 and 1, the game's) are read here.
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace mpq {

struct HashEntry {
  uint32_t name1, name2;
  uint16_t locale, platform;
  uint32_t block;
};
struct BlockEntry {
  uint32_t offset, compressedSize, fileSize, flags;
};
static_assert(sizeof(HashEntry) == 16 && sizeof(BlockEntry) == 16);

constexpr uint32_t kFileExists = 0x80000000;
constexpr uint32_t kHashFree = 0xFFFFFFFF, kHashDeleted = 0xFFFFFFFE;

struct Header {
  uint64_t at = 0;          // the header's place in the file; archive places count from here
  uint32_t headerSize = 0;
  uint32_t archiveSize = 0;
  uint16_t format = 0;
  uint32_t hashTableAt = 0, blockTableAt = 0;
  uint32_t hashCount = 0, blockCount = 0;
  uint64_t hiBlockTableAt = 0;     // format 1 only
  uint16_t hashAtHigh = 0, blockAtHigh = 0;
};

// The archive header, found where StormLib looks for it: at a multiple of
// 512 bytes, possibly behind a user-data block that says where it is.
// Nothing when there is none. Only formats 0 and 1 are read further.
std::optional<Header> FindHeader(int fd, uint64_t fileBytes);

uint32_t HashString(std::string_view name, uint32_t type);
constexpr uint32_t kHashIndex = 0, kHashNameA = 1, kHashNameB = 2, kHashFileKey = 3;
void Encrypt(uint32_t* words, size_t count, uint32_t key);
void Decrypt(uint32_t* words, size_t count, uint32_t key);

struct Tables {
  std::vector<HashEntry> hashes;
  std::vector<BlockEntry> blocks;
  // The block index that `name` has in the hash table (any locale), if any.
  std::optional<uint32_t> BlockOf(std::string_view name) const;
};

// The header's tables, decrypted (formats 0 and 1); nothing when either lies
// outside the file.
std::optional<Tables> ReadTables(int fd, uint64_t fileBytes, const Header& header);
// The block table encrypted, as it is stored.
std::vector<char> EncodeBlockTable(std::vector<BlockEntry> blocks);

}  // namespace mpq
