#include "archive/ArchiveLibrary.h"

bool ArchiveLibrary::ResolveEntries(LmpqEntries& entries) {
  entries.close = reinterpret_cast<LmpqCloseArchiveFn>(EntryByOrdinal(5));
  entries.open = reinterpret_cast<LmpqOpenArchiveFn>(EntryByOrdinal(11));
  entries.add = reinterpret_cast<LmpqAddFileFn>(EntryByOrdinal(2));
  entries.initialize = reinterpret_cast<LmpqInitializeFn>(EntryByOrdinal(9));
  return entries.close && entries.open && entries.add && entries.initialize;
}
