#pragma once
// What rewriting a file in place asks of the system, the part that differs by
// platform (InPlaceFilePosix.cpp, InPlaceFileWindows.cpp).
#include <QString>
#include <QtGlobal>

// Puts what was written through the descriptor `fd` on the disk; 0, or the
// error number. Windows builds do nothing here: a file opened by name there
// has no descriptor to sync.
int SyncDescriptor(int fd);

// Puts the folder entries of the folder holding `path` on the disk, so that a
// file just renamed into place or just made there keeps its name through a
// power cut. 0, or the error number. Windows builds do nothing: its file
// system journals names as it renames.
int SyncFolderOf(const QString& path);

// Reserves disk room for `size` bytes of the file (now `oldSize` long) before
// the first byte of it changes, so that a full disk shows while the file
// still holds its old text. Where the file system can, neither the text nor
// the length changes; elsewhere the file grows by zeros past its old end.
// 0, or the error number.
int ReserveRoom(int fd, qint64 oldSize, qint64 size);

// Whether replacing `path` by a new file of the same name would change
// nothing a user sees: it has one name, this process owns it (user and
// group), and it carries no extended attributes. Whether its folder takes a
// new file is found by trying.
bool ReplacingKeepsWhatShows(const QString& path);
