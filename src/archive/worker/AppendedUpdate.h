#pragma once
// An archive updated by appending: StormLib makes the update on a scratch
// copy in the temporary folder (never synced), prepared so that everything
// StormLib writes lands past the archive's old end. Then only that new part
// is appended to the archive itself, synced, and the archive switches to it
// with one write of its header, synced again. The old header, tables and
// files stay where they are until the switch, so a reader (the game among
// them, which runs no recovery of ours) sees the old archive or the new one
// at every moment, also after a kill or a power cut; and the archive stays
// the same file, with its links, owner, mode, ACLs and extended attributes.
//
// The trick: StormLib writes new data after the file that ends furthest in
// the archive. In the scratch copy the block table stretches that file up to
// the archive's end; after StormLib is done, its true size goes back.
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <map>
#include <memory>
#include <string>

#include "MpqTables.h"
#include "WorkerFile.h"

class AppendedUpdate {
 public:
  AppendedUpdate() = default;
  AppendedUpdate(const AppendedUpdate&) = delete;
  AppendedUpdate& operator=(const AppendedUpdate&) = delete;

  // Makes the scratch copy of the archive open as `archive`, when the
  // archive can be updated this way: format 0 or 1 with 32-bit places, no
  // signature, a header within one disk sector, and not too much dead space
  // from earlier appends (a full copy compacts it then). False otherwise,
  // with nothing made.
  bool Prepare(int archive);
  // The scratch copy, for StormLib to open by name.
  std::string ScratchPath() const;

  // After StormLib has closed the scratch copy: checks it (`added` must read
  // back as given) and puts the new part into the archive. False, with the
  // archive as it was before the switch, when anything fails.
  bool Commit(const std::map<std::string, std::string>& added);

 private:
  bool CopyWhatStormLibReads(const mpq::Header& header, const mpq::Tables& tables,
                             std::initializer_list<std::optional<uint32_t>> lists);
  bool PutIntoArchive(uint64_t newEnd, const mpq::Header& header);

  int m_archive = -1;
  std::unique_ptr<wfile::ScratchFile> m_scratch;
  uint64_t m_end = 0;                 // the archive's old end: all that is new lies past it
  mpq::Tables m_before;               // the archive's tables when opened
  uint32_t m_stretchedAt = 0;         // the stretched file's place
  uint32_t m_trueSize = 0, m_stretchedSize = 0;
};
