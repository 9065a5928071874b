#include "AppendedUpdate.h"


#include <algorithm>
#include <vector>

#include "ArchiveCheck.h"
#include "FileRange.h"
#include "WorkerFile.h"

namespace {
constexpr uint64_t kSector = 512;

// Dead space (replaced files, old lists and tables) above this share of the
// archive is compacted away by a full copy instead.
bool TooMuchDeadSpace(const mpq::Header& header, const mpq::Tables& tables, uint64_t archiveBytes) {
  uint64_t live = header.headerSize + (tables.hashes.size() + tables.blocks.size()) * sizeof(mpq::BlockEntry);
  for (const mpq::BlockEntry& block : tables.blocks)
    if (block.flags & mpq::kFileExists) live += block.compressedSize;
  const uint64_t size = archiveBytes - header.at;
  const uint64_t dead = size > live ? size - live : 0;
  return dead > (1u << 20) && dead > size / 4;
}

bool SameBlock(const mpq::BlockEntry& a, const mpq::BlockEntry& b) {
  return a.offset == b.offset && a.compressedSize == b.compressedSize && a.fileSize == b.fileSize && a.flags == b.flags;
}
}  // namespace

bool AppendedUpdate::Prepare(int archive) {
  const std::optional<uint64_t> size = wfile::SizeOf(archive);
  if (!size) return false;
  const std::optional<mpq::Header> header = mpq::FindHeader(archive, *size);
  // Format 1 qualifies while it has no high words; the switch must be one
  // sector's write; all places must stay 32-bit.
  if (!header || header->format > 1 || header->hiBlockTableAt || header->at % kSector + 0x2C > kSector ||
      *size - header->at >= (uint64_t{1} << 31))
    return false;
  std::optional<mpq::Tables> tables = mpq::ReadTables(archive, *size, *header);
  if (!tables || tables->BlockOf("(signature)") || TooMuchDeadSpace(*header, *tables, *size)) return false;

  // The file that ends furthest, leaving out the archive's own lists, which
  // StormLib writes anew after everything else.
  const auto listfile = tables->BlockOf("(listfile)"), attributes = tables->BlockOf("(attributes)");
  std::optional<uint32_t> last;
  for (uint32_t i = 0; i < tables->blocks.size(); ++i) {
    const mpq::BlockEntry& block = tables->blocks[i];
    if (!(block.flags & mpq::kFileExists) || block.compressedSize == 0 || i == listfile || i == attributes) continue;
    if (!last || uint64_t{block.offset} + block.compressedSize >
                     uint64_t{tables->blocks[*last].offset} + tables->blocks[*last].compressedSize)
      last = i;
  }
  if (!last) return false;

  m_scratch = std::make_unique<wfile::ScratchFile>();
  if (m_scratch->fd() < 0) return false;
  m_archive = archive;
  m_end = *size;
  m_before = *tables;
  mpq::BlockEntry& stretched = tables->blocks[*last];
  m_stretchedAt = stretched.offset;
  m_trueSize = stretched.compressedSize;
  m_stretchedSize = static_cast<uint32_t>(m_end - header->at - stretched.offset);
  stretched.compressedSize = m_stretchedSize;
  const std::vector<char> blockTable = mpq::EncodeBlockTable(tables->blocks);
  if (CopyWhatStormLibReads(*header, *tables, {listfile, attributes}) &&
      wfile::WriteAt(m_scratch->fd(), header->at + header->blockTableAt, blockTable.data(), blockTable.size()))
    return true;
  m_scratch.reset();
  return false;
}

bool AppendedUpdate::CopyWhatStormLibReads(const mpq::Header& header, const mpq::Tables& tables,
                                           std::initializer_list<std::optional<uint32_t>> lists) {
  // The scratch copy is as long as the archive, but holds only what StormLib
  // reads to add a file (where it looks for the header, the tables, the
  // archive's own lists), so that the cost does not grow with the archive.
  // Everything it reads back afterwards it has written itself.
  if (!wfile::Truncate(m_scratch->fd(), m_end)) return false;
  std::vector<std::pair<uint64_t, uint64_t>> ranges = {
      {0, std::min<uint64_t>(m_end, header.at + 0x10000)},
      {header.at + header.hashTableAt, tables.hashes.size() * sizeof(mpq::HashEntry)},
      {header.at + header.blockTableAt, tables.blocks.size() * sizeof(mpq::BlockEntry)}};
  for (const std::optional<uint32_t>& list : lists)
    if (list) ranges.emplace_back(header.at + tables.blocks[*list].offset, tables.blocks[*list].compressedSize);
  for (const auto& [at, size] : ranges)
    if (at > m_end || size > m_end - at || !CopyRange(m_archive, m_scratch->fd(), at, size)) return false;
  return true;
}

std::string AppendedUpdate::ScratchPath() const { return m_scratch->path(); }

bool AppendedUpdate::Commit(const std::map<std::string, std::string>& added) {
  const std::optional<uint64_t> newEnd = wfile::SizeOf(m_scratch->fd());
  if (!newEnd || *newEnd < m_end) return false;
  const std::optional<mpq::Header> header = mpq::FindHeader(m_scratch->fd(), *newEnd);
  std::optional<mpq::Tables> tables = header ? mpq::ReadTables(m_scratch->fd(), *newEnd, *header) : std::nullopt;
  if (!tables) return false;

  // The stretched file gets its true size back. Everything StormLib wrote
  // must lie past the old end: the tables, and every file that is not as it was.
  const uint64_t base = header->at;
  for (mpq::BlockEntry& block : tables->blocks)
    if (block.offset == m_stretchedAt && block.compressedSize == m_stretchedSize) block.compressedSize = m_trueSize;
  bool allNew = base + header->hashTableAt >= m_end && base + header->blockTableAt >= m_end;
  for (size_t i = 0; allNew && i < tables->blocks.size(); ++i) {
    const mpq::BlockEntry& block = tables->blocks[i];
    const bool asBefore = i < m_before.blocks.size() && SameBlock(block, m_before.blocks[i]);
    allNew = asBefore || !(block.flags & mpq::kFileExists) || base + block.offset >= m_end;
  }
  const std::vector<char> blockTable = mpq::EncodeBlockTable(tables->blocks);
  if (!allNew || !wfile::WriteAt(m_scratch->fd(), base + header->blockTableAt, blockTable.data(), blockTable.size()))
    return false;
  // The scratch copy now reads as the archive will: its old part is the
  // archive's own (only the old, now unused, block table differs).
  if (!ArchiveIsSound(ScratchPath(), added)) return false;
  return PutIntoArchive(*newEnd, *header);
}

bool AppendedUpdate::PutIntoArchive(uint64_t newEnd, const mpq::Header& header) {
  // Only our workers write the archive, one at a time; anything else that
  // changed its size meanwhile makes the update void.
  if (wfile::SizeOf(m_archive) != m_end) return false;
  std::vector<char> headerBytes(header.headerSize >= 0x2C ? 0x2C : 0x20);
  if (!CopyRange(m_scratch->fd(), m_archive, m_end, newEnd - m_end) || !SyncFile(m_archive, m_end, newEnd)) {
    wfile::Truncate(m_archive, m_end);  // the old archive either way
    return false;
  }
  // The switch: one sector's write.
  return wfile::ReadAt(m_scratch->fd(), header.at, headerBytes.data(), headerBytes.size()) &&
         wfile::WriteAt(m_archive, header.at, headerBytes.data(), headerBytes.size()) &&
         SyncFile(m_archive, header.at, header.at + headerBytes.size());
}
