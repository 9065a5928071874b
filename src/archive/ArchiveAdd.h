#pragma once
// Putting a file into a game archive through the archive library, without a
// word to the user: the caller says what each outcome means.
#include <QString>

// The name under which a file goes into the archive: sheets (".txt" in the
// file title) where the game reads its tables, every other file where it
// reads its English string tables.
QString NameInArchive(const QString& fileTitle);

enum class ArchiveAddResult {
  Added,             // the archive opened; the add and close calls were made
  LibraryMissing,    // no library, or one without all four entries
  InitializeFailed,  // its initialise entry did not answer 1
  OpenFailed,        // the archive is missing, or not one the library opens
};

// Loads the archive library, opens archivePath, stores sourcePath under
// nameInArchive, closes the archive and frees the library on every way out.
ArchiveAddResult AddToArchive(const QString& archivePath, const QString& sourcePath, const QString& nameInArchive);
