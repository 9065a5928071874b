#include <QLibrary>
#include <QString>

#include "archive/ArchiveLibrary.h"

namespace {
// The bare name the loader searches for; QLibrary adds "lib" and ".so".
constexpr const char* kBareName = "lmpqapi";

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

// nullptr for ordinals the library does not have.
const char* ExportedNameOf(int ordinal) {
  for (const OrdinalName& entry : kOrdinals)
    if (entry.ordinal == ordinal) return entry.name;
  return nullptr;
}
}  // namespace

struct ArchiveLibrary::Native {
  QLibrary library;
};

ArchiveLibrary::ArchiveLibrary() : m_native(std::make_unique<Native>()) {
  // A bare name, no directory: the dynamic loader's search decides, which
  // starts with the program's own directory through its run path.
  m_native->library.setFileName(QString::fromLatin1(kBareName));
}

ArchiveLibrary::~ArchiveLibrary() { Free(); }

bool ArchiveLibrary::Load() { return m_native->library.load(); }

void ArchiveLibrary::Free() {
  if (m_native->library.isLoaded()) m_native->library.unload();
}

bool ArchiveLibrary::IsLoaded() const { return m_native->library.isLoaded(); }

QFunctionPointer ArchiveLibrary::EntryByOrdinal(int ordinal) {
  const char* name = ExportedNameOf(ordinal);
  return name && m_native->library.isLoaded() ? m_native->library.resolve(name) : nullptr;
}
