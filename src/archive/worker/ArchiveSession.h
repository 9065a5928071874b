#pragma once
// One archive's update, as the worker runs it for the library's entries:
// open locks the archive, checks it and gives StormLib a copy to work on,
// add stores files in the copy, close checks the copy and puts the update
// into the archive. An update that is not closed leaves the archive as it was.
//
// The update is appended to the archive where its shape allows
// (AppendedUpdate); otherwise a full copy beside it replaces it
// (ReplacementFile), which also compacts what earlier appends left unused.
#include <StormLib.h>

#include <cstdint>
#include <map>
#include <string>

#include "AppendedUpdate.h"
#include "ArchiveLock.h"
#include "ReplacementFile.h"

class ArchiveSession {
 public:
  ArchiveSession() = default;
  ~ArchiveSession();
  ArchiveSession(const ArchiveSession&) = delete;
  ArchiveSession& operator=(const ArchiveSession&) = delete;

  // The entries' results: 1 on success, 0 otherwise.
  uint32_t Open(const std::string& path, uint32_t mode, uint32_t maxFiles);
  uint32_t Add(const std::string& file, const std::string& nameInArchive, uint32_t flags);
  uint32_t Close();

 private:
  bool OpenWorkCopy();
  bool StoreFile(const std::string& name, const std::string& bytes, uint64_t fileTime, DWORD stormFlags);

  std::string m_path;                          // the archive, links resolved
  uint32_t m_maxFiles = 0;                     // the most files it may grow to hold
  std::map<std::string, std::string> m_added;  // name (as a key) -> contents
  ArchiveLock m_lock;
  AppendedUpdate m_appended;
  ReplacementFile m_copy;
  bool m_appending = false;                    // which of the two StormLib works on
  HANDLE m_mpq = nullptr;
};
