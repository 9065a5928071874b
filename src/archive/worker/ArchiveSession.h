#pragma once
// One archive's update, as the worker runs it for the library's entries:
// open checks the archive and copies it, add stores files in the copy, close
// checks the copy and puts it in the archive's place. The archive itself is
// never written; an update that is not closed leaves it as it was.
#include <StormLib.h>

#include <cstdint>
#include <map>
#include <string>

#include "ArchiveCheck.h"
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
  bool StoreFile(const std::string& name, const std::string& bytes, uint64_t fileTime, DWORD stormFlags);

  std::string m_path;               // the archive, links resolved
  uint32_t m_maxFiles = 0;          // the most files it may grow to hold
  ArchiveContents m_before;         // what it held when opened
  std::map<std::string, std::pair<std::string, std::string>> m_added;  // key -> name, contents
  ReplacementFile m_copy;
  HANDLE m_mpq = nullptr;           // the copy, open for update
};
