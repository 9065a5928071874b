#pragma once
// Putting the current document into a game archive, as the editor window's
// command does it: the work of AddToArchive, with a message for each failure.
#include <QString>

#include "archive/ArchiveAdd.h"

// 1 when the archive was opened and the add and close calls were made; 0
// otherwise, after a message to the user.
int AddFileToArchive(const QString& archivePath, const QString& sourcePath, const QString& nameInArchive);
