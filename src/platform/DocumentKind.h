#pragma once
// Which kind of document a path names, for each command that asks. Every rule
// is a case-sensitive substring search; some look at the whole path, some only
// at the file title (the name after the last '/'), so that "a.tbl/b.txt" is a
// string table to Load and Save but a sheet to Freeze, Add Key and the archive.
#include <QString>

#include "platform/Paths.h"

namespace kind {

// Load reads a string table, not a sheet: ".tbl" anywhere in the path.
inline bool LoadsAsStringTable(const QString& path) { return path.contains(QLatin1String(".tbl")); }

// Save writes nothing: ".tbl" anywhere in the path.
inline bool SaveRefuses(const QString& path) { return path.contains(QLatin1String(".tbl")); }

// Freeze Name Column does nothing: ".tbl" in the file title.
inline bool FreezeRefuses(const QString& path) { return FileTitleOf(path).contains(QLatin1String(".tbl")); }

// Add Key to Table does nothing: ".txt" in the file title.
inline bool AddKeyRefuses(const QString& path) { return FileTitleOf(path).contains(QLatin1String(".txt")); }

// Add File to Archive stores the file with the game's sheets, not its string
// tables: ".txt" in the file title.
inline bool ArchivesAsSheet(const QString& path) { return FileTitleOf(path).contains(QLatin1String(".txt")); }

}  // namespace kind
