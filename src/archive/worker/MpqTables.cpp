#include "MpqTables.h"

#include <array>
#include <cctype>
#include <cstring>

#include "WorkerFile.h"
#include "platform/LittleEndian.h"

namespace mpq {
namespace {

uint32_t Word(const char* at) { return le::Read<uint32_t>(at); }
uint16_t Half(const char* at) { return le::Read<uint16_t>(at); }

// The archive cipher's table, the same for every archive.
const std::array<uint32_t, 0x500>& CryptTable() {
  static const std::array<uint32_t, 0x500> table = [] {
    std::array<uint32_t, 0x500> t{};
    uint32_t seed = 0x00100001;
    for (uint32_t i = 0; i < 0x100; ++i)
      for (uint32_t k = 0, j = i; k < 5; ++k, j += 0x100) {
        seed = (seed * 125 + 3) % 0x2AAAAB;
        const uint32_t high = (seed & 0xFFFF) << 16;
        seed = (seed * 125 + 3) % 0x2AAAAB;
        t[j] = high | (seed & 0xFFFF);
      }
    return t;
  }();
  return table;
}

const uint32_t kHashTableKey = HashString("(hash table)", kHashFileKey);
const uint32_t kBlockTableKey = HashString("(block table)", kHashFileKey);

template <typename Entry>
std::optional<std::vector<Entry>> ReadTable(int fd, uint64_t fileBytes, uint64_t at, uint32_t count, uint32_t key) {
  const uint64_t bytes = uint64_t{count} * sizeof(Entry);
  if (at > fileBytes || bytes > fileBytes - at) return std::nullopt;
  std::vector<Entry> entries(count);
  if (count && !wfile::ReadAt(fd, at, entries.data(), bytes)) return std::nullopt;
  Decrypt(reinterpret_cast<uint32_t*>(entries.data()), bytes / 4, key);
  return entries;
}
}  // namespace

uint32_t HashString(std::string_view name, uint32_t type) {
  const auto& table = CryptTable();
  uint32_t seed1 = 0x7FED7FED, seed2 = 0xEEEEEEEE;
  for (const char c : name) {
    // Names do not tell case apart, nor the two slashes.
    uint32_t ch = static_cast<uint8_t>(c == '/' ? '\\' : std::toupper(static_cast<unsigned char>(c)));
    seed1 = table[type * 0x100 + ch] ^ (seed1 + seed2);
    seed2 = ch + seed1 + seed2 + (seed2 << 5) + 3;
  }
  return seed1;
}

void Encrypt(uint32_t* words, size_t count, uint32_t key) {
  const auto& table = CryptTable();
  uint32_t seed = 0xEEEEEEEE;
  for (size_t i = 0; i < count; ++i) {
    seed += table[0x400 + (key & 0xFF)];
    const uint32_t plain = words[i];
    words[i] = plain ^ (key + seed);
    key = ((~key << 0x15) + 0x11111111) | (key >> 0x0B);
    seed = plain + seed + (seed << 5) + 3;
  }
}

void Decrypt(uint32_t* words, size_t count, uint32_t key) {
  const auto& table = CryptTable();
  uint32_t seed = 0xEEEEEEEE;
  for (size_t i = 0; i < count; ++i) {
    seed += table[0x400 + (key & 0xFF)];
    const uint32_t plain = words[i] ^ (key + seed);
    words[i] = plain;
    key = ((~key << 0x15) + 0x11111111) | (key >> 0x0B);
    seed = plain + seed + (seed << 5) + 3;
  }
}

std::optional<Header> FindHeader(int fd, uint64_t fileBytes) {
  char bytes[0x2C];
  for (uint64_t at = 0; at + 0x20 <= fileBytes; at += 512) {
    if (!wfile::ReadAt(fd, at, bytes, 0x20)) return std::nullopt;
    uint64_t headerAt = at;
    if (std::memcmp(bytes, "MPQ\x1B", 4) == 0) {  // user data first: the header is further on
      headerAt = at + Word(bytes + 8);
      if (headerAt + 0x20 > fileBytes || !wfile::ReadAt(fd, headerAt, bytes, 0x20)) return std::nullopt;
    }
    if (std::memcmp(bytes, "MPQ\x1A", 4) != 0) continue;
    Header header;
    header.at = headerAt;
    header.headerSize = Word(bytes + 0x04);
    header.archiveSize = Word(bytes + 0x08);
    header.format = Half(bytes + 0x0C);
    header.hashTableAt = Word(bytes + 0x10);
    header.blockTableAt = Word(bytes + 0x14);
    header.hashCount = Word(bytes + 0x18);
    header.blockCount = Word(bytes + 0x1C);
    if (header.format == 1 && header.headerSize >= 0x2C) {
      if (headerAt + 0x2C > fileBytes || !wfile::ReadAt(fd, headerAt, bytes, 0x2C)) return std::nullopt;
      header.hiBlockTableAt = Word(bytes + 0x20) | uint64_t{Word(bytes + 0x24)} << 32;
      header.hashAtHigh = Half(bytes + 0x28);
      header.blockAtHigh = Half(bytes + 0x2A);
    }
    return header;
  }
  return std::nullopt;
}

std::optional<uint32_t> Tables::BlockOf(std::string_view name) const {
  if (hashes.empty()) return std::nullopt;
  const uint32_t mask = static_cast<uint32_t>(hashes.size() - 1);
  const uint32_t a = HashString(name, kHashNameA), b = HashString(name, kHashNameB);
  const uint32_t start = HashString(name, kHashIndex) & mask;
  for (uint32_t i = start;;) {
    const HashEntry& entry = hashes[i];
    if (entry.block == kHashFree) return std::nullopt;
    if (entry.name1 == a && entry.name2 == b && entry.block < blocks.size()) return entry.block;
    if ((i = (i + 1) & mask) == start) return std::nullopt;
  }
}

std::optional<Tables> ReadTables(int fd, uint64_t fileBytes, const Header& header) {
  if (header.format > 1 || header.hashAtHigh || header.blockAtHigh) return std::nullopt;
  // A hash table whose size is no power of two cannot be searched.
  if (header.hashCount == 0 || (header.hashCount & (header.hashCount - 1)) != 0) return std::nullopt;
  auto hashes = ReadTable<HashEntry>(fd, fileBytes, header.at + header.hashTableAt, header.hashCount, kHashTableKey);
  auto blocks = ReadTable<BlockEntry>(fd, fileBytes, header.at + header.blockTableAt, header.blockCount, kBlockTableKey);
  if (!hashes || !blocks) return std::nullopt;
  return Tables{std::move(*hashes), std::move(*blocks)};
}

std::vector<char> EncodeBlockTable(std::vector<BlockEntry> blocks) {
  Encrypt(reinterpret_cast<uint32_t*>(blocks.data()), blocks.size() * 4, kBlockTableKey);
  std::vector<char> bytes(blocks.size() * sizeof(BlockEntry));
  if (!bytes.empty()) std::memcpy(bytes.data(), blocks.data(), bytes.size());
  return bytes;
}

}  // namespace mpq
