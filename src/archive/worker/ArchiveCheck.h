#pragma once
// Reading an archive whole, to find out whether StormLib can work on it and
// what it holds. Runs only in the worker: StormLib may abort on a damaged
// archive, and then only the worker ends.
#include <StormLib.h>

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// Names in an archive do not tell case apart.
std::string ArchiveKey(std::string_view name);

// What an archive holds under the names it knows: key -> digest of the contents.
struct ArchiveContents {
  std::map<std::string, uint64_t> named;
  size_t unnamed = 0;  // files whose names the archive does not hold
};

uint64_t Digest(std::string_view bytes);

// The whole of one archived file; false when it cannot be read to its end.
bool ReadArchivedFile(HANDLE mpq, const char* name, std::string& bytes);

// Opens the archive read-only and reads every file in it, and also each of
// `alsoNamed` (names that its (listfile) may not hold). False when StormLib
// finds the archive malformed, or a file cannot be read whole. An encrypted
// file without a known name is no damage when it does not read: its key comes
// from its name, and StormLib can only sometimes guess it.
bool ReadEveryFile(const std::string& path, const std::vector<std::string>& alsoNamed, ArchiveContents& contents);
