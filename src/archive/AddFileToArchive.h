#pragma once
// Putting the current document into a game archive through the archive library.
#include <QString>

// The name under which a file with this title goes into the archive: sheets
// (".txt" anywhere in the title, case-sensitive) where the game reads its
// tables, every other file where it reads its English string tables.
QString NameInArchive(const QString& fileTitle);

// Loads the archive library, opens archivePath, stores sourcePath under
// nameInArchive, closes the archive and frees the library. 1 when the archive
// was opened and the add and close calls were made; 0 otherwise, after a
// message to the user.
int AddFileToArchive(const QString& archivePath, const QString& sourcePath, const QString& nameInArchive);
