#pragma once
// The archive library as the program uses it: loaded by its bare name through
// the platform's library search for one operation, its entries looked up by
// ordinal, and freed again when the object goes. ArchiveLibraryWindows.cpp
// loads lmpqapi.dll and finds entries by their real ordinals;
// ArchiveLibraryPosix.cpp loads liblmpqapi.so, which has no ordinals.
#include <QtGlobal>
#include <memory>

#include "archive/lmpqapi.h"

// The four entries, resolved together.
struct LmpqEntries {
  LmpqCloseArchiveFn close = nullptr;       // ordinal 5
  LmpqOpenArchiveFn open = nullptr;         // ordinal 11
  LmpqAddFileFn add = nullptr;              // ordinal 2
  LmpqInitializeFn initialize = nullptr;    // ordinal 9
};

class ArchiveLibrary {
 public:
  ArchiveLibrary();
  ~ArchiveLibrary();  // frees the library
  ArchiveLibrary(const ArchiveLibrary&) = delete;
  ArchiveLibrary& operator=(const ArchiveLibrary&) = delete;

  bool Load();
  void Free();
  bool IsLoaded() const;

  // The entry with that ordinal, or nullptr.
  QFunctionPointer EntryByOrdinal(int ordinal);
  // Looks up the entries 5, 11, 2 and 9, in that order; false when one is missing.
  bool ResolveEntries(LmpqEntries& entries);

 private:
  struct Native;  // the loaded library as the platform holds it
  std::unique_ptr<Native> m_native;
};
