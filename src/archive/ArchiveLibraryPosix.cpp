#include "archive/ArchiveLibrary.h"

namespace {
// The loader resolves names only, so each ordinal of the interface maps to
// the name the library exports.
struct OrdinalName {
  int ordinal;
  const char* name;
};
constexpr OrdinalName kOrdinals[] = {
    {2, LMPQ_NAME_ADD_FILE},
    {5, LMPQ_NAME_CLOSE_ARCHIVE},
    {9, LMPQ_NAME_INITIALIZE},
    {11, LMPQ_NAME_OPEN_ARCHIVE},
};
}  // namespace

ArchiveLibrary::ArchiveLibrary() {
  // A bare name, no directory: the dynamic loader's search decides, which
  // starts with the program's own directory through its run path.
  m_library.setFileName(QString::fromLatin1(kBareName));
}

ArchiveLibrary::~ArchiveLibrary() { Free(); }

bool ArchiveLibrary::Load() { return m_library.load(); }

void ArchiveLibrary::Free() {
  if (m_library.isLoaded()) m_library.unload();
}

bool ArchiveLibrary::IsLoaded() const { return m_library.isLoaded(); }

const char* ArchiveLibrary::ExportedNameOf(int ordinal) {
  for (const OrdinalName& entry : kOrdinals)
    if (entry.ordinal == ordinal) return entry.name;
  return nullptr;
}

QFunctionPointer ArchiveLibrary::EntryByOrdinal(int ordinal) {
  const char* name = ExportedNameOf(ordinal);
  return name && m_library.isLoaded() ? m_library.resolve(name) : nullptr;
}

