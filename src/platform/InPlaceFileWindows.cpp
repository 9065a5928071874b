#include "platform/InPlaceFile.h"

int SyncDescriptor(int) { return 0; }

int SyncFolderOf(const QString&) { return 0; }

int ReserveRoom(int, qint64, qint64) { return 0; }

bool ReplacingKeepsWhatShows(const QString&) { return true; }
