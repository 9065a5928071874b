#pragma once
// Whether StormLib can work on an archive, found out before it writes
// anything. Runs only in the worker: StormLib may abort on a damaged
// archive, and then only the worker ends.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

// Names in an archive do not tell case apart.
std::string ArchiveKey(std::string_view name);

// Opens the archive read-only and checks it: its tables fit the file, every
// hash entry points at a file that exists, every file lies within the
// archive, and the archive's own lists ((listfile), (attributes)) read
// whole where it has them. Each file of `expected` (name -> contents) must
// read back whole with exactly those contents. False when any of this fails,
// or StormLib finds the archive malformed.
bool ArchiveIsSound(const std::string& path, const std::map<std::string, std::string>& expected = {});
